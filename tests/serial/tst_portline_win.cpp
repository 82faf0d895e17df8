#include "serial/portline_win.h"

#include <QTest>

#include <windows.h>

// What each settings text opens a Windows port with, whatever the driver had
// set before: the line, the driver's own parity replacement, and refusals.
class TestPortLineWin : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void portDcb_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("refusal"); // empty: opened
        QTest::addColumn<int>("byteSize");
        QTest::addColumn<int>("parity");
        QTest::addColumn<int>("stopBits");
        QTest::addColumn<bool>("sameXonXoff"); // the driver reports XON = XOFF = 0
        const QString none;
        // clang-format off
        QTest::newRow("defaults")       << "38400,n,8,1"    << none << 8 << NOPARITY    << ONESTOPBIT << false;
        QTest::newRow("even, 7, 2")     << "9600,E,7,2"     << none << 7 << EVENPARITY  << TWOSTOPBITS << false;
        QTest::newRow("odd, 6")         << "1200,o,6,1"     << none << 6 << ODDPARITY   << ONESTOPBIT << false;
        QTest::newRow("mark, 8, 2")     << "110,M,8,2"      << none << 8 << MARKPARITY  << TWOSTOPBITS << false;
        QTest::newRow("space, 5, 1.5")  << "256000,s,5,1.5" << none << 5 << SPACEPARITY << ONE5STOPBITS << false;
        QTest::newRow("5 data bits, 1") << "14400,n,5,1"    << none << 5 << NOPARITY    << ONESTOPBIT << false;
        QTest::newRow("5 data bits, 2 stop") << "9600,n,5,2" << "Stop \"2\" cannot be used on COM 3" << 0 << 0 << 0 << false;
        QTest::newRow("8 data bits, 1.5 stop") << "9600,e,8,1.5" << "Stop \"1.5\" cannot be used on COM 3" << 0 << 0 << 0 << false;
        QTest::newRow("4 data bits")    << "9600,n,4,1"     << "Length \"4\" cannot be used on COM 3" << 0 << 0 << 0 << false;
        QTest::newRow("usbser.sys: XON = XOFF = 0") << "38400,n,8,1" << none << 8 << NOPARITY << ONESTOPBIT << true;
        // clang-format on
    }

    void portDcb()
    {
        QFETCH(QString, text);
        QFETCH(QString, refusal);
        const auto settings = serial::parseSettings(text);
        QVERIFY(settings);
        // A driver left with flow control, a null filter and abort-on-error.
        DCB before{};
        before.DCBlength = sizeof(DCB);
        before.BaudRate = CBR_1200;
        before.fOutxCtsFlow = before.fOutxDsrFlow = before.fDsrSensitivity = TRUE;
        before.fOutX = before.fInX = before.fNull = before.fAbortOnError = TRUE;
        before.fDtrControl = DTR_CONTROL_HANDSHAKE;
        before.fRtsControl = RTS_CONTROL_HANDSHAKE;
        before.ErrorChar = '\0';
        QFETCH(bool, sameXonXoff);
        before.XonChar = sameXonXoff ? 0 : 0x11;
        before.XoffChar = sameXonXoff ? 0 : 0x13;
        QString problem;
        const auto dcb = serial::portDcb(before, *settings, u"COM 3 (\\Device\\Serial2)", &problem);
        if (!refusal.isEmpty()) {
            QVERIFY(!dcb);
            QVERIFY2(problem.startsWith(refusal), qPrintable(problem));
            return;
        }
        QVERIFY(dcb);
        QCOMPARE(dcb->BaudRate, DWORD(settings->baud));
        QTEST(int(dcb->ByteSize), "byteSize");
        QTEST(int(dcb->Parity), "parity");
        QTEST(int(dcb->StopBits), "stopBits");
        // With parity the driver replaces a byte received in error by "?".
        const bool parity = dcb->Parity != NOPARITY;
        QCOMPARE(bool(dcb->fParity), parity);
        QCOMPARE(bool(dcb->fErrorChar), parity);
        QCOMPARE(dcb->ErrorChar, '?');
        // Raw bytes, no flow control of any kind, DTR on and RTS off.
        QVERIFY(dcb->fBinary);
        QVERIFY(!dcb->fOutxCtsFlow && !dcb->fOutxDsrFlow && !dcb->fDsrSensitivity);
        QVERIFY(!dcb->fOutX && !dcb->fInX && !dcb->fNull && !dcb->fAbortOnError);
        QCOMPARE(DWORD(dcb->fDtrControl), DWORD(DTR_CONTROL_ENABLE));
        QCOMPARE(DWORD(dcb->fRtsControl), DWORD(RTS_CONTROL_DISABLE));
        // SetCommState refuses XON = XOFF, whatever the flow control.
        QCOMPARE(dcb->XonChar, '\x11');
        QCOMPARE(dcb->XoffChar, '\x13');
    }
};

QTEST_MAIN(TestPortLineWin)
#include "tst_portline_win.moc"
