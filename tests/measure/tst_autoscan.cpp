#include "serial/mscomm.h"
#include "sim/model.h"
#include "tests/support/rig.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

// The register of each request the peer has seen, in order.
QStringList registersRead(const Peer &peer)
{
    QStringList regs;
    for (const QByteArray &frame : peer.frames())
        regs << QString::fromLatin1(frame.mid(2, 2).toHex().toUpper());
    return regs;
}

} // namespace

class TestAutoScan : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void ticksGoRoundTheChannels()
    {
        Rig rig;
        QVERIFY(rig.connect());
        rig.form.Command7_Click();
        QCOMPARE(rig.form.Command7->text(), "Stop");
        QVERIFY(rig.form.Timer1->isActive());
        QCOMPARE(rig.form.PendingRequest, 7); // I4's read, so that V1 comes next

        // The module's inputs in the simulator's order, which is the window's.
        QStringList round;
        for (int channel = 0; channel < sim::ChannelCount; ++channel)
            round << QStringLiteral("%1")
                         .arg(sim::inputRegister(channel), 4, 16, QLatin1Char('0'))
                         .toUpper();
        rig.form.Timer1_Timer();
        QCOMPARE(logLines(rig.form).size(), 2); // emptied, then the V1 line
        // Nobody answers: each later tick's send line gets a note on the last request.
        for (int tick = 1; tick < round.size(); ++tick)
            rig.form.Timer1_Timer();
        QCOMPARE(logLines(rig.form).size(), 2 * round.size());
        rig.form.Timer1_Timer(); // round again: the log starts over
        QCOMPARE(logLines(rig.form).size(), 3);
        QVERIFY(rig.peer.waitForFrames(round.size() + 1));
        QCOMPARE(registersRead(rig.peer), round + QStringList{round.first()});
        QCOMPARE(rig.form.Text10->text(), "0004");
        QCOMPARE(rig.form.Text13->text(), "C5CB");
    }

    void restartBeginsWithV1()
    {
        Rig rig;
        QVERIFY(rig.connect());
        rig.form.Command7_Click();
        for (int tick = 0; tick < 3; ++tick)
            rig.form.Timer1_Timer();
        rig.form.Command7_Click();
        QVERIFY(!rig.form.Timer1->isActive());
        QCOMPARE(rig.form.Command7->text(), "Autoscan");
        rig.form.Command7_Click();
        rig.form.Timer1_Timer();
        QCOMPARE(logLines(rig.form).size(), 3); // V1's send line under the note on V3's read
        QVERIFY(rig.peer.waitForFrames(4));
        QCOMPARE(registersRead(rig.peer).last(), "0004");
    }

    void readClickedDuringScan()
    {
        Rig rig;
        QVERIFY(rig.connect());
        rig.form.Command7_Click();
        rig.form.Timer1_Timer();
        rig.form.Command13->click(); // V3
        rig.form.Timer1_Timer();
        QVERIFY(rig.peer.waitForFrames(3));
        QCOMPARE(registersRead(rig.peer), QStringList({"0004", "000C", "0010"}));
    }

    void portClosed()
    {
        Rig rig;
        rig.form.Command7_Click(); // closed: changes nothing
        QVERIFY(!rig.form.Timer1->isActive());
        QCOMPARE(rig.form.Command7->text(), "Auto Scan");

        rig.form.Timer1->start();
        rig.form.PendingRequest = 3;
        rig.form.Timer1_Timer();
        QCOMPARE(rig.form.PendingRequest, 3);
        QVERIFY(rig.form.Timer1->isActive());
        QCOMPARE(rig.form.Text1->toPlainText(), "");
    }

    void badDeviceIdStopsTheScan()
    {
        Rig rig;
        QVERIFY(rig.connect());
        rig.form.Command7_Click();
        rig.form.Text8->setText("1");
        rig.form.Timer1_Timer();
        QVERIFY(!rig.form.Timer1->isActive());
        QCOMPARE(rig.form.Command7->text(), "Autoscan");
        QCOMPARE(rig.form.PendingRequest, 7);
        QVERIFY(logLines(rig.form).first().endsWith(
            " Device ID \"1\" must be two hexadecimal digits from 01 to F7"));
        QTest::qWait(50);
        QCOMPARE(rig.peer.received(), QByteArray());
    }

    void realTick()
    {
        Rig rig;
        QVERIFY(rig.connect());
        rig.form.Command7_Click();
        QVERIFY(rig.peer.waitForFrames(1, 3000));
        QCOMPARE(registersRead(rig.peer), QStringList{"0004"});
        QVERIFY(rig.form.Timer1->isActive());
    }
};

QTEST_MAIN(TestAutoScan)
#include "tst_autoscan.moc"
