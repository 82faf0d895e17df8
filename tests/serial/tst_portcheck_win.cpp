#include "serial/portcheck_win.h"
#include "serial/portio_win.h"
#include "serial/portnames.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <windows.h>

// What the scan, the open, the read and the write make of Windows' error
// codes and port names.
class TestPortCheckWin : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void errorCodes_data()
    {
        QTest::addColumn<long>("code");
        QTest::addColumn<QString>("io");   // what a read or a write failing so is
        QTest::addColumn<QString>("open"); // CreateFile's refusal starts so
        QTest::addColumn<QString>("line"); // SetCommState's refusal starts so
        const QString lost = "lost", ask = "lost unless the device answers", failed = "failed",
                      timedOut = "timed out";
        const QString missing = "does not exist", inUse = "is in use by another program",
                      cannot = "cannot be opened: ";
        // clang-format off
        QTest::newRow("unplugged: bad command") << ERROR_BAD_COMMAND    << lost << cannot << cannot;
        QTest::newRow("device removed")         << ERROR_DEVICE_REMOVED << lost << cannot << cannot;
        QTest::newRow("Wine: other end closed") << ERROR_BROKEN_PIPE    << lost << cannot << cannot;
        QTest::newRow("no such port")           << ERROR_FILE_NOT_FOUND << lost << missing << cannot;
        QTest::newRow("no such path")           << ERROR_PATH_NOT_FOUND << lost << missing << cannot;
        QTest::newRow("no such device")         << ERROR_DEV_NOT_EXIST  << lost << missing << cannot;
        QTest::newRow("an invalid name")        << ERROR_INVALID_NAME   << failed << missing << cannot;
        QTest::newRow("a driver in trouble")    << ERROR_GEN_FAILURE    << ask << cannot << cannot;
        QTest::newRow("a device error")         << ERROR_IO_DEVICE      << ask << cannot << cannot;
        QTest::newRow("access denied")          << ERROR_ACCESS_DENIED  << lost << inUse << cannot;
        QTest::newRow("sharing violation")  << ERROR_SHARING_VIOLATION << failed << inUse << cannot;
        QTest::newRow("Bluetooth device out of reach") << ERROR_SEM_TIMEOUT << timedOut
            << "did not answer: its device is switched off or out of reach (" << cannot;
        QTest::newRow("a serial time-out")    << ERROR_COUNTER_TIMEOUT << timedOut << cannot << cannot;
        QTest::newRow("not a serial device") << ERROR_INVALID_FUNCTION << failed << cannot << cannot;
        QTest::newRow("settings refused")   << ERROR_INVALID_PARAMETER << failed << cannot
            << "does not take the line settings 38400,n,8,1: ";
        // clang-format on
    }

    void errorCodes()
    {
        QFETCH(long, code);
        QFETCH(QString, open);
        QFETCH(QString, line);
        const DWORD c = DWORD(code);
        QTEST(QString(serial::deviceGone(c)      ? "lost"
                      : serial::deviceTrouble(c) ? "lost unless the device answers"
                      : serial::writeTimedOut(c) ? "timed out"
                                                 : "failed"),
              "io");
        const QString system = serial::systemText(c);
        const std::pair<QString, QString> refusals[]
            = {{serial::openRefusal(c), open}, {serial::lineRefusal(c, "38400,n,8,1"), line}};
        for (const auto &[refusal, start] : refusals) {
            QVERIFY2(refusal.startsWith(start), qPrintable(refusal));
            // Where the words are not the tool's own, they are the system's.
            if (start.endsWith(' ') || start.endsWith('('))
                QVERIFY2(refusal.contains(system), qPrintable(refusal));
        }
        // Settings that cannot be read, on a port just opened: no serial device.
        QCOMPARE(serial::stateRefusal(c),
                 "is not a serial device: its line settings cannot be read (" + system + ')');
    }

    // What a write that timed out says: how much the port took and, on a
    // Bluetooth port, why that may be.
    void timedOutWrite()
    {
        QCOMPARE(
            serial::timedOutWrite("COM 3 (\\Device\\USBSER000)", 3, 8, false),
            "writing to COM 3 (\\Device\\USBSER000) timed out: the port took 3 of 8 bytes in time");
        QVERIFY(serial::timedOutWrite("COM 5", 0, 8, true)
                    .endsWith("took 0 of 8 bytes in time; its Bluetooth device may be switched off "
                              "or out of reach"));
    }

    // A close whose read its driver does not end, as some USB and Bluetooth
    // drivers do once their device is gone: the close does not hang, and the
    // next Connect or scan that finds the port held says whose request holds
    // it, until the driver ends it at last.
    void closeAndReconnect()
    {
        const QString path = "\\\\.\\COM4";
        const HANDLE handle = ::CreateFileW(L"NUL", GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                            FILE_FLAG_OVERLAPPED, nullptr);
        QVERIFY(handle != INVALID_HANDLE_VALUE);
        auto requests = std::make_unique<serial::Requests>();
        OVERLAPPED &read = requests->reading;
        read.Internal = STATUS_PENDING; // as the driver holds it: under way
        const HANDLE ends = read.hEvent;
        QElapsedTimer closing;
        closing.start();
        serial::closePort(handle, path, std::move(requests), true, false);
        QVERIFY(closing.elapsed() < serial::CloseWaitMs + serial::LastChanceMs + 1000);
        QVERIFY(serial::heldByLeftover(path.toLower()));
        QVERIFY(!serial::heldByLeftover("\\\\.\\COM5"));
        QVERIFY(serial::openRefusal(ERROR_ACCESS_DENIED, true)
                    .startsWith("is still held by a request its driver never ended after the last "
                                "connection: unplug the adapter and plug it in again to free it"));

        read.Internal = 0; // the driver ends it at last
        ::SetEvent(ends);
        QVERIFY(!serial::heldByLeftover(path));
    }

    // A driver that leaves the read pending when its device is unplugged: the
    // watch's status call tells within a second, once, and costs next to nothing.
    void idleUnplug()
    {
        DWORD answer = 0;
        int asked = 0;
        serial::DeviceWatch watch;
        QSignalSpy gone(&watch, &serial::DeviceWatch::gone);
        QVERIFY(watch.start([&] { return ++asked, answer; }));
        QTest::qWait(2200);
        QVERIFY2(asked >= 2 && asked <= 4, qPrintable(QString::number(asked)));
        QVERIFY(watch.deviceThere() && gone.isEmpty());

        answer = ERROR_BAD_COMMAND;
        QElapsedTimer noticed;
        noticed.start();
        QTRY_COMPARE(gone.count(), 1);
        QVERIFY(noticed.elapsed() < 1300);
        QCOMPARE(gone[0][0].value<DWORD>(), DWORD(ERROR_BAD_COMMAND));
        const int before = asked;
        QTest::qWait(2200);
        QCOMPARE(gone.count(), 1);
        QCOMPARE(asked, before);

        // A driver that never answers the call (Wine's pseudo-terminals): no watch.
        QVERIFY(!watch.start([] { return DWORD(ERROR_NOT_SUPPORTED); }));
    }

    // The system's list as SERIALCOMM gives it: COM1 to COM9 are offered, the
    // others named with the fix; a Bluetooth port is known by its device.
    void portNames_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("device");
        QTest::addColumn<int>("number"); // 0: none
        QTest::addColumn<QString>("advice");
        QTest::addColumn<bool>("bluetooth");
        const QString above = "is numbered above 9: give it a number from 1 to 9 in Device "
                              "Manager, Ports (COM & LPT), the port's Properties, Port Settings, "
                              "Advanced, COM Port Number";
        const QString none = "has no number from 1 to 9: give it one in Device Manager";
        // clang-format off
        QTest::newRow("on-board COM1") << "COM1"  << "\\Device\\Serial0"    << 1 << "" << false;
        QTest::newRow("COM9, any case") << "com9" << "\\Device\\VCP0"       << 9 << "" << false;
        QTest::newRow("a Bluetooth port") << "COM5" << "\\Device\\BthModem0" << 5 << "" << true;
        QTest::newRow("any case")    << "COM6"  << "\\DEVICE\\BTHMODEM12"  << 6 << "" << true;
        QTest::newRow("a USB adapter's COM12") << "COM12" << "\\Device\\USBSER000" << 0 << above << false;
        QTest::newRow("COM10")       << "COM10" << "\\Device\\VCP1"        << 0 << above << false;
        QTest::newRow("COM0")        << "COM0"  << "\\Device\\Serial9"     << 0 << none << false;
        QTest::newRow("another driver's name") << "CNCA0" << "\\Device\\com0com10" << 0 << none << false;
        // clang-format on
    }

    void portNames()
    {
        QFETCH(QString, port);
        QFETCH(int, number);
        QFETCH(QString, advice);
        QStringList unnumbered;
        const QString path = "\\\\.\\" + port;
        const serial::PortMap map = serial::assignPortNumbers({}, {path}, &unnumbered);
        QCOMPARE(map.value(number), number ? path : QString());
        QCOMPARE(unnumbered, number ? QStringList() : QStringList({path}));
        if (!number)
            QVERIFY2(serial::numberAdvice(port).startsWith(advice),
                     qPrintable(serial::numberAdvice(port)));
        QFETCH(QString, device);
        QTEST(serial::bluetoothDevice(device), "bluetooth");
    }
};

QTEST_MAIN(TestPortCheckWin)
#include "tst_portcheck_win.moc"
