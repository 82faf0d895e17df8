// Settings writes end to end: the simulated module takes them after its echo
// and answers only a tool that reopened its port at the new settings.
#include "serial/mscomm.h"
#include "sim/transport.h"
#include "tests/support/rig.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

namespace {

// A started window whose only port, COM 1, is the simulated module.
struct SimRig
{
    explicit SimRig(int pieces = 1)
        : module(sim::ModuleOptions{}, sim::Faults{0, 0, pieces})
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
    const int fd = ::open(QFile::encodeName(module.devicePath()).constData(),
                          O_RDONLY | O_NOCTTY | O_NONBLOCK);
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
        SimRig rig(pieces);
        QSignalSpy garbled(&rig.module, &sim::Transport::garbled);
        QVERIFY2(rig.module.comNumber() == 1, qPrintable(rig.module.errorString()));
        rig.form.Command1_Click();
        QVERIFY(readV1(rig.form));
        QCOMPARE(rig.form.Text15->text(), "1.5");

        rig.form.Combo1->setCurrentIndex(rig.form.Combo1->findText("115200"));
        rig.form.Command5->click();
        QTRY_COMPARE(rig.form.Combo2->currentText(), "115200");
        QVERIFY(rig.form.MSComm1->PortOpen());
        const QStringList lines = logLines(rig.form);
        QCOMPARE(lines.size(), 1);
        QVERIFY(lines[0].endsWith(" Connected"));
        QCOMPARE(rig.module.module().settings().line.baud, 115200);
        QCOMPARE(toolBaud(rig.module), 115200);
        QVERIFY(readV1(rig.form));

        // The echo of an output write right after a settings write finds
        // PendingRequest still 8 and reconnects once more.
        rig.form.Combo1->setCurrentIndex(rig.form.Combo1->findText("9600"));
        rig.form.Command5->click();
        QTRY_COMPARE(rig.form.Combo2->currentText(), "9600");
        rig.form.Command9->click();
        QTRY_VERIFY(logLines(rig.form).size() == 1 && rig.form.MSComm1->PortOpen());
        QVERIFY(readV1(rig.form));
        QCOMPARE(garbled.count(), 0);
    }

    void formatWriteReconnects()
    {
        SimRig rig;
        rig.form.Command1_Click();
        rig.form.Combo8->setCurrentIndex(rig.form.Combo8->findText("2"));
        rig.form.Combo7->setCurrentIndex(rig.form.Combo7->findText("e"));
        rig.form.Command8->click();
        QTRY_COMPARE(rig.form.Combo5->currentText(), "2");
        QCOMPARE(rig.form.Combo4->currentText(), "e");
        QCOMPARE(rig.module.module().settings().line.stopBits, 2);
        QVERIFY(readV1(rig.form));
    }

    // Without the reopen the module no longer understands the tool.
    void aToolThatStaysBehindHearsNothing()
    {
        SimRig rig;
        rig.form.Command1_Click();
        rig.form.Combo1->setCurrentIndex(rig.form.Combo1->findText("19200"));
        rig.form.Command5->click();
        rig.form.PendingRequest = 0; // the echo is then only logged: no reopen
        QTRY_COMPARE(rig.module.module().settings().line.baud, 19200);
        QCOMPARE(rig.form.Combo2->currentText(), "38400");
        QVERIFY(!readV1(rig.form, 500));
    }
};

QTEST_MAIN(TestReconnect)
#include "tst_reconnect.moc"
