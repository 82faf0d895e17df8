#include "serial/mscomm.h"
#include "tests/support/rig.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

// Sets a box or picks a list item by its object name: "Text14=F7", "Combo1=115200".
void apply(Form1 &form, const QStringList &edits)
{
    for (const QString &edit : edits) {
        const QString name = edit.section('=', 0, 0), value = edit.section('=', 1);
        if (auto *box = form.findChild<QLineEdit *>(name); box && !name.startsWith("Combo"))
            box->setText(value);
        else if (auto *list = form.findChild<QComboBox *>(name)) {
            const int index = list->findText(value);
            if (index >= 0)
                list->setCurrentIndex(index);
            else { // typed by the operator: selects nothing
                list->lineEdit()->selectAll();
                QTest::keyClicks(list->lineEdit(), value);
            }
        }
    }
}

} // namespace

class TestWrites : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void request_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("edits");
        QTest::addColumn<QString>("text23");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("pending");  // from 5 before the click
        QTest::addColumn<QString>("note"); // above the send line: what was sent, where in doubt
        const auto hex = [](const char *h) { return QByteArray::fromHex(h); };
        QTest::newRow("baud, start-up values")
            << "Command5" << QStringList() << "0106" << hex("0106000001060858") << 8 << QString();
        QTest::newRow("baud, F7 at 115200")
            << "Command5" << QStringList{"Text14=F7", "Combo1=115200"} << "F707"
            << hex("01060000F7078E38") << 8 << QString();
        QTest::newRow("baud, to device 2") << "Command5" << QStringList{"Text8=02"} << "0106"
                                           << hex("020600000106086B") << 8 << QString();
        QTest::newRow("configure, start-up values")
            << "Command8" << QStringList() << "0600" << hex("010600010600DBAA") << 9 << QString();
        QTest::newRow("configure, e 2") << "Command8" << QStringList{"Combo7=e", "Combo8=2"}
                                        << "2E00" << hex("010600012E00C5AA") << 9 << QString();
        QTest::newRow("configure, o 1") << "Command8" << QStringList{"Combo7=o"} << "3600"
                                        << hex("010600013600CFAA") << 9 << QString();
        QTest::newRow("VO1 0") << "Command9" << QStringList() << "0000" << hex("010600140000C9CE")
                               << 5 << QString();
        QTest::newRow("VO2 0") << "Command10" << QStringList() << "0000" << hex("01060018000009CD")
                               << 5 << QString();
        QTest::newRow("VO1 1500") << "Command9" << QStringList{"Text3=1500"} << "05DC"
                                  << hex("0106001405DCCB07") << 5 << QString();
        QTest::newRow("VO2 10000") << "Command10" << QStringList{"Text4=10000"} << "2710"
                                   << hex("01060018271013F1") << 5 << QString();
        QTest::newRow("VO2 12000")
            << "Command10" << QStringList{"Text4=12000"} << "2EE0" << hex("010600182EE015E5") << 5
            << "VO2 set to 12000 mV, above the 10000 mV the module takes: check the value";
        QTest::newRow("VO1 65535")
            << "Command9" << QStringList{"Text3=65535"} << "FFFF" << hex("01060014FFFFC87E") << 5
            << "VO1 set to 65535 mV, above the 10000 mV the module takes: check the value";
        QTest::newRow("VO1 1.5, volts for millivolts")
            << "Command9" << QStringList{"Text3=1.5"} << "0002" << hex("010600140002480F") << 5
            << "VO1 set to 2 mV: the box takes millivolts, 1500 means 1.5 V";
    }

    void request()
    {
        QFETCH(QString, button);
        QFETCH(QStringList, edits);
        QFETCH(QString, text23);
        QFETCH(QByteArray, bytes);
        QFETCH(int, pending);
        Rig rig;
        apply(rig.form, edits);
        auto *click = rig.form.findChild<QPushButton *>(button);
        rig.form.PendingRequest = 5;

        click->click(); // closed: nothing changes at all
        QCOMPARE(rig.form.Text23->text(), "00000");
        QCOMPARE(rig.form.PendingRequest, 5);
        QCOMPARE(rig.form.Text1->toPlainText(), "");

        QVERIFY(rig.connect());
        rig.form.Command7_Click(); // Auto Scan runs
        rig.form.PendingRequest = 5;
        click->click();
        QVERIFY(!rig.form.Timer1->isActive());
        QCOMPARE(rig.form.Command7->text(), "Autoscan");
        QCOMPARE(rig.form.Text10->text(), QString::fromLatin1(bytes.mid(2, 2).toHex()));
        QCOMPARE(rig.form.Text23->text(), text23);
        QCOMPARE(rig.form.Text13->text(), QString::fromLatin1(bytes.right(2).toHex().toUpper()));
        QCOMPARE(rig.form.PendingRequest, pending);
        QVERIFY(rig.peer.waitForFrames(1));
        QCOMPARE(rig.peer.received().toHex(' '), bytes.toHex(' '));
        // "Setup Configure" alone empties the log first.
        QFETCH(QString, note);
        QStringList lines = logLines(rig.form);
        if (!note.isEmpty())
            QCOMPARE(lines.takeFirst().mid(20), note);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[1].endsWith(" Connected"), button != "Command8");
        QVERIFY(lines[0].endsWith(" send  " + bytes.toHex(' ').toUpper()));
    }

    void refused_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("edits");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<bool>("scanStopped"); // the steps before the value happened
        QTest::newRow("new ID one digit")
            << "Command5" << QStringList{"Text14=1"}
            << "New device ID \"1\" must be two hexadecimal digits from 01 to F7" << false;
        QTest::newRow("new ID F8")
            << "Command5" << QStringList{"Text14=F8"} << "New device ID \"F8\"" << false;
        QTest::newRow("device ID for baud")
            << "Command5" << QStringList{"Text8=100"} << "Device ID \"100\"" << false;
        QTest::newRow("baud typed") << "Command5" << QStringList{"Combo1=12345"}
                                    << "Baudrate \"12345\" is not an item of the list" << false;
        QTest::newRow("parity typed")
            << "Command8" << QStringList{"Combo7=x"} << "Parity \"x\" is not an item" << false;
        QTest::newRow("stop typed")
            << "Command8" << QStringList{"Combo8=1.5"} << "Stop \"1.5\" is not an item" << false;
        QTest::newRow("VO1 not a number") << "Command9" << QStringList{"Text3=abc"}
                                          << "VO1 \"abc\" must be a number from 0 to 65535" << true;
        QTest::newRow("VO2 too big")
            << "Command10" << QStringList{"Text4=65536"} << "VO2 \"65536\"" << true;
        QTest::newRow("VO1 device ID")
            << "Command9" << QStringList{"Text8=0"} << "Device ID \"0\"" << false;
    }

    void refused()
    {
        QFETCH(QString, button);
        QFETCH(QStringList, edits);
        QFETCH(QString, reason);
        QFETCH(bool, scanStopped);
        Rig rig;
        QVERIFY(rig.connect());
        rig.form.Command7_Click();
        apply(rig.form, edits);
        rig.form.findChild<QPushButton *>(button)->click();
        const QStringList lines = logLines(rig.form);
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines[0].contains(reason), qPrintable(lines[0]));
        QCOMPARE(rig.form.Timer1->isActive(), !scanStopped);
        QCOMPARE(rig.form.Text23->text(), "00000");
        QTest::qWait(50);
        QCOMPARE(rig.peer.received(), QByteArray());
    }
};

QTEST_MAIN(TestWrites)
#include "tst_writes.moc"
