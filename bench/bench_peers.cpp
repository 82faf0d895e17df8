// The tool beside two other Modbus clients: one duve-sim process on a
// pseudo-terminal, read in turn by the tool's window (V1 pressed, until the
// value is painted in its box), by libmodbus and by Qt Serial Bus, each the
// same register (0004 of device 01) at 38400 8N1, one client on the port at a
// time. Prints per client the median and 99th percentile of a read and the
// CPU time of this process per read (the simulator runs in its own process
// and is not counted), the ratios of the medians, and the time the same read
// takes on a real line.
//   bench_peers [reads]     (default 2000, after 200 warm-up reads)
#include "app/form1.h"
#include "serial/mscomm.h"

#include <QApplication>
#include <QLineEdit>
#include <QModbusReply>
#include <QModbusRtuSerialClient>
#include <QProcess>
#include <QPushButton>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <vector>

#include <modbus.h>
#include <sys/prctl.h>

namespace {

const int registerV1 = 0x0004;
const int deviceId = 1;
const quint16 valueV1 = 1500; // the simulator's V1, shown as 1.5

using Clock = std::chrono::steady_clock;

double microsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

// CPU time of every thread of this process.
double cpuMicros()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e6 + t.tv_nsec / 1e3;
}

struct Figures
{
    double median = 0, p99 = 0, cpuPerRead = 0;
};

// Runs read() warmUp times, then reads times; read() gives the microseconds
// of one read, or a negative number when it failed.
Figures measure(const char *client, int warmUp, int reads, const std::function<double()> &read)
{
    for (int i = 0; i < warmUp; ++i)
        if (read() < 0)
            qFatal("%s: a warm-up read failed", client);
    std::vector<double> micros;
    micros.reserve(reads);
    const double cpuStart = cpuMicros();
    for (int i = 0; i < reads; ++i) {
        micros.push_back(read());
        if (micros.back() < 0)
            qFatal("%s: read %d failed", client, i + 1);
    }
    const double cpu = cpuMicros() - cpuStart;
    std::sort(micros.begin(), micros.end());
    return {micros[micros.size() / 2], micros[micros.size() * 99 / 100], cpu / reads};
}

// Notes when the box has painted a value it was given: then the value is on
// the screen (the window's repaint flushes it before the event loop goes on).
class ValueWatch : public QObject
{
public:
    bool given = false, shown = false;

    explicit ValueWatch(QLineEdit *box)
    {
        box->installEventFilter(this);
        connect(box, &QLineEdit::textChanged, this,
                [this](const QString &text) { given = given || !text.isEmpty(); });
    }
    bool eventFilter(QObject *, QEvent *event) override
    {
        shown = shown || (given && event->type() == QEvent::Paint);
        return false;
    }
};

Figures measureTool(int warmUp, int reads)
{
    Form1 form([] { return QStringList(); });
    form.show();
    form.Form_Load();
    form.Command1_Click();
    if (!form.MSComm1->PortOpen())
        qFatal("the tool could not connect to COM 1");
    ValueWatch watch(form.Text15);
    // Wakes the wait below now and then, so that a lost answer fails the read.
    int ticks = 0;
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, [&] { ++ticks; });
    watchdog.start(1000);

    const Figures figures = measure("the tool", warmUp, reads, [&] {
        watch.given = watch.shown = false;
        const int tickAtStart = ticks;
        const auto start = Clock::now();
        form.Command11->click();
        while (!watch.shown) {
            if (ticks > tickAtStart + 1)
                return -1.0;
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        const double micros = microsSince(start);
        return form.Text15->text() == QLatin1String("1.5") ? micros : -1.0;
    });
    form.Command1_Click(); // the port is free again for the next client
    return figures;
}

Figures measureLibmodbus(const QString &device, int warmUp, int reads)
{
    modbus_t *ctx = modbus_new_rtu(device.toLocal8Bit().constData(), 38400, 'N', 8, 1);
    if (!ctx || modbus_set_slave(ctx, deviceId) != 0 || modbus_connect(ctx) != 0)
        qFatal("libmodbus could not open %s: %s", qPrintable(device), modbus_strerror(errno));
    const Figures figures = measure("libmodbus", warmUp, reads, [&] {
        uint16_t value = 0;
        const auto start = Clock::now();
        const int count = modbus_read_registers(ctx, registerV1, 1, &value);
        const double micros = microsSince(start);
        return count == 1 && value == valueV1 ? micros : -1.0;
    });
    modbus_close(ctx);
    modbus_free(ctx);
    return figures;
}

Figures measureQtSerialBus(const QString &device, int warmUp, int reads)
{
    QModbusRtuSerialClient client;
    client.setConnectionParameter(QModbusDevice::SerialPortNameParameter, device);
    client.setConnectionParameter(QModbusDevice::SerialBaudRateParameter, QSerialPort::Baud38400);
    client.setConnectionParameter(QModbusDevice::SerialDataBitsParameter, QSerialPort::Data8);
    client.setConnectionParameter(QModbusDevice::SerialParityParameter, QSerialPort::NoParity);
    client.setConnectionParameter(QModbusDevice::SerialStopBitsParameter, QSerialPort::OneStop);
    client.setTimeout(1000);
    client.setNumberOfRetries(0);
    if (!client.connectDevice() || client.state() != QModbusDevice::ConnectedState)
        qFatal("Qt Serial Bus could not open %s: %s", qPrintable(device),
               qPrintable(client.errorString()));
    const Figures figures = measure("Qt Serial Bus", warmUp, reads, [&] {
        const auto start = Clock::now();
        std::unique_ptr<QModbusReply> reply(client.sendReadRequest(
            QModbusDataUnit(QModbusDataUnit::HoldingRegisters, registerV1, 1), deviceId));
        while (reply && !reply->isFinished())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const double micros = microsSince(start);
        const bool ok = reply && reply->error() == QModbusDevice::NoError
                        && reply->result().value(0) == valueV1;
        return ok ? micros : -1.0;
    });
    client.disconnectDevice();
    return figures;
}

// One request (8 bytes) and its answer (7 bytes), 10 bits a character at 8N1.
double wireMillis(int baud) { return (8 + 7) * 10 * 1000.0 / baud; }

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int reads = argc > 1 ? std::max(1, atoi(argv[1])) : 2000;
    const int warmUp = 200;

    // A port folder of our own, where the simulator links its pseudo-terminal as COM 1.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
    QProcess sim;
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // Should this program stop early (a failed read, Ctrl-C), the simulator stops too and removes
    // its link.
    sim.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    sim.start(QStringLiteral(DUVE_SIM),
              {QStringLiteral("--com"), QStringLiteral("1"), QStringLiteral("--quiet")});
    QString device; // from "Listening on COM 1 (/dev/pts/N)"
    while (device.isEmpty() && sim.waitForReadyRead(5000)) {
        while (sim.canReadLine()) {
            const QString line = QString::fromLocal8Bit(sim.readLine()).trimmed();
            if (line.startsWith(QLatin1String("Listening on COM 1 (")))
                device = line.section(u'(', 1).chopped(1);
        }
    }
    if (device.isEmpty())
        qFatal("%s did not start on COM 1", DUVE_SIM);

    const Figures tool = measureTool(warmUp, reads);
    const Figures libmodbus = measureLibmodbus(device, warmUp, reads);
    const Figures qtSerialBus = measureQtSerialBus(device, warmUp, reads);
    sim.terminate();
    sim.waitForFinished();

    std::printf(
        "One duve-sim on COM 1 (%s, 38400 8N1), register %04X of device %02X read %d times by each "
        "client after %d warm-up reads; window on \"%s\"\n",
        qPrintable(device), registerV1, deviceId, reads, warmUp,
        qPrintable(QGuiApplication::platformName()));
    std::printf("%-38s %10s %10s %10s\n", "client", "median", "99th pct", "CPU/read");
    const auto row = [](const char *client, const Figures &f) {
        std::printf("%-38s %7.3f ms %7.3f ms %7.3f ms\n", client, f.median / 1000, f.p99 / 1000,
                    f.cpuPerRead / 1000);
    };
    row("the tool (V1 pressed to value painted)", tool);
    row("libmodbus modbus_read_registers", libmodbus);
    row("Qt Serial Bus QModbusRtuSerialClient", qtSerialBus);
    std::printf("tool / libmodbus %.1f, tool / Qt Serial Bus %.2f (medians)\n",
                tool.median / libmodbus.median, tool.median / qtSerialBus.median);
    std::printf(
        "on a real line, request and answer (15 characters of 10 bits) take %.2f ms at 38400 baud and "
        "%.2f ms at 115200; the 3.5-character silence after each frame (1.75 ms above 19200 baud) "
        "is not counted\n",
        wireMillis(38400), wireMillis(115200));
    return 0;
}
