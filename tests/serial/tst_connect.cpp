#include "serial/mscomm.h"
#include "serial/parity.h"
#include "serial/portline_unix.h"
#include "tests/support/rig.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

namespace {

bool isStatusLine(const QString &line, const char *word)
{
    static const QRegularExpression stamp(
        QStringLiteral("^\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d "));
    return stamp.match(line).hasMatch() && line.endsWith(QLatin1String(word))
           && line.size() == 19 + qsizetype(qstrlen(word));
}

} // namespace

class TestConnect : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // What a port is opened with for each settings text: Linux carries 5 to 8
    // data bits, every parity (mark and space too), and 1.5 stop bits only as
    // its 2-stop setting after 5 data bits.
    void portLine_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("pty");
        QTest::addColumn<QString>("refusal"); // empty: opened
        QTest::addColumn<int>("dataBits");
        QTest::addColumn<int>("parity");
        QTest::addColumn<int>("stopBits");
        QTest::addColumn<bool>("marked");
        using P = QSerialPort;
        const QString none;
        QTest::newRow("defaults") << "38400,n,8,1" << false << none << 8 << int(P::NoParity)
                                  << int(P::OneStop) << false;
        QTest::newRow("N") << "9600,N,7,2" << false << none << 7 << int(P::NoParity)
                           << int(P::TwoStop) << false;
        QTest::newRow("e") << "9600,e,8,1" << false << none << 8 << int(P::EvenParity)
                           << int(P::OneStop) << true;
        QTest::newRow("E") << "9600,E,7,2" << false << none << 7 << int(P::EvenParity)
                           << int(P::TwoStop) << true;
        QTest::newRow("o") << "9600,o,6,1" << false << none << 6 << int(P::OddParity)
                           << int(P::OneStop) << true;
        QTest::newRow("O") << "9600,O,8,2" << false << none << 8 << int(P::OddParity)
                           << int(P::TwoStop) << true;
        QTest::newRow("m") << "9600,m,8,1" << false << none << 8 << int(P::MarkParity)
                           << int(P::OneStop) << true;
        QTest::newRow("M") << "9600,M,6,2" << false << none << 6 << int(P::MarkParity)
                           << int(P::TwoStop) << true;
        QTest::newRow("s") << "9600,s,7,1" << false << none << 7 << int(P::SpaceParity)
                           << int(P::OneStop) << true;
        QTest::newRow("S") << "9600,S,5,1" << false << none << 5 << int(P::SpaceParity)
                           << int(P::OneStop) << true;
        QTest::newRow("5 data bits, 1.5 stop")
            << "9600,n,5,1.5" << false << none << 5 << int(P::NoParity) << int(P::TwoStop) << false;
        QTest::newRow("8 data bits, 1.5 stop")
            << "9600,n,8,1.5" << false << "Stop \"1.5\" cannot be used on COM 3" << 0 << 0 << 0
            << false;
        QTest::newRow("6 data bits, 1.5 stop")
            << "9600,E,6,1.5" << false << "Stop \"1.5\" cannot be used" << 0 << 0 << 0 << false;
        QTest::newRow("5 data bits, 2 stop")
            << "9600,n,5,2" << false << "Stop \"2\" cannot be used on COM 3" << 0 << 0 << 0
            << false;
        QTest::newRow("4 data bits")
            << "9600,n,4,1" << false << "Length \"4\" cannot be used on COM 3" << 0 << 0 << 0
            << false;
        QTest::newRow("4 data bits as typed")
            << "9600,o,04,1.5" << false << "Length \"04\" cannot be used" << 0 << 0 << 0 << false;
        QTest::newRow("pty: parity, 7 bits, 1.5 stop")
            << "9600,e,7,1.5" << true << none << 8 << int(P::NoParity) << int(P::OneStop) << false;
        QTest::newRow("pty: mark, 5 bits, 2 stop")
            << "9600,M,5,2" << true << none << 8 << int(P::NoParity) << int(P::TwoStop) << false;
        QTest::newRow("pty: 4 data bits")
            << "9600,n,4,1" << true << none << 8 << int(P::NoParity) << int(P::OneStop) << false;
    }

    void portLine()
    {
        QFETCH(QString, text);
        QFETCH(bool, pty);
        QFETCH(QString, refusal);
        const auto settings = serial::parseSettings(text);
        QVERIFY(settings);
        QString problem;
        const auto line = serial::portLine(*settings, pty, u"COM 3 (/dev/ttyUSB0)", &problem);
        if (!refusal.isEmpty()) {
            QVERIFY(!line);
            QVERIFY2(problem.startsWith(refusal), qPrintable(problem));
            return;
        }
        QVERIFY(line);
        QTEST(int(line->dataBits), "dataBits");
        QTEST(int(line->parity), "parity");
        QTEST(int(line->stopBits), "stopBits");
        QTEST(line->markErrors, "marked");
    }

    // Reads as the driver hands them over with marking on, and what each adds.
    void unmarkErrors_data()
    {
        QTest::addColumn<QByteArrayList>("reads");
        QTest::addColumn<QByteArrayList>("bytes");
        const auto hex = [](const char *text) { return QByteArray::fromHex(text); };
        QTest::newRow("plain") << QByteArrayList{hex("010302")} << QByteArrayList{hex("010302")};
        QTest::newRow("byte in error")
            << QByteArrayList{hex("41FF004243")} << QByteArrayList{hex("413F43")};
        QTest::newRow("good FF") << QByteArrayList{hex("FFFF01FFFF")}
                                 << QByteArrayList{hex("FF01FF")};
        QTest::newRow("FF in error") << QByteArrayList{hex("FF00FF")} << QByteArrayList{hex("3F")};
        QTest::newRow("00 in error or a break")
            << QByteArrayList{hex("01FF000002")} << QByteArrayList{hex("013F02")};
        QTest::newRow("marks in a row")
            << QByteArrayList{hex("FF0001FF0002")} << QByteArrayList{hex("3F3F")};
        QTest::newRow("cut after FF")
            << QByteArrayList{hex("41FF"), hex("004243")} << QByteArrayList{hex("41"), hex("3F43")};
        QTest::newRow("cut after FF 00")
            << QByteArrayList{hex("41FF00"), hex("42")} << QByteArrayList{hex("41"), hex("3F")};
        QTest::newRow("good FF cut")
            << QByteArrayList{hex("FF"), hex("FF")} << QByteArrayList{hex(""), hex("FF")};
        QTest::newRow("mark in three reads") << QByteArrayList{hex("FF"), hex("00"), hex("0701")}
                                             << QByteArrayList{hex(""), hex(""), hex("3F01")};
        QTest::newRow("FF before another byte, no mark")
            << QByteArrayList{hex("FF41")} << QByteArrayList{hex("FF41")};
    }

    void unmarkErrors()
    {
        QFETCH(QByteArrayList, reads);
        QByteArrayList bytes;
        serial::MarkState state = serial::MarkState::Plain;
        int marks = 0; // each "?" here is a mark undone, and each is counted
        for (const QByteArray &read : reads) {
            int inError = -1;
            bytes << serial::unmarkErrors(read, state, &inError);
            marks += inError;
        }
        QTEST(bytes, "bytes");
        QCOMPARE(marks, bytes.join().count('?'));
        QCOMPARE(state, serial::MarkState::Plain);
    }

    void connectWithDefaults()
    {
        PortFolder folder;
        PtyPair com2, com5;
        Peer peer(com2);
        QVERIFY(folder.link(5, com5.slavePath()));
        QVERIFY(folder.link(2, com2.slavePath()));
        Form1 form(noSystemPorts);
        form.Form_Load();

        form.Command1->click();
        QVERIFY(form.MSComm1->PortOpen());
        QCOMPARE(form.MSComm1->CommPort(), 2);
        QCOMPARE(form.MSComm1->Settings(), "38400,n,8,1");
        QCOMPARE(form.Command1->text(), "Disconnect");
        const QStringList lines = logLines(form);
        QCOMPARE(lines.size(), 1);
        QVERIFY2(isStatusLine(lines[0], " Connected"), qPrintable(lines[0]));
        const auto line = peer.line();
        QVERIFY(line);
        QCOMPARE(line->baud, 38400);
        QCOMPARE(line->dataBits, 8);
        QCOMPARE(line->stopBits, 1);
        QVERIFY(peer.received().isEmpty()); // connecting sends nothing
    }

    void disconnect()
    {
        Rig rig;
        QVERIFY(rig.connect());
        rig.form.Timer1->start();
        rig.form.Command7->setText("Stop");
        rig.form.Command1->click();
        QVERIFY(!rig.form.MSComm1->PortOpen());
        QCOMPARE(rig.form.Command1->text(), "Connect");
        QCOMPARE(rig.form.Command7->text(), "Autoscan");
        QVERIFY(!rig.form.Timer1->isActive());
        const QStringList lines = logLines(rig.form);
        QCOMPARE(lines.size(), 1);
        QVERIFY2(isStatusLine(lines[0], " Disconnect"), qPrintable(lines[0]));

        // The stop bits the operator picks reach the line on the next connect.
        rig.form.Combo5->setCurrentIndex(rig.form.Combo5->findText("2"));
        QVERIFY(rig.connect());
        QCOMPARE(rig.peer.line()->stopBits, 2);
    }

    void failedConnect_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QString>("reason");
        // clang-format off
        QTest::newRow("no port selected") << "none" << "Port: no port is selected";
        QTest::newRow("baud rate refused") << "baud" << "Baudrate \"12345\" is not a standard rate";
        QTest::newRow("parity refused") << "parity" << "Parity \"q\"";
        QTest::newRow("real port, 1.5 stop bits") << "stop" << "Stop \"1.5\" cannot be used on COM 1 (";
        QTest::newRow("port gone") << "gone" << "COM 1 (";
        // clang-format on
    }

    void failedConnect()
    {
        QFETCH(QString, failure);
        QFETCH(QString, reason);
        Rig rig;
        if (failure == "none")
            rig.form.Combo9->setCurrentIndex(-1);
        else if (failure == "baud")
            rig.form.Combo2->setEditText("12345");
        else if (failure == "parity")
            rig.form.Combo4->setEditText("q");
        else if (failure == "stop") {
            // Not a pseudo-terminal, and refused before anything opens it.
            QFile device(rig.folder.path() + "/ttyREAL");
            QVERIFY(device.open(QIODevice::WriteOnly)
                    && QFile::remove(rig.folder.path() + "/COM1"));
            QVERIFY(rig.folder.link(1, device.fileName()));
            rig.form.Combo5->setEditText("1.5");
        } else if (failure == "gone")
            QVERIFY(QFile::remove(rig.folder.path() + "/COM1")
                    && rig.folder.link(1, "/dev/duve-gone"));

        rig.form.Command1->click();
        QVERIFY(!rig.form.MSComm1->PortOpen());
        QCOMPARE(rig.form.Command1->text(), "Connect");
        const QStringList lines = logLines(rig.form);
        QCOMPARE(lines.size(), 2); // one line and the end of its block
        QVERIFY2(lines[0].contains(reason), qPrintable(lines[0]));
        if (failure == "gone")
            QVERIFY2(lines[0].contains("does not exist"), qPrintable(lines[0]));
    }

    // A port whose open may block opens off the window's thread: Connect
    // waits, disabled, the log says what for, and the result ends the Connect
    // as any other, in the same order.
    void connectThatWaits_data()
    {
        QTest::addColumn<bool>("gone");
        QTest::newRow("opens") << false;
        QTest::newRow("does not open") << true;
    }

    void connectThatWaits()
    {
        QFETCH(bool, gone);
        Rig rig;
        if (gone)
            QVERIFY(QFile::remove(rig.folder.path() + "/COM1")
                    && rig.folder.link(1, "/dev/duve-gone"));
        rig.form.OpenWait = [](const QString &) { return QStringLiteral("takes its time"); };
        rig.form.Command1->click();
        QVERIFY(!rig.form.MSComm1->PortOpen());
        QCOMPARE(rig.form.Command1->text(), "Disconnect");
        QVERIFY(!rig.form.Command1->isEnabled());
        QVERIFY2(logLines(rig.form)[0].endsWith(" COM 1 takes its time"),
                 qPrintable(logLines(rig.form)[0]));

        QTRY_VERIFY(rig.form.Command1->isEnabled());
        QCOMPARE(rig.form.MSComm1->PortOpen(), !gone);
        QCOMPARE(rig.form.Command1->text(), gone ? "Connect" : "Disconnect");
        const QStringList lines = logLines(rig.form);
        if (gone) // the reason on top of the wait
            QVERIFY2(lines.size() == 3 && lines[0].contains("does not exist"),
                     qPrintable(lines[0]));
        else
            QVERIFY2(lines.size() == 1 && isStatusLine(lines[0], " Connected"),
                     qPrintable(lines[0]));
    }

    void refusedSettingsStillDisconnect()
    {
        Rig rig;
        QVERIFY(rig.connect());
        rig.form.Combo2->setEditText("fast");
        rig.form.Command1->click();
        QVERIFY(!rig.form.MSComm1->PortOpen());
        QCOMPARE(rig.form.Command1->text(), "Connect");
        QVERIFY(isStatusLine(logLines(rig.form).first(), " Disconnect"));
    }
};

QTEST_MAIN(TestConnect)
#include "tst_connect.moc"
