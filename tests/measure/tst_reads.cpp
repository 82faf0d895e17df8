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
        // The second went out unanswered by the first: a note says so, on top.
        const QStringList lines = logLines(rig.form);
        QCOMPARE(lines.size(), 4);
        QVERIFY(lines[1].endsWith(" send  " + bytes.toHex(' ').toUpper()));
        QCOMPARE(lines[2].mid(19), lines[1].mid(19));
    }

    // What follows a request, and the notes on its wait that the next 3 s bring
    // (each the start of one, newest first): one per request, none once answered
    // or once the port closed.
    void wait_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("then");
        QTest::addColumn<QStringList>("notes");
        const QString silence = "no answer from device 01: check the device ID, the baud rate "
                                "and the wiring";
        const QString v1 = silence
                           + "; the read of V1 (register 0004) waited 1 s, and an answer "
                             "that comes later is still taken for the request awaited then";
        const QStringList crossed{silence + "; the read of V2 (register 0008) waited 1 s",
                                  silence + ", or wait longer; the read of V1 (register 0004)"};
        // clang-format off
        QTest::newRow("no answer")    << "Command11" << ""           << QStringList{v1};
        QTest::newRow("stray bytes")  << "Command11" << "stray"      << QStringList{v1};
        QTest::newRow("answered")     << "Command11" << "answer"     << QStringList{};
        QTest::newRow("crossed")      << "Command11" << "V2"         << crossed;
        QTest::newRow("lost")         << "Command11" << "hang up"    << QStringList{};
        QTest::newRow("disconnected") << "Command11" << "disconnect" << QStringList{};
        QTest::newRow("reopened")     << "Command5"  << "echo"       << QStringList{}; // Setup Baudrate
        // clang-format on
    }

    void wait()
    {
        QFETCH(QString, button);
        QFETCH(QString, then);
        QFETCH(QStringList, notes);
        Rig rig;
        QVERIFY(rig.connect());
        rig.form.findChild<QPushButton *>(button)->click();
        QVERIFY(rig.peer.waitForFrames(1));
        if (then == "answer")
            QVERIFY(rig.peer.answer(V1Is1500));
        else if (then == "stray")
            QVERIFY(rig.peer.answer(QByteArray::fromHex("010203")));
        else if (then == "echo")
            QVERIFY(rig.peer.answer(rig.peer.frames().first()));
        else if (then == "V2")
            rig.form.Command12->click();
        else if (then == "hang up")
            rig.peer.hangUp();
        else if (then == "disconnect")
            rig.form.Command1_Click();
        QTest::qWait(3000);
        const QStringList found = logLines(rig.form).filter(" no answer from ");
        QCOMPARE(found.size(), notes.size());
        for (int i = 0; i < notes.size(); ++i)
            QVERIFY2(found[i].mid(20).startsWith(notes[i]), qPrintable(found[i]));
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
