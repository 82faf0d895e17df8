#include "serial/portcheck_win.h"
#include "serial/portnames.h"

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
        QTest::addColumn<bool>("gone");
        QTest::addColumn<QString>("open"); // CreateFile's refusal starts so
        const QString missing = "does not exist", inUse = "is in use by another program";
        // clang-format off
        QTest::newRow("unplugged: bad command") << ERROR_BAD_COMMAND    << true << missing;
        QTest::newRow("unplugged: gen failure") << ERROR_GEN_FAILURE    << true << missing;
        QTest::newRow("device removed")         << ERROR_DEVICE_REMOVED << true << missing;
        QTest::newRow("Wine: other end closed") << ERROR_BROKEN_PIPE    << true << missing;
        QTest::newRow("no such port")           << ERROR_FILE_NOT_FOUND << true << missing;
        QTest::newRow("access denied")          << ERROR_ACCESS_DENIED  << true << inUse;
        QTest::newRow("sharing violation")  << ERROR_SHARING_VIOLATION << false << inUse;
        QTest::newRow("Bluetooth device out of reach") << ERROR_SEM_TIMEOUT << false
            << "did not answer: its device is switched off or out of reach (";
        QTest::newRow("not a serial device") << ERROR_INVALID_FUNCTION << false << "cannot be opened: ";
        // clang-format on
    }

    void errorCodes()
    {
        QFETCH(long, code);
        QFETCH(QString, open);
        QTEST(serial::deviceGone(DWORD(code)), "gone");
        const QString openRefusal = serial::openRefusal(DWORD(code));
        QVERIFY2(openRefusal.startsWith(open), qPrintable(openRefusal));
        // Where the words are not the tool's own, they are the system's.
        const QString system = serial::systemText(DWORD(code));
        if (open.endsWith(' ') || open.endsWith('('))
            QVERIFY(openRefusal.contains(system));
        // Settings that cannot be read, on a port just opened: no serial device.
        QCOMPARE(serial::stateRefusal(DWORD(code)),
                 "is not a serial device: its line settings cannot be read (" + system + ')');
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
