// Faults end to end. Each row puts the shown window, its port COM 1 a
// pseudo-terminal with a scripted device on the far end, through one fault of
// the line or the device; then the same things must hold after every row
// (checkInvariants), and the device, still there or back again, must answer
// a read of V1.
#include "serial/mscomm.h"
#include "sim/model.h"
#include "tests/support/holder.h"
#include "tests/support/rig.h"

#include <QComboBox>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <memory>
#include <optional>
#include <utility>

#include <grp.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

enum Fault {
    LostIdle,         // the far end closes while nothing happens
    LostWriting,      // ... just before a request is written
    LostScanning,     // ... during Auto Scan
    LostReconnecting, // COM 1 goes between the close and the reopen that follow a settings echo
    Taken,            // another program ("qt" lock or "flock") holds COM 1 when Connect is clicked
    Denied,           // the user may not open the device
    Answers, // the device sends what it is given: garbage, answers cut, late, twice, damaged
    Clicks,  // 200 clicks on the read buttons, each answered by the module
};

qint64 cpuMs()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000
           + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

// Status lines that name the port (not the traffic).
QStringList linesNaming(const Form1 &form, const QString &port)
{
    QStringList found;
    for (const QString &line : logLines(form))
        if (line.contains(port + u' ') && !line.contains(u" send  ")
            && !line.contains(u" receive  "))
            found << line;
    return found;
}

// What must hold after any fault. `since`: how much of what the device sent
// was before the tool last replaced the whole log.
void checkInvariants(Form1 &form, const Peer &device, qsizetype since)
{
    bool served = false;
    QTimer::singleShot(0, &form, [&] { served = true; });
    QTRY_VERIFY_WITH_TIMEOUT(served, 1000);
    const bool open = form.MSComm1->PortOpen();
    QCOMPARE(form.Command1->text(), open ? "Disconnect" : "Connect");
    QVERIFY(open || (!form.Timer1->isActive() && form.Command7->text() != "Stop"));
    // Every byte the device sent is in the log, once, in order (however the lines split it).
    QTRY_COMPARE(logBytes(form, u"receive").toHex(' '), device.sent().mid(since).toHex(' '));
    // The device checks the CRC of every frame it receives (Peer).
}

// After a loss the window waits for the operator: it neither spins nor keeps logging.
void checkIdle(Form1 &form)
{
    const QStringList before = logLines(form);
    const qint64 start = cpuMs();
    QTest::qWait(200);
    const qint64 used = cpuMs() - start;
    QVERIFY2(used < 100,
             qPrintable(QStringLiteral("%1 ms of CPU in 200 ms after the loss").arg(used)));
    QCOMPARE(logLines(form), before);
}

void readV1(Form1 &form, Peer &device)
{
    const qsizetype frames = device.frames().size();
    form.Command11->click();
    QVERIFY(device.waitForFrames(frames + 1));
    QCOMPARE(device.frames().last(), ReadV1);
    QVERIFY(device.answer(V1Is1500));
    QTRY_COMPARE(form.Text15->text(), "1.5");
}

} // namespace

class TestFaults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void faults_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QStringList>("press"); // buttons, in this order
        QTest::addColumn<QByteArrayList>(
            "far"); // then the device sends these pieces, or holds the port so
        QTest::addColumn<QString>("box");   // a display box ...
        QTest::addColumn<QString>("shown"); // ... and what it shows after the fault
        QTest::addColumn<int>("lines");     // status lines naming COM 1
        QTest::addColumn<QString>("says");  // in one of them
        const QStringList v1{"Command11"};
        // clang-format off
        QTest::newRow("lost while idle") << int(LostIdle) << QStringList() << QByteArrayList() << "" << "" << 1
                                         << "the device went away";
        QTest::newRow("lost with half an answer waiting")
            << int(LostIdle) << v1 << QByteArrayList{V1Is1500.first(4)} << "" << "" << 1 << "";
        QTest::newRow("lost while writing") << int(LostWriting) << v1 << QByteArrayList() << "" << "" << 1
                                            << "the device went away";
        QTest::newRow("lost during Auto Scan") << int(LostScanning) << QStringList() << QByteArrayList() << "" << ""
                                               << 1 << "";
        QTest::newRow("lost between the close and the reopen after a settings echo")
            << int(LostReconnecting) << QStringList() << QByteArrayList() << "" << "" << 1 << "";
        // clang-format on
        for (const char *how : {"qt", "flock"})
            // clang-format off
            QTest::newRow(qPrintable(QStringLiteral("held by another program (%1)").arg(how)))
                << int(Taken) << QStringList() << QByteArrayList{how} << "" << "" << 1 << "is in use by another program";
        QTest::newRow("permission denied") << int(Denied) << QStringList() << QByteArrayList() << "" << "" << 0 << "";
        // clang-format on

        const auto answers
            = [](const char *name, const QStringList &press, const QByteArrayList &far,
                 const QString &box = {}, const QString &shown = {}) {
                  QTest::newRow(name) << int(Answers) << press << far << box << shown << 0 << "";
              };
        answers("3 bytes of garbage", {}, {QByteArray::fromHex("FF0055")});
        answers("12 bytes of garbage", {}, {QByteArray::fromHex("55AA00FF102030405060708F")});
        for (int cut = 1; cut < V1Is1500.size(); ++cut)
            answers(qPrintable(QStringLiteral("V1 answer cut after byte %1").arg(cut)), v1,
                    {V1Is1500.first(cut), V1Is1500.sliced(cut)}, "Text15", "1.5");
        const auto bytes = [](const QByteArray &frame) {
            QByteArrayList each;
            for (char c : frame)
                each << QByteArray(1, c);
            return each;
        };
        answers("V1 answer byte by byte", v1, bytes(V1Is1500), "Text15", "1.5");
        answers("VO1 echo byte by byte", {"Command9"}, bytes(framed("010600140000")));
        answers("no answer", v1, {}, "Text15", "00.000");
        answers("the answer twice", v1, {V1Is1500, V1Is1500}, "Text15", "1.5");
        answers("V1's answer after V2's request", {"Command11", "Command12"},
                {V1Is1500, framed("01030209C4")}, "Text16", "2.5");
        // Answers are not CRC-checked: a damaged one is shown as it came.
        answers("corrupted answer", v1, {QByteArray(V1Is1500).replace(4, 1, "\x23")}, "Text15",
                "1.315");
        for (int code = 0x01; code <= 0x0B; ++code)
            answers(qPrintable(QStringLiteral("exception %1").arg(code, 2, 16, QLatin1Char('0'))),
                    v1, {framed("0183" + QByteArray::number(code, 16).rightJustified(2, '0'))},
                    "Text15", "00.000");
        // clang-format off
        QTest::newRow("200 clicks") << int(Clicks) << QStringList() << QByteArrayList() << "" << "" << 0 << "";
        // clang-format on
    }

    void faults()
    {
        QFETCH(int, fault);
        QFETCH(QStringList, press);
        QFETCH(QByteArrayList, far);
        QFETCH(QString, box);
        QFETCH(int, lines);
        QFETCH(QString, says);
        if (fault == Denied)
            return permissionDenied();

        Rig rig;
        rig.form.show();
        std::unique_ptr<Holder> holder;
        if (fault == Taken) {
            holder = std::make_unique<Holder>(far.first().constData(), rig.pty.slavePath());
            QVERIFY(holder->held);
        }
        rig.form.Command1->click();
        QCOMPARE(rig.form.MSComm1->PortOpen(), fault != Taken);
        qsizetype since = 0;
        sim::Module module;

        switch (fault) {
        case LostIdle:
        case LostWriting:
            if (!far.isEmpty()) { // the device dies in the middle of its answer
                for (const QString &button : std::exchange(press, {}))
                    rig.form.findChild<QPushButton *>(button)->click();
                QVERIFY(rig.peer.waitForFrames(1) && rig.peer.answer(far.first()));
                QTRY_COMPARE(rig.form.MSComm1->InBufferCount(), far.first().size());
            }
            rig.peer.hangUp();
            break;
        case LostScanning:
            rig.form.Command7_Click();
            for (int tick = 1; tick <= 3; ++tick) {
                rig.form.Timer1_Timer();
                QVERIFY(rig.peer.waitForFrames(tick));
                QVERIFY(rig.peer.answer(module.answer(rig.peer.frames().last())));
            }
            rig.form.Timer1_Timer();
            rig.peer.hangUp();
            break;
        case LostReconnecting:
            rig.form.Combo1->setCurrentIndex(rig.form.Combo1->findText("115200"));
            rig.form.Command5->click();
            QVERIFY(rig.peer.waitForFrames(1));
            QVERIFY(QFile::remove(rig.folder.path() + "/COM1"));
            QVERIFY(rig.peer.answer(rig.peer.frames().last())); // the echo
            since = rig.peer.sent().size();                     // the disconnect replaced the log
            break;
        case Clicks: {
            // Each click as soon as the event loop is free, answers coming in between.
            rig.peer.respond = [&](const QByteArray &frame) { return module.answer(frame); };
            const QList<QPushButton *> buttons = channelButtons(rig.form);
            int clicks = 0;
            QEventLoop loop;
            QDeadlineTimer deadline(20000);
            std::function<void()> click = [&] {
                if (clicks < 200)
                    buttons[clicks++ % buttons.size()]->click();
                if (rig.peer.frames().size() >= 200 || deadline.hasExpired())
                    loop.quit();
                else
                    QTimer::singleShot(0, &rig.form, click);
            };
            QTimer::singleShot(0, &rig.form, click);
            loop.exec();
            QCOMPARE(rig.peer.frames().size(), 200);
            for (int i = 0; i < 200; ++i)
                QCOMPARE(quint8(rig.peer.frames()[i][3]),
                         sim::inputRegister(i % sim::ChannelCount));
            rig.peer.respond = nullptr; // all answered by now
            // Each request in the log once, in the order it went on the line.
            QCOMPARE(logBytes(rig.form, u"send"), rig.peer.received());
            break;
        }
        }
        // The requests (after a loss: before the window hears of it), then what the device sends.
        for (const QString &button : press)
            rig.form.findChild<QPushButton *>(button)->click();
        if (fault == Answers) {
            QVERIFY(rig.peer.waitForFrames(press.size()));
            QVERIFY(rig.peer.answer(far, 5));
            QTest::qWait(far.isEmpty() ? 20 : 0); // an answer that never comes
        }
        if (QTest::currentTestFailed())
            return;

        const bool lost = fault <= LostScanning;
        if (lost)
            QTRY_VERIFY(!rig.form.MSComm1->PortOpen());
        QTRY_COMPARE(linesNaming(rig.form, "COM 1").size(), lines);
        QFETCH(QString, shown);
        if (!box.isEmpty())
            QTRY_COMPARE(rig.form.findChild<QLineEdit *>(box)->text(), shown);
        if (!says.isEmpty())
            QVERIFY2(linesNaming(rig.form, "COM 1").join('|').contains(says),
                     qPrintable(logLines(rig.form).join('|')));
        if (fault == LostWriting) // the loss above the request
            QVERIFY(logLines(rig.form)[1].contains(" send  "));
        if (!rig.form.MSComm1->PortOpen()) {
            checkInvariants(rig.form, rig.peer, since);
            if (lost)
                checkIdle(rig.form);
        }
        if (QTest::currentTestFailed())
            return;

        // The device back, or still there: Connect and V1 work.
        std::optional<PtyPair> spare;
        std::optional<Peer> sparePeer;
        Peer *device = &rig.peer;
        if (!rig.form.MSComm1->PortOpen()) {
            holder.reset();
            if (rig.pty.master() < 0) {
                spare.emplace();
                device = &sparePeer.emplace(*spare);
            }
            QFile::remove(rig.folder.path() + "/COM1");
            QVERIFY(rig.folder.link(1, spare ? spare->slavePath() : rig.pty.slavePath()));
            rig.form.Command1->click();
            QVERIFY(rig.form.MSComm1->PortOpen());
            since = device->sent().size();
            if (fault == LostReconnecting) // the settings of the echo
                QCOMPARE(device->line()->baud, 115200);
        }
        readV1(rig.form, *device);
        checkInvariants(rig.form, *device, since);
    }

private:
    // As root the row runs again as an unprivileged user; the device is then
    // root's and of group dialout, as a serial adapter's is.
    void permissionDenied()
    {
        if (::geteuid() == 0)
            return runAsNobody();
        PtyPair own;
        QString denied = qEnvironmentVariable("DUVE_DENIED_DEVICE");
        if (denied.isEmpty()) {
            denied = own.slavePath(); // its owner's permissions are what count for us
            QVERIFY(QFile::setPermissions(denied, QFile::ReadGroup | QFile::WriteGroup));
        }
        const QString fix = QStringLiteral("sudo adduser $USER %1").arg(QFileInfo(denied).group());
        PortFolder folder;
        QVERIFY(folder.link(1, denied));
        Form1 form(noSystemPorts);
        form.show();
        form.Form_Load();

        // The scan leaves COM 1 out; the empty list and Connect say why and what to do.
        QCOMPARE(form.Combo9->count(), 0);
        const QString named = QStringLiteral("COM 1 (%1) ").arg(denied);
        QVERIFY2(form.Combo9->toolTip().contains(named) && form.Combo9->toolTip().contains(fix),
                 qPrintable(form.Combo9->toolTip()));
        form.Command1->click();
        QStringList lines = logLines(form);
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines[0].contains("no port is selected") && lines[0].contains(named)
                     && lines[0].contains(fix),
                 qPrintable(lines[0]));

        // A port that the scan offered and that refuses the open: the line says the same.
        PtyPair mine;
        Peer peer(mine);
        QVERIFY(folder.link(2, mine.slavePath()));
        form.Combo9_Change();
        form.Combo9->setCurrentIndex(0);
        QVERIFY(form.Combo9->toolTip().contains(named)); // still left out, and said so
        // The group is named only where the group may read and write the device.
        const QString advice[]
            = {"add your user to the group \"" + QFileInfo(mine.slavePath()).group()
                   + "\" (sudo adduser $USER ",
               "only its owner may open it"};
        for (const QFileDevice::Permissions mode :
             {QFile::ReadGroup | QFile::WriteGroup, QFileDevice::Permissions()}) {
            QVERIFY(QFile::setPermissions(mine.slavePath(), mode));
            form.Command1->click();
            QCOMPARE(form.Command1->text(), "Connect");
            lines = logLines(form);
            QVERIFY2(lines[0].contains("COM 2 (" + mine.slavePath() + ") is not open to this user")
                         && lines[0].contains(advice[mode ? 0 : 1]),
                     qPrintable(lines[0]));
        }

        QVERIFY(QFile::setPermissions(mine.slavePath(), QFile::ReadOwner | QFile::WriteOwner));
        form.Command1->click();
        QVERIFY(form.MSComm1->PortOpen());
        readV1(form, peer);
        checkInvariants(form, peer, 0);
    }

    void runAsNobody()
    {
        // The build may lie where nobody can reach it (CI's clone is root's):
        // the child runs from a copy, with a copy of the leak suppressions.
        QTemporaryDir copies;
        QVERIFY(QFile::setPermissions(copies.path(), QFile::ReadOwner | QFile::WriteOwner
                                                         | QFile::ExeOwner | QFile::ReadOther
                                                         | QFile::ExeOther));
        const QString program = copies.filePath("tst_faults");
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), program));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        static const QRegularExpression suppressions(QStringLiteral("suppressions=([^:]+)"));
        const QString lsan = env.value("LSAN_OPTIONS");
        if (const auto match = suppressions.match(lsan); match.hasMatch()) {
            QVERIFY(QFile::copy(match.captured(1), copies.filePath("lsan.supp")));
            env.insert("LSAN_OPTIONS",
                       QString(lsan).replace(match.captured(1), copies.filePath("lsan.supp")));
        }

        PtyPair device;
        const QByteArray path = QFile::encodeName(device.slavePath());
        const group *dialout = ::getgrnam("dialout");
        QVERIFY(dialout && ::chown(path.constData(), 0, dialout->gr_gid) == 0);
        QVERIFY(QFile::setPermissions(device.slavePath(), QFile::ReadOwner | QFile::WriteOwner
                                                              | QFile::ReadGroup
                                                              | QFile::WriteGroup));
        env.insert("DUVE_DENIED_DEVICE", device.slavePath());
        env.insert("HOME", copies.path());

        QProcess child;
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start("setpriv", {"--reuid=nobody", "--regid=nogroup", "--clear-groups", program,
                                "faults:permission denied"});
        const bool finished = child.waitForFinished(60000);
        const QByteArray output = child.readAll();
        QVERIFY2(finished && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
                 output.constData());
        QVERIFY2(output.contains("PASS   : TestFaults::faults(permission denied)"),
                 output.constData());
    }
};

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
