#include "serial/mscomm.h"
#include "tests/support/rig.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

namespace {

const QDateTime morning(QDate(2024, 3, 2), QTime(7, 4, 9));

} // namespace

class TestTraffic : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sendFrameLogsThenWrites()
    {
        Rig rig;
        rig.form.Clock = [] { return morning; };
        QVERIFY(rig.connect());
        rig.form.FrameBytes = {0x01, 0x03, 0x00, 0x04, 0x00, 0x01, 0xC5, 0xCB};
        rig.form.SendFrame();
        const QString first = "2024/03/02 07:04:09 send  01 03 00 04 00 01 C5 CB";
        QCOMPARE(rig.form.Text5->text(), first + "\r\n");
        QCOMPARE(logLines(rig.form).first(), first);
        QVERIFY(rig.peer.waitForFrames(1));
        QCOMPARE(rig.peer.received(), ReadV1);

        // The second line goes on top; the connect line stays at the bottom. The first
        // request is still unanswered: the note above says so and what the next answer is for.
        rig.form.Clock = [] { return morning.addSecs(1); };
        rig.form.FrameBytes = {0x01, 0x03, 0x00, 0x08, 0x00, 0x01, 0x05, 0xC8};
        rig.form.PendingRequest = 1;
        rig.form.SendFrame();
        QVERIFY(rig.peer.waitForFrames(2));
        const QStringList lines = logLines(rig.form);
        QCOMPARE(lines.size(), 4);
        QVERIFY2(lines[0].startsWith("2024/03/02 07:04:10 V2 sent, V1 unanswered: wait for the "
                                     "answer before the next request; V1 waited 0")
                     && lines[0].endsWith(" s, and the next answer is taken for V2, whichever it "
                                          "answers"),
                 qPrintable(lines[0]));
        QCOMPARE(lines[1], "2024/03/02 07:04:10 send  01 03 00 08 00 01 05 C8");
        QCOMPARE(lines[2], first);
        QCOMPARE(lines[3], "2024/03/02 07:04:09 Connected");
        QCOMPARE(rig.form.Text5->text(), lines[1] + "\r\n"); // the send line, not the note
    }

    void clear()
    {
        Form1 form(noSystemPorts);
        form.Command4_Click();
        QCOMPARE(form.Text1->toPlainText(), QString());

        form.Text5->setText("staged");
        form.TimeText = "kept";
        form.prependLog("a line\r\n");
        form.Command4_Click();
        QCOMPARE(form.Text1->toPlainText(), QString());
        QCOMPARE(form.Text5->text(), "staged");
        QCOMPARE(form.TimeText, "kept");
        QVERIFY(!form.MSComm1->PortOpen());
    }
};

QTEST_MAIN(TestTraffic)
#include "tst_traffic.moc"
