// Settings writes end to end: the simulated module takes them after its echo
// and answers only a tool that reopened its port at the new settings.
#include "serial/mscomm.h"
#include "sim/transport.h"
#include "tests/support/rig.h"
#include "tests/support/testmain.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

namespace {

struct Bench
{
    explicit Bench(int pieces = 1) : module(sim::ModuleOptions{}, sim::Faults{0, 0, pieces})
    {
        module.openPty(1);
        form.Form_Load();
    }
    PortFolder folder;
    sim::Transport module;
    Form1 form{noSystemPorts};
};

// The baud rate the tool has set on its end of the line.
int toolBaud(const sim::Transport &module)
{
    const int fd = ::open(QFile::encodeName(module.devicePath()).constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    const auto line = sim::readTtyLine(fd);
    ::close(fd);
    return line ? line->baud : 0;
}

bool readV1(Form1 &form, int timeoutMs = 3000)
{
    form.Text15->clear();
    form.Command11->click();
    return QTest::qWaitFor([&] { return !form.Text15->text().isEmpty(); }, timeoutMs);
}

} // namespace

class TestReconnect : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Also with every answer in pieces, as USB adapters deliver them: the
    // tool reopens only after the last byte of the echo, never while the
    // module is still sending it at the old rate.
    void baudRateWriteReconnects_data()
    {
        QTest::addColumn<int>("pieces");
        QTest::newRow("whole") << 1;
        QTest::newRow("byte by byte") << 8;
    }

    void baudRateWriteReconnects()
    {
        QFETCH(int, pieces);
        Bench bench(pieces);
        QSignalSpy garbled(&bench.module, &sim::Transport::garbled);
        QVERIFY2(bench.module.comNumber() == 1, qPrintable(bench.module.errorString()));
        bench.form.Command1_Click();
        QVERIFY(readV1(bench.form));
        QCOMPARE(bench.form.Text15->text(), "1.5");

        bench.form.Combo1->setCurrentIndex(bench.form.Combo1->findText("115200"));
        bench.form.Command5->click();
        QTRY_COMPARE(bench.form.Combo2->currentText(), "115200");
        QVERIFY(bench.form.MSComm1->PortOpen());
        const QStringList lines = logLines(bench.form);
        QCOMPARE(lines.size(), 1);
        QVERIFY(lines[0].endsWith(" Connected"));
        QCOMPARE(bench.module.module().settings().line.baud, 115200);
        QCOMPARE(toolBaud(bench.module), 115200);
        QVERIFY(readV1(bench.form));

        // The echo of an output write right after a settings write finds
        // PendingRequest still 8 and reconnects once more.
        bench.form.Combo1->setCurrentIndex(bench.form.Combo1->findText("9600"));
        bench.form.Command5->click();
        QTRY_COMPARE(bench.form.Combo2->currentText(), "9600");
        bench.form.Command9->click();
        QTRY_VERIFY(logLines(bench.form).size() == 1 && bench.form.MSComm1->PortOpen());
        QVERIFY(readV1(bench.form));
        QCOMPARE(garbled.count(), 0);
    }

    void formatWriteReconnects()
    {
        Bench bench;
        bench.form.Command1_Click();
        bench.form.Combo8->setCurrentIndex(bench.form.Combo8->findText("2"));
        bench.form.Combo7->setCurrentIndex(bench.form.Combo7->findText("e"));
        bench.form.Command8->click();
        QTRY_COMPARE(bench.form.Combo5->currentText(), "2");
        QCOMPARE(bench.form.Combo4->currentText(), "e");
        QCOMPARE(bench.module.module().settings().line.stopBits, 2);
        QVERIFY(readV1(bench.form));
    }

    // Without the reopen the module no longer understands the tool.
    void aToolThatStaysBehindHearsNothing()
    {
        Bench bench;
        bench.form.Command1_Click();
        bench.form.Combo1->setCurrentIndex(bench.form.Combo1->findText("19200"));
        bench.form.Command5->click();
        bench.form.PendingRequest = 0; // the echo is then only logged: no reopen
        QTRY_COMPARE(bench.module.module().settings().line.baud, 19200);
        QCOMPARE(bench.form.Combo2->currentText(), "38400");
        QVERIFY(!readV1(bench.form, 500));
    }
};

DUVE_TEST(TestReconnect)
#include "tst_reconnect.moc"
