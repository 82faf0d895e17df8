#include "serial/mscomm.h"
#include "tests/support/rig.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

class TestManual : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void asciiWithPortClosed()
    {
        Rig rig;
        rig.form.Command2_Click();
        QCOMPARE(rig.form.Text12->text(), "F7");
        QCOMPARE(rig.form.AsciiFrameText, ":010300040001F7\r\n");
        QCOMPARE(rig.form.Text1->toPlainText(), "");
        rig.form.Command3_Click();
        QCOMPARE(rig.form.Text13->text(), "C5CB");
        QCOMPARE(rig.form.Text1->toPlainText(), "");
    }

    void asciiIsWrittenNotLogged()
    {
        Rig rig;
        QVERIFY(rig.connect());
        rig.form.FrameBytes = {1, 2, 3, 4, 5, 6, 7, 8};
        rig.form.Command2_Click();
        QVERIFY(rig.peer.waitForFrames(1));
        QCOMPARE(rig.peer.received(),
                 QByteArray::fromHex("3A 30 31 30 33 30 30 30 34 30 30 30 31 46 37 0D 0A"));
        QCOMPARE(logLines(rig.form).size(), 1);
        QCOMPARE(rig.form.FrameBytes[0], 1);

        // A check below 0x10 keeps its leading zero.
        rig.form.Text10->setText("00F5");
        rig.form.Command2_Click();
        QVERIFY(rig.peer.waitForFrames(2));
        QVERIFY(rig.peer.frames().last().endsWith("00F5000106\r\n"));
        QCOMPARE(rig.form.Text12->text(), "06");
    }

    void rtuUsesTheFieldsAndKeepsPendingRequest()
    {
        Rig rig;
        QVERIFY(rig.connect());
        rig.form.Command18->click(); // I4 leaves its register in Text10
        rig.form.PendingRequest = 5;
        rig.form.Command3_Click();
        QVERIFY(rig.peer.waitForFrames(2));
        QCOMPARE(rig.peer.frames().last().toHex(' '), QByteArray("01 03 00 11 00 01 d4 0f"));
        QCOMPARE(rig.form.PendingRequest, 5);
        // Under the note that I4's read is unanswered.
        QVERIFY(logLines(rig.form)[1].endsWith(" send  01 03 00 11 00 01 D4 0F"));

        rig.form.Text9->setText("06");
        rig.form.Text10->setText("0014");
        rig.form.Text11->setText("000a");
        rig.form.Command3_Click();
        QVERIFY(rig.peer.waitForFrames(3));
        QCOMPARE(rig.peer.frames().last(), QByteArray::fromHex("01060014000A49C9"));
    }

    void refused_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("reason");
        // clang-format off
        QTest::newRow("function one digit") << "Text9" << "3" << "功能碼 (function) \"3\" must be two hexadecimal digits";
        QTest::newRow("function not hex") << "Text9" << "0x" << "功能碼 (function) \"0x\"";
        QTest::newRow("register short") << "Text10" << "4" << "Register \"4\" must be four hexadecimal digits";
        QTest::newRow("data long") << "Text11" << "00001" << "資料(長度) (data) \"00001\"";
        QTest::newRow("device ID") << "Text8" << "1" << "Device ID \"1\"";
        // clang-format on
    }

    void refused()
    {
        QFETCH(QString, box);
        QFETCH(QString, text);
        QFETCH(QString, reason);
        Rig rig;
        QVERIFY(rig.connect());
        rig.form.findChild<QLineEdit *>(box)->setText(text);
        rig.form.Command2_Click();
        rig.form.Command3_Click();
        const QStringList lines = logLines(rig.form);
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines[0].contains(reason) && lines[1].contains(reason), qPrintable(lines[0]));
        QCOMPARE(rig.form.Text12->text(), "");
        QCOMPARE(rig.form.Text13->text(), "");
        QTest::qWait(50);
        QCOMPARE(rig.peer.received(), QByteArray());
    }
};

QTEST_MAIN(TestManual)
#include "tst_manual.moc"
