// The tool against an independent Modbus implementation: a libmodbus RTU
// slave on a second pseudo-terminal, bridged to the tool's.
#include "serial/mscomm.h"
#include "sim/model.h"
#include "tests/support/rig.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTest>

#include <atomic>
#include <thread>

#include <modbus.h>
#include <unistd.h>

namespace {

// Copies bytes both ways between two pseudo-terminals' master sides, like a
// null-modem cable between two programs that each open a device path.
class Bridge
{
public:
    Bridge(int a, int b)
        : toB(a, QSocketNotifier::Read)
        , toA(b, QSocketNotifier::Read)
    {
        QObject::connect(&toB, &QSocketNotifier::activated, [a, b] { copy(a, b); });
        QObject::connect(&toA, &QSocketNotifier::activated, [a, b] { copy(b, a); });
    }

private:
    static void copy(int from, int to)
    {
        char buffer[512];
        const ssize_t n = ::read(from, buffer, sizeof buffer);
        if (n > 0 && ::write(to, buffer, n) != n)
            qWarning("bridge lost bytes");
    }
    QSocketNotifier toB, toA;
};

// A libmodbus RTU slave with ID 1 answering from its own thread.
class Slave
{
public:
    explicit Slave(const QString &device)
    {
        ctx = modbus_new_rtu(device.toLocal8Bit().constData(), 38400, 'N', 8, 1);
        map = modbus_mapping_new(0, 0, 0x20, 0);
        modbus_set_slave(ctx, 1);
        // Wake up now and then to see whether the test is over.
        modbus_set_indication_timeout(ctx, 0, 100000);
        ok = ctx && map && modbus_connect(ctx) == 0;
        if (ok)
            worker = std::thread([this] { serve(); });
    }
    ~Slave()
    {
        stop = true;
        if (worker.joinable())
            worker.join();
        modbus_mapping_free(map);
        if (ctx) {
            modbus_close(ctx);
            modbus_free(ctx);
        }
    }
    bool ok = false;
    modbus_mapping_t *map = nullptr;

private:
    void serve()
    {
        uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
        while (!stop) {
            // A failed receive (time-out, bad CRC) must not end the loop.
            const int n = modbus_receive(ctx, query);
            if (n > 0)
                modbus_reply(ctx, query, n, map);
        }
    }
    modbus_t *ctx = nullptr;
    std::atomic<bool> stop = false;
    std::thread worker;
};

} // namespace

class TestLibmodbus : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsAndWritesAgainstLibmodbus()
    {
        PortFolder folder;
        PtyPair tool, other;
        QVERIFY(folder.link(1, tool.slavePath()));
        Bridge bridge(tool.master(), other.master());
        Slave slave(other.slavePath());
        QVERIFY(slave.ok);
        // Values worth telling apart, round the channels in the simulator's order (the window's).
        const int values[] = {1500, 0, 7, 10000, 65535, 250, 4321, 20000};
        const char *texts[] = {"1.5", "0", "0.007", "10", "65.535", "0.25", "4.321", "20"};
        const auto raw = [&](int k) { return values[k % std::size(values)]; };
        const auto shown = [&](int k) { return QString::fromLatin1(texts[k % std::size(texts)]); };
        for (int k = 0; k < sim::ChannelCount; ++k)
            slave.map->tab_registers[sim::inputRegister(k)] = static_cast<uint16_t>(raw(k));

        Form1 form(noSystemPorts);
        form.Form_Load();
        QLocale::setDefault(QLocale::c());
        form.Command1_Click();
        QVERIFY(form.MSComm1->PortOpen());
        for (int k = 0; k < sim::ChannelCount; ++k) {
            channelButtons(form)[k]->click();
            QTRY_COMPARE(channelBoxes(form)[k]->text(), shown(k));
            QCOMPARE(form.Text23->text(), QString::number(raw(k)));
        }

        // A write is taken by libmodbus and echoed.
        form.Text3->setText("1500");
        form.Command9->click();
        QTRY_VERIFY(logLines(form).first().endsWith(" receive  01 06 00 14 05 DC CB 07"));
        QCOMPARE(slave.map->tab_registers[0x14], 1500); // stored before the echo went out
        QLocale::setDefault(QLocale::system());
    }
};

QTEST_MAIN(TestLibmodbus)
#include "tst_libmodbus.moc"
