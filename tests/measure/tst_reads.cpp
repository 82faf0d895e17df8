#include "serial/mscomm.h"
#include "sim/model.h"
#include "tests/support/rig.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
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

    // What the operator and the module do, and the notes that brings (each the
    // start of one, oldest first). Steps: a button's caption clicks it; "answer N"
    // answers the Nth frame sent (from 0) as the module would; "wait N" waits N ms;
    // "stray" sends bytes that form no answer; "FF N" the Nth frame's answer after
    // a stray byte; "echo N" the Nth frame back; "id 05" types a new Device ID in
    // Device Configure; "hang up", "Disconnect" and "Connect" as they say.
    void wait_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QStringList>("notes");
        const QString v1 = "V1: no answer from device 01 in 1 s: check the Device ID, baud rate "
                           "and wiring; an answer that comes later is still taken";
        const QString mayBe = " may be wrong: it may be %1's answer: wait for each answer";
        const QString noise = "bytes that form no answer: check for line noise";
        // clang-format off
        QTest::newRow("no answer")    << "V1"                << QStringList{v1};
        QTest::newRow("stray bytes")  << "V1 stray"          << QStringList{noise, "V1: no answer from 01 in 1 s, only bytes forming none: check baud rate"};
        QTest::newRow("answered")     << "V1 answer 0"       << QStringList{};
        QTest::newRow("crossed")      << "V1 V2"             << QStringList{"V2 sent, V1 unanswered: wait for the answer before the next request", "V2: no answer from device 01 in 1 s"};
        QTest::newRow("lost")         << "V1 hang up"        << QStringList{};
        QTest::newRow("disconnected") << "V1 Disconnect"     << QStringList{};
        QTest::newRow("reopened")     << "Setup Baudrate echo 0" << QStringList{};
        // Out of step: every answer that may be another request's says so, until in step.
        QTest::newRow("crossed, then each late answer") << "V1 V2 answer 0 answer 1 V3 answer 2"
            << QStringList{"V2 sent, V1 unanswered", "V2" + mayBe.arg("V1")};
        QTest::newRow("after a no-answer note") << "V1 wait 1100 V2 answer 0 wait 100 answer 1 V3 answer 2"
            << QStringList{v1, "V2" + mayBe.arg("V1")};
        QTest::newRow("a dropped answer costs one note") << "V1 answer 0 V2 wait 1100 V3 answer 2 wait 100 V4 answer 3 I1 answer 4"
            << QStringList{"V2: no answer", "V3" + mayBe.arg("V2")};
        QTest::newRow("across Disconnect and Connect") << "V1 Disconnect Connect I1 answer 0 answer 1"
            << QStringList{"I1" + mayBe.arg("V1")};
        QTest::newRow("doubts outlive the log") << "V2 bad 0 Disconnect"
            << QStringList{"V2 still shows a value in doubt: V2 check bytes do not fit (see its tooltip)"};
        QTest::newRow("a stray byte, then no silence") << "V1 FF 0"
            << QStringList{"V1's answer came after stray byte FF, so is not shown: check the bias"};
        // Settings writes: what the module may now use, and that the tool did not follow.
        QTest::newRow("settings write unanswered") << "Setup Baudrate"
            << QStringList{"Setup Baudrate: no answer in 1 s; module may now use ID 01, 38400 baud, and the tool did not follow"};
        QTest::newRow("settings echo taken for a read") << "Setup Baudrate V1 echo 0"
            << QStringList{"V1 sent, Setup Baudrate unanswered", "Setup Baudrate echoed while V1 awaited: module now uses ID 01, 38400 baud"};
        QTest::newRow("a new ID given, then silence") << "id 05 Setup Baudrate echo 0 V1"
            << QStringList{"V1: no answer from device 01 in 1 s: set Device ID to 05"};
        // clang-format on
    }

    void wait()
    {
        QFETCH(QString, steps);
        QFETCH(QStringList, notes);
        Rig rig;
        QVERIFY(rig.connect());
        sim::Module module;
        const QStringList words = steps.split(' ');
        for (qsizetype i = 0; i < words.size(); ++i) {
            const QString &step = words[i];
            const auto frame = [&] {
                const int n = words[++i].toInt();
                return rig.peer.waitForFrames(n + 1) ? rig.peer.frames()[n] : QByteArray();
            };
            if (step == "answer")
                QVERIFY(rig.peer.answer(module.answer(frame())));
            else if (step == "bad") // its last value byte inverted, as duve-sim --corrupt does
                QVERIFY(rig.peer.answer(module.answer(frame()).replace(4, 1, "\x23")));
            else if (step == "FF")
                QVERIFY(rig.peer.answer("\xFF" + module.answer(frame())));
            else if (step == "echo")
                QVERIFY(rig.peer.answer(frame()));
            else if (step == "wait")
                QTest::qWait(words[++i].toInt());
            else if (step == "stray")
                QVERIFY(rig.peer.answer(QByteArray::fromHex("010203")));
            else if (step == "id")
                rig.form.Text14->setText(words[++i]);
            else if (step == "hang")
                rig.peer.hangUp(), ++i;
            else if (step == "Setup")
                rig.form.findChild<QPushButton *>("Command5")->click(), ++i;
            else if (step == "Disconnect" || step == "Connect")
                rig.form.Command1->click();
            else
                channelButtons(rig.form)[channelRow(step)]->click();
            QTest::qWait(20);
        }
        QTest::qWait(2500);
        QStringList found;
        for (const QString &line : logLines(rig.form))
            if (!line.contains(
                    QRegularExpression(" (send|receive)  |Connected$|Disconnect$| was lost: ")))
                found.prepend(line.mid(20));
        QCOMPARE(found.size(), notes.size());
        for (int i = 0; i < notes.size(); ++i)
            QVERIFY2(found[i].startsWith(notes[i]), qPrintable(found.join("\n")));
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
