#include "measure/channels.h"
#include "sim/options.h"
#include "sim/transport.h"
#include "tests/support/holder.h"
#include "tests/support/peer.h"
#include "tests/support/pty.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <csignal>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <modbus/modbus.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

bool checkFits(const QByteArray &frame)
{
    return frame.size() > 2 && framed(frame.chopped(2).toHex()) == frame;
}

const QByteArray ReadI4 = QByteArray::fromHex("010300110001D40F");

// The tool's end of the line: the COM link opened with Qt Serial Port.
struct ToolPort
{
    QSerialPort port;
    QByteArray bytes;

    ToolPort()
    {
        QObject::connect(&port, &QSerialPort::readyRead, &port,
                         [this] { bytes += port.readAll(); });
    }

    bool open(const QString &path, int baud, int stopBits = 1)
    {
        port.close();
        bytes.clear();
        port.setPortName(path);
        port.setBaudRate(baud);
        port.setStopBits(stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
        return port.open(QIODevice::ReadWrite);
    }
};

// How many bytes crossed the line at mismatched settings.
struct Garbled
{
    qsizetype bytes = 0;
    explicit Garbled(sim::Transport &module)
    {
        QObject::connect(&module, &sim::Transport::garbled, &module,
                         [this](const QByteArray &b) { bytes += b.size(); });
    }
};

QString comLink(const PortFolder &folder, int n)
{
    return folder.path() + QStringLiteral("/COM%1").arg(n);
}

} // namespace

Q_DECLARE_METATYPE(sim::Faults)

class TestSim : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void answers_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("expected");
        // The tool's eight reads as they go on the line.
        QTest::newRow("V1") << ReadV1 << V1Is1500;
        QTest::newRow("V2") << QByteArray::fromHex("01030008000105C8") << framed("01030209C4");
        QTest::newRow("V3") << QByteArray::fromHex("0103000C00014409") << framed("0103021388");
        QTest::newRow("V4") << QByteArray::fromHex("01030010000185CF") << framed("0103022710");
        QTest::newRow("I1") << QByteArray::fromHex("010300050001940B") << framed("0103020FA0");
        QTest::newRow("I2") << QByteArray::fromHex("0103000900015408") << framed("0103021F40");
        QTest::newRow("I3") << QByteArray::fromHex("0103000D000115C9") << framed("0103022EE0");
        QTest::newRow("I4 65535") << ReadI4 << framed("010302FFFF");
        QTest::newRow("V1 and I1 at once") << framed("010300040002") << framed("01030405DC0FA0");
        // The tool's writes come back as they went.
        for (const char *write : {"0106000001060858", "010600010600DBAA", "0106001405DCCB07",
                                  "01060018271013F1", "01060000F7078E38", "010600012E00C5AA"})
            QTest::newRow(write) << QByteArray::fromHex(write) << QByteArray::fromHex(write);
        QTest::newRow("another device ID") << framed("020300040001") << QByteArray();
        QTest::newRow("check bytes off by one")
            << QByteArray::fromHex("010300040001C5CC") << QByteArray();
        QTest::newRow("read 0006") << framed("010300060001") << framed("018302");
        QTest::newRow("read VO1") << framed("010300140001") << framed("018302");
        QTest::newRow("read I4 and past it") << framed("010300110002") << framed("018302");
        QTest::newRow("read across FFFF") << framed("0103FFFF0006") << framed("018302");
        QTest::newRow("read no register") << framed("010300040000") << framed("018303");
        QTest::newRow("write an input") << framed("010600040001") << framed("018602");
        QTest::newRow("function 04") << framed("010400040001") << framed("018401");
        QTest::newRow("function 05") << framed("01050004FF00") << framed("018501");
        QTest::newRow("baud code 00") << framed("010600000100") << framed("018603");
        QTest::newRow("device ID 00") << framed("010600000006") << framed("018603");
        QTest::newRow("device ID F8") << framed("01060000F806") << framed("018603");
        QTest::newRow("parity code 1") << framed("010600011600") << framed("018603");
        QTest::newRow("format low byte") << framed("010600010601") << framed("018603");
        QTest::newRow("format bit 0") << framed("010600010700") << framed("018603");
    }

    void answers()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, expected);
        sim::ModuleOptions options;
        options.inputs[sim::channelIndex(u"I4")] = 65535;
        sim::Module module(options);
        QCOMPARE(module.answer(request).toHex(' '), expected.toHex(' '));
        QVERIFY(expected.isEmpty() || checkFits(expected));
    }

    // The tool reads each channel at the register the module keeps it in.
    void toolChannels()
    {
        QCOMPARE(std::size(measure::Channels), size_t(sim::ChannelCount));
        for (int channel = 0; channel < sim::ChannelCount; ++channel) {
            const measure::Channel &tool = measure::Channels[channel];
            QCOMPARE(QString::fromLatin1(tool.caption), sim::channelName(channel));
            QCOMPARE(tool.reg, sim::inputRegister(channel));
        }
    }

    void settingsAfterEcho_data()
    {
        QTest::addColumn<QByteArrayList>("requests");
        QTest::addColumn<int>("id");
        QTest::addColumn<int>("baud");
        QTest::addColumn<QString>("format");
        QTest::newRow("ID 01, 38400")
            << QByteArrayList{framed("010600000106")} << 1 << 38400 << "8N1";
        QTest::newRow("ID F7, 115200")
            << QByteArrayList{framed("01060000F707")} << 0xF7 << 115200 << "8N1";
        QTest::newRow("ID 02, 2400")
            << QByteArrayList{framed("010600000201")} << 2 << 2400 << "8N1";
        QTest::newRow("8E2") << QByteArrayList{framed("010600012E00")} << 1 << 38400 << "8E2";
        QTest::newRow("8O1") << QByteArrayList{framed("010600013600")} << 1 << 38400 << "8O1";
        QTest::newRow("5N2") << QByteArrayList{framed("010600010800")} << 1 << 38400 << "5N2";
        QTest::newRow("both before the echo")
            << QByteArrayList{framed("010600000307"), framed("010600012E00")} << 3 << 115200
            << "8E2";
    }

    void settingsAfterEcho()
    {
        QFETCH(QByteArrayList, requests);
        QFETCH(int, id);
        QFETCH(int, baud);
        QFETCH(QString, format);
        sim::Module module;
        const sim::Settings before = module.settings();
        for (const QByteArray &request : requests)
            QCOMPARE(module.answer(request), request);
        // Until the echo is out, the module listens and answers as before.
        QCOMPARE(module.settings(), before);
        QCOMPARE(module.answer(ReadV1), V1Is1500);

        module.applyPendingSettings();
        QCOMPARE(int(module.settings().deviceId), id);
        QCOMPARE(module.settings().line.baud, baud);
        QCOMPARE(sim::formatName(module.settings().line), format);
        QCOMPARE(module.answer(ReadV1).isEmpty(), id != 1);
        QVERIFY(
            !module.answer(framed(QByteArray::number(id, 16).rightJustified(2, '0') + "0300040001"))
                 .isEmpty());
    }

    void loopBack_data()
    {
        QTest::addColumn<bool>("loopBack");
        QTest::addColumn<QByteArray>("read");
        QTest::addColumn<int>("value");
        // VO1 has been set to 3000, VO2 to 10000.
        QTest::newRow("V1 shows VO1") << true << ReadV1 << 3000;
        QTest::newRow("V2 shows VO2") << true << framed("010300080001") << 10000;
        QTest::newRow("V3 stays") << true << framed("0103000C0001") << 5000;
        QTest::newRow("off") << false << ReadV1 << 1500;
    }

    void loopBack()
    {
        QFETCH(bool, loopBack);
        QFETCH(QByteArray, read);
        QFETCH(int, value);
        sim::ModuleOptions options;
        options.loopBack = loopBack;
        sim::Module module(options);
        QVERIFY(!module.answer(framed("010600140BB8")).isEmpty());
        QVERIFY(!module.answer(framed("010600182710")).isEmpty());
        const QByteArray answer = module.answer(read);
        QCOMPARE(answer.size(), 7);
        QCOMPARE(quint8(answer[3]) << 8 | quint8(answer[4]), value);
    }

    void vary_data()
    {
        QTest::addColumn<int>("value");
        QTest::newRow("0") << 0;
        QTest::newRow("1500") << 1500;
        QTest::newRow("65535") << 65535;
    }

    void vary()
    {
        QFETCH(int, value);
        sim::ModuleOptions options;
        options.vary = true;
        options.inputs.fill(static_cast<quint16>(value));
        const sim::Module module(options);
        QSet<int> seen;
        for (qint64 ms = 0; ms <= 60000; ms += 1000) {
            for (int channel = 0; channel < sim::ChannelCount; ++channel) {
                seen << module.input(channel, ms);
                QVERIFY(qAbs(module.input(channel, ms) - value)
                        <= value / 10 + 20); // no wrap-around
            }
        }
        QVERIFY(seen.size() > 10);
    }

    void takeFrames_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QByteArrayList>("frames");
        QTest::newRow("two back to back") << ReadV1 + ReadI4 << QByteArrayList{ReadV1, ReadI4};
        QTest::newRow("incomplete") << ReadV1.first(7) << QByteArrayList{};
        QTest::newRow("frame and a start") << ReadV1 + ReadI4.first(3) << QByteArrayList{ReadV1};
        QTest::newRow("garbage first")
            << QByteArray::fromHex("FF0003") + ReadV1 << QByteArrayList{ReadV1};
        QTest::newRow("damaged, then whole")
            << QByteArray::fromHex("010300040001C5CC") + ReadI4 << QByteArrayList{ReadI4};
        QTest::newRow("half, then whole") << ReadV1.first(4) + ReadI4 << QByteArrayList{ReadI4};
    }

    void takeFrames()
    {
        QFETCH(QByteArray, stream);
        QFETCH(QByteArrayList, frames);
        QByteArray all = stream;
        QCOMPARE(sim::takeFrames(all), frames);
        // Byte by byte, as a slow line delivers them, the same frames come out.
        QByteArray trickle;
        QByteArrayList found;
        for (char c : stream)
            found << sim::takeFrames(trickle.append(c));
        QCOMPARE(found, frames);
    }

    void faults_data()
    {
        QTest::addColumn<sim::Faults>("faults");
        // Per answer: 0 lost, c damaged, i from device 02, n with byte count 04, else pieces.
        QTest::addColumn<QString>("expected");
        QTest::newRow("none") << sim::Faults{} << "1111";
        QTest::newRow("drop 3") << sim::Faults{.dropEvery = 3} << "110110";
        QTest::newRow("corrupt 2") << sim::Faults{.corruptEvery = 2} << "1c1c";
        QTest::newRow("drop 2, corrupt 3")
            << sim::Faults{.dropEvery = 2, .corruptEvery = 3} << "10c010";
        QTest::newRow("split 3") << sim::Faults{.splitPieces = 3} << "33";
        QTest::newRow("split beyond the size") << sim::Faults{.splitPieces = 50} << "77";
        QTest::newRow("wrong ID 2") << sim::Faults{.wrongIdEvery = 2} << "1i1i";
        QTest::newRow("wrong count 3, drop 2")
            << sim::Faults{.dropEvery = 2, .wrongCountEvery = 3} << "10n010";
        QTest::newRow("stray 2") << sim::Faults{.strayEvery = 2} << "1s1s";
        QTest::newRow("noise 3, split 2")
            << sim::Faults{.splitPieces = 2, .noiseEvery = 3} << "22z22z";
    }

    void faults()
    {
        QFETCH(sim::Faults, faults);
        QFETCH(QString, expected);
        sim::FaultInjector injector(faults);
        for (QChar what : expected) {
            QVERIFY(injector.shape({}).isEmpty()); // silence is not an answer and is not counted
            const QByteArrayList pieces = injector.shape(V1Is1500);
            const QByteArray joined = pieces.join();
            if (what == u'0')
                QVERIFY(pieces.isEmpty());
            else if (what == u'c')
                QVERIFY(joined.size() == V1Is1500.size() && !checkFits(joined));
            else if (what == u'i')
                QCOMPARE(joined, framed("02030205DC"));
            else if (what == u'n')
                QCOMPARE(joined, framed("01030405DC"));
            else if (what == u's')
                QCOMPARE(joined, "\xFF" + V1Is1500);
            else if (what == u'z')
                QCOMPARE(joined, QByteArray::fromHex("00E0FE0080"));
            else
                QVERIFY(pieces.size() == what.digitValue() && joined == V1Is1500
                        && !pieces.contains({}));
        }
    }

    // Every Nth request answered is refused, and a refused write is not taken.
    void exceptionOnDemand()
    {
        sim::ModuleOptions options;
        options.exceptionEvery = 2;
        sim::Module module(options);
        const QByteArray write = framed("010600000103"); // 9600
        QCOMPARE(module.answer(ReadV1), V1Is1500);
        QCOMPARE(module.answer(framed("020300040001")), QByteArray()); // not asked: not counted
        QCOMPARE(module.answer(write), framed("018604"));
        QVERIFY(!module.pendingSettings());
        QCOMPARE(module.answer(write), write);
        QCOMPARE(module.answer(ReadV1), framed("018304"));
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("notes"); // what one option made of another
        QTest::newRow("everything")
            << QStringList{"--id",   "f7",         "--baud",   "14400", "--format",
                           "7e2",    "--value",    "i4=65535", "--com", "9",
                           "--vary", "--loopback", "--split",  "2"}
            << true
            << "--loopback: V1 shows VO1 as written, not --vary\n"
               "--loopback: V2 shows VO2 as written, not --vary";
        QTest::newRow("loopback over a value")
            << QStringList{"--value", "V1=3300", "--value", "V3=3300", "--loopback"} << true
            << "--loopback: V1 shows VO1 as written, not --value V1=3300";
        QTest::newRow("id 00") << QStringList{"--id", "00"} << false << "";
        QTest::newRow("id F8") << QStringList{"--id", "F8"} << false << "";
        QTest::newRow("baud 1200") << QStringList{"--baud", "1200"} << false << "";
        QTest::newRow("format 8X1") << QStringList{"--format", "8X1"} << false << "";
        QTest::newRow("value V9") << QStringList{"--value", "V9=1"} << false << "";
        QTest::newRow("value 65536") << QStringList{"--value", "I4=65536"} << false << "";
        QTest::newRow("com 10") << QStringList{"--com", "10"} << false << "";
        QTest::newRow("com and device")
            << QStringList{"--com", "1", "--device", "/dev/ttyS0"} << false << "";
        QTest::newRow("split 0") << QStringList{"--split", "0"} << false << "";
        QTest::newRow("module faults")
            << QStringList{"--wrong-id", "2", "--wrong-count", "3", "--exception", "4"} << true
            << "";
        QTest::newRow("exception -1") << QStringList{"--exception", "-1"} << false << "";
        QTest::newRow("line faults")
            << QStringList{"--echo", "--stray", "2", "--noise", "3", "--drop", "5"} << true << "";
        QTest::newRow("stray x") << QStringList{"--stray", "x"} << false << "";
        QTest::newRow("stray argument") << QStringList{"COM1"} << false << "";
    }

    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, accepted);
        QCommandLineParser parser;
        QString error;
        const auto config
            = sim::parseCommandLine(parser, QStringList{"duve-sim"} + arguments, &error);
        QCOMPARE(config.has_value(), accepted);
        QCOMPARE(error.isEmpty(), accepted);
        QTEST(config ? config->notes.join(u'\n') : QString(), "notes");
    }

    void line_data()
    {
        QTest::addColumn<int>("moduleBaud");
        QTest::addColumn<int>("toolBaud");
        QTest::addColumn<int>("toolStop");
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<int>("split");
        QTest::addColumn<bool>("answered");
        QTest::newRow("38400 both") << 38400 << 38400 << 1 << 0 << 1 << true;
        QTest::newRow("14400 both") << 14400 << 14400 << 1 << 0 << 1 << true;
        QTest::newRow("delayed, in 3 pieces") << 38400 << 38400 << 1 << 30 << 3 << true;
        QTest::newRow("tool at 9600") << 38400 << 9600 << 1 << 0 << 1 << false;
        QTest::newRow("tool at 115200, module at 2400") << 2400 << 115200 << 1 << 0 << 1 << false;
        QTest::newRow("tool with 2 stop bits") << 38400 << 38400 << 2 << 0 << 1 << false;
    }

    void line()
    {
        QFETCH(int, moduleBaud);
        QFETCH(int, toolBaud);
        QFETCH(int, toolStop);
        QFETCH(int, delayMs);
        QFETCH(int, split);
        QFETCH(bool, answered);
        PortFolder folder;
        sim::ModuleOptions options;
        options.settings.line.baud = moduleBaud;
        sim::Transport module(options, {0, 0, split}, delayMs);
        QVERIFY2(module.openPty(), qPrintable(module.errorString()));
        QCOMPARE(QFile::symLinkTarget(comLink(folder, 1)), module.devicePath());
        const Garbled garbled(module);
        QSignalSpy sent(&module, &sim::Transport::sent);

        ToolPort tool;
        QVERIFY(tool.open(comLink(folder, 1), toolBaud, toolStop));
        tool.port.write(ReadV1 + ReadI4);
        if (answered) {
            QTRY_COMPARE(tool.bytes, V1Is1500 + framed("0103024E20"));
            QCOMPARE(sent.count(), 2 * split);
        } else {
            QTRY_COMPARE(garbled.bytes, 2 * ReadV1.size());
            QVERIFY(sent.isEmpty() && tool.bytes.isEmpty());
        }
    }

    void settingsWrite_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("stopBits");
        QTest::addColumn<int>("drop");
        QTest::addColumn<bool>("adapterEcho"); // the request comes back before each answer
        QTest::newRow("115200") << framed("010600000107") << 115200 << 1 << 0 << false;
        QTest::newRow("8N2") << framed("010600010E00") << 38400 << 2 << 0 << false;
        QTest::newRow("9600, echo lost") << framed("010600000103") << 9600 << 1 << 1 << false;
        QTest::newRow("9600, an echoing adapter")
            << framed("010600000103") << 9600 << 1 << 0 << true;
    }

    void settingsWrite()
    {
        QFETCH(QByteArray, request);
        QFETCH(int, baud);
        QFETCH(int, stopBits);
        QFETCH(int, drop);
        QFETCH(bool, adapterEcho);
        PortFolder folder;
        sim::Transport module(sim::ModuleOptions{}, {.dropEvery = drop, .echo = adapterEcho});
        QVERIFY(module.openPty());
        QSignalSpy changed(&module, &sim::Transport::settingsChanged);
        const Garbled garbled(module);
        ToolPort tool;
        QVERIFY(tool.open(module.linkPath(), 38400));

        // The echo comes at the old settings; the module changes even when the line loses it.
        tool.port.write(request);
        QVERIFY(changed.wait());
        QTRY_COMPARE(tool.bytes,
                     (adapterEcho ? request : QByteArray()) + (drop ? QByteArray() : request));

        // A tool that stays at the old settings is not understood any more...
        tool.bytes.clear();
        tool.port.write(ReadV1);
        QTRY_COMPARE(garbled.bytes, ReadV1.size());
        QCOMPARE(tool.bytes, adapterEcho ? ReadV1 : QByteArray()); // the adapter hears itself

        // ...one that reopens at the new ones is.
        QSignalSpy understood(&module, &sim::Transport::received);
        QVERIFY(tool.open(module.linkPath(), baud, stopBits));
        tool.port.write(ReadV1);
        QVERIFY(understood.wait());
        QTRY_COMPARE(tool.bytes,
                     (adapterEcho ? ReadV1 : QByteArray()) + (drop ? QByteArray() : V1Is1500));
    }

    void links_data()
    {
        QTest::addColumn<QList<int>>("taken");
        QTest::addColumn<int>("requested");
        QTest::addColumn<int>("expected"); // 0: refused
        QTest::newRow("first free") << QList<int>{} << 0 << 1;
        QTest::newRow("into a gap, past dangling links") << QList<int>{1, 2, 4} << 0 << 3;
        QTest::newRow("as asked") << QList<int>{} << 5 << 5;
        QTest::newRow("asked but taken") << QList<int>{5} << 5 << 0;
        QTest::newRow("all taken") << QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9} << 0 << 0;
    }

    void links()
    {
        QFETCH(QList<int>, taken);
        QFETCH(int, requested);
        QFETCH(int, expected);
        PortFolder folder;
        for (int n : taken)
            QVERIFY(folder.link(n, QStringLiteral("/dev/missing%1").arg(n)));
        {
            sim::Transport module(sim::ModuleOptions{});
            QCOMPARE(module.openPty(requested), expected != 0);
            QCOMPARE(module.comNumber(), expected);
            if (expected)
                QCOMPARE(QFile::symLinkTarget(comLink(folder, expected)), module.devicePath());
        }
        // Its own link goes with the simulator; the others stay.
        for (int n = 1; n <= 9; ++n)
            QCOMPARE(QFile::symLinkTarget(comLink(folder, n)),
                     taken.contains(n) ? QStringLiteral("/dev/missing%1").arg(n) : QString());
    }

    void program_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGKILL, then a new simulator") << SIGKILL;
    }

    void program()
    {
        QFETCH(int, signal);
        PortFolder folder;
        const QString link = comLink(folder, 4);
        // A killed simulator cannot remove its link; the next one does.
        for (int run = 0; run < (signal == SIGKILL ? 2 : 1); ++run) {
            QProcess program;
            program.start(QStringLiteral(DUVE_SIM),
                          {"--com", "4", "--quiet", "--value", "V1=1234"});
            QByteArray out;
            QTRY_VERIFY_WITH_TIMEOUT(
                (out += program.readAllStandardOutput()).contains("Listening on COM 4"), 20000);
            QVERIFY(out.contains(QFile::symLinkTarget(link).toUtf8()));
            QCOMPARE(out.contains("Removed COM4 "), run == 1);

            ToolPort tool;
            QVERIFY(tool.open(link, 38400));
            tool.port.write(ReadV1);
            QTRY_COMPARE(tool.bytes, framed("01030204D2"));

            ::kill(static_cast<pid_t>(program.processId()), run == 0 ? signal : SIGTERM);
            QVERIFY(program.waitForFinished(20000));
            const bool killed = signal == SIGKILL && run == 0;
            QCOMPARE(program.exitStatus(), killed ? QProcess::CrashExit : QProcess::NormalExit);
            QCOMPARE(QFile::symLinkTarget(link).isEmpty(), !killed);
        }
        QCOMPARE(
            QDir(folder.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
            QStringList());
    }

    // A tool killed while connected cannot give the line back; as with a real
    // adapter, the line is free again for the next one (not left exclusive).
    void lineFreeAfterAToolWasKilled()
    {
        PortFolder folder;
        sim::Transport module(sim::ModuleOptions{});
        QVERIFY(module.openPty());
        const auto exclusive = [&] {
            const int fd = ::open(QFile::encodeName(module.devicePath()).constData(),
                                  O_RDWR | O_NOCTTY | O_NONBLOCK);
            int on = -1;
            ::ioctl(fd, TIOCGEXCL, &on);
            ::close(fd);
            return on;
        };
        Holder tool("qt", module.devicePath()); // as the tool opens it: the link resolved
        QVERIFY(tool.held);
        QTest::qWait(1500); // the simulator leaves a live tool's line alone
        QCOMPARE(exclusive(), 1);
        tool.kill();
        QTRY_COMPARE(exclusive(), 0);
    }

    // libmodbus, an independent master, reads what the module was given.
    void libmodbusMaster()
    {
        PortFolder folder;
        sim::ModuleOptions options;
        // 1111, 2222, ... but VO1 (written below) and VO2 (never written) in the first two.
        std::vector<int> expected{1500, 0};
        for (int channel = 0; channel < sim::ChannelCount; ++channel) {
            options.inputs[channel] = quint16(1111 * (channel + 1));
            if (channel >= 2)
                expected.push_back(options.inputs[channel]);
        }
        options.loopBack = true;
        sim::Transport module(options);
        QVERIFY(module.openPty());
        const QByteArray path = QFile::encodeName(module.linkPath());

        std::vector<int> values;
        int written = 0;
        int unknownRegister = 0;
        int unknownFunction = 0;
        std::atomic<bool> done = false;
        std::jthread master([&] {
            modbus_t *ctx = modbus_new_rtu(path.constData(), 38400, 'N', 8, 1);
            modbus_set_slave(ctx, 1);
            modbus_set_response_timeout(ctx, 2, 0);
            if (modbus_connect(ctx) == 0) {
                written = modbus_write_register(ctx, sim::Vo1Register, 1500);
                uint16_t v = 0;
                for (int channel = 0; channel < sim::ChannelCount; ++channel)
                    values.push_back(
                        modbus_read_registers(ctx, sim::inputRegister(channel), 1, &v) == 1 ? v
                                                                                            : -1);
                unknownRegister = modbus_read_registers(ctx, 0x0006, 1, &v) == -1 ? errno : 0;
                unknownFunction = modbus_read_input_registers(ctx, 0x0004, 1, &v) == -1 ? errno : 0;
                modbus_close(ctx);
            }
            modbus_free(ctx);
            done = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(done, 60000);
        QCOMPARE(written, 1);
        QCOMPARE(values, expected);
        QCOMPARE(unknownRegister, int(EMBXILADD));
        QCOMPARE(unknownFunction, int(EMBXILFUN));
    }
};

QTEST_MAIN(TestSim)
#include "tst_sim.moc"
