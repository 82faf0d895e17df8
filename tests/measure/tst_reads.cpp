#include "serial/mscomm.h"
#include "tests/support/rig.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

class TestReads : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void request_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("reg");
        QTest::addColumn<int>("pending");
        QTest::addColumn<QByteArray>("bytes");
        // clang-format off
        QTest::newRow("V1") << "Command11" << "01" << "0004" << 0 << ReadV1;
        QTest::newRow("V2") << "Command12" << "01" << "0008" << 1 << QByteArray::fromHex("01030008000105C8");
        QTest::newRow("V3") << "Command13" << "01" << "000C" << 2 << QByteArray::fromHex("0103000C00014409");
        QTest::newRow("V4") << "Command14" << "01" << "0010" << 3 << QByteArray::fromHex("01030010000185CF");
        QTest::newRow("I1") << "Command15" << "01" << "0005" << 4 << QByteArray::fromHex("010300050001940B");
        QTest::newRow("I2") << "Command16" << "01" << "0009" << 5 << QByteArray::fromHex("0103000900015408");
        QTest::newRow("I3") << "Command17" << "01" << "000D" << 6 << QByteArray::fromHex("0103000D000115C9");
        QTest::newRow("I4") << "Command18" << "01" << "0011" << 7 << QByteArray::fromHex("010300110001D40F");
        QTest::newRow("I4 at F7") << "Command18" << "F7" << "0011" << 7 << QByteArray::fromHex("F70300110001C099");
        QTest::newRow("lower-case ID") << "Command11" << "0a" << "0004" << 0 << QByteArray::fromHex("0A0300040001C4B0");
        // clang-format on
    }

    void request()
    {
        QFETCH(QString, button);
        QFETCH(QString, id);
        QFETCH(QString, reg);
        QFETCH(int, pending);
        QFETCH(QByteArray, bytes);
        Rig rig;
        auto *click = rig.form.findChild<QPushButton *>(button);
        QVERIFY(click);

        // Closed: nothing at all changes.
        rig.form.PendingRequest = 9;
        click->click();
        QCOMPARE(rig.form.Text10->text(), "0004");
        QCOMPARE(rig.form.Text13->text(), "");
        QCOMPARE(rig.form.PendingRequest, 9);
        QCOMPARE(rig.form.Text1->toPlainText(), "");

        QVERIFY(rig.connect());
        rig.form.Text8->setText(id);
        click->click();
        click->click();
        QVERIFY(rig.peer.waitForFrames(2));
        QCOMPARE(rig.peer.received().toHex(' '), (bytes + bytes).toHex(' '));
        QCOMPARE(rig.form.Text10->text(), reg);
        QCOMPARE(rig.form.Text13->text(), QString::fromLatin1(bytes.right(2).toHex().toUpper()));
        QCOMPARE(rig.form.PendingRequest, pending);
        QCOMPARE(rig.form.FrameText, id + "03" + reg + "0001");
        const QStringList lines = logLines(rig.form);
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines[0].endsWith(" send  " + bytes.toHex(' ').toUpper()));
        QCOMPARE(lines[1].mid(19), lines[0].mid(19));
    }

    void deviceIdRefused_data()
    {
        QTest::addColumn<QString>("id");
        QTest::newRow("one digit") << "1";
        QTest::newRow("three digits") << "001";
        QTest::newRow("zero") << "00";
        QTest::newRow("above F7") << "F8";
        QTest::newRow("broadcast FF") << "FF";
        QTest::newRow("not hex") << "zz";
        QTest::newRow("empty") << "";
        QTest::newRow("blank inside") << " 1";
    }

    void deviceIdRefused()
    {
        QFETCH(QString, id);
        Rig rig;
        QVERIFY(rig.connect());
        rig.form.Text8->setText(id);
        rig.form.PendingRequest = 3;
        rig.form.Command11->click();
        QTest::qWait(50);
        QCOMPARE(rig.peer.received(), QByteArray());
        QCOMPARE(rig.form.PendingRequest, 3);
        QCOMPARE(rig.form.Text10->text(), "0004");
        const QStringList lines = logLines(rig.form);
        QCOMPARE(lines.size(), 2);
        QVERIFY2(
            lines[0].endsWith(
                QStringLiteral(" Device ID \"%1\" must be two hexadecimal digits from 01 to F7")
                    .arg(id)),
            qPrintable(lines[0]));
    }
};

QTEST_MAIN(TestReads)
#include "tst_reads.moc"
