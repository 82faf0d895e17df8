#include "serial/mscomm.h"
#include "serial/portnames.h"
#include "tests/support/holder.h"
#include "tests/support/rig.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QSerialPort>
#include <QTemporaryFile>
#include <QTest>

#include <sys/inotify.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Why a device is not available, or "" when it is.
QString whyNot(const QString &path)
{
    QString why;
    return serial::deviceAvailable(path, &why) ? QString() : why;
}

// Counts the opens of files as the kernel sees them (inotify), by anyone. The
// closes are watched too, for inotify makes one event of two alike in a row.
struct OpenCounter
{
    explicit OpenCounter(const QStringList &paths)
    {
        for (const QString &path : paths)
            watches << inotify_add_watch(fd, QFile::encodeName(path).constData(),
                                         IN_OPEN | IN_CLOSE);
    }
    ~OpenCounter() { ::close(fd); }
    // The opens of each file since the last call, in the order given.
    QList<int> opens()
    {
        QList<int> count(watches.size());
        alignas(inotify_event) char buffer[4096];
        for (ssize_t size; (size = ::read(fd, buffer, sizeof buffer)) > 0;)
            for (ssize_t at = 0; at < size;) {
                const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
                count[watches.indexOf(event->wd)] += (event->mask & IN_OPEN) != 0;
                at += ssize_t(sizeof(inotify_event)) + event->len;
            }
        return count;
    }

    int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    QList<int> watches;
};

} // namespace

class TestPortNames : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void portNumbers_data()
    {
        QTest::addColumn<QStringList>("links"); // "n=target"
        QTest::addColumn<QStringList>("system");
        QTest::addColumn<QStringList>("expected"); // "n=path" in port order
        QTest::addColumn<QStringList>("unnumbered");
        QTest::newRow("nothing") << QStringList() << QStringList() << QStringList()
                                 << QStringList();
        QTest::newRow("on-board first, by number")
            << QStringList()
            << QStringList({"/dev/ttyUSB0", "/dev/ttyS10", "/dev/ttyS2", "/dev/ttyACM0"})
            << QStringList({"1=/dev/ttyS2", "2=/dev/ttyS10", "3=/dev/ttyACM0", "4=/dev/ttyUSB0"})
            << QStringList();
        QTest::newRow("natural order of the others")
            << QStringList() << QStringList({"/dev/ttyUSB10", "/dev/ttyUSB9", "/dev/ttyUSB1"})
            << QStringList({"1=/dev/ttyUSB1", "2=/dev/ttyUSB9", "3=/dev/ttyUSB10"})
            << QStringList();
        QTest::newRow("links claim their numbers, system ports fill the gaps")
            << QStringList({"1=/dev/null", "3=/dev/zero"})
            << QStringList({"/dev/ttyS0", "/dev/ttyS1"})
            << QStringList({"1=@COM1", "2=/dev/ttyS0", "3=@COM3", "4=/dev/ttyS1"}) << QStringList();
        QTest::newRow("a dangling link still claims its number")
            << QStringList({"1=/dev/duve-missing"}) << QStringList({"/dev/ttyS0"})
            << QStringList({"1=@COM1", "2=/dev/ttyS0"}) << QStringList();
        QTest::newRow("a linked device is not listed twice")
            << QStringList({"4=/dev/null"}) << QStringList({"/dev/null", "/dev/ttyS0"})
            << QStringList({"1=/dev/ttyS0", "4=@COM4"}) << QStringList();
        QStringList many;
        for (int i = 0; i < 12; ++i)
            many << QStringLiteral("/dev/ttyS%1").arg(i);
        QTest::newRow("no numbers above 9")
            << QStringList({"9=/dev/null"}) << many
            << QStringList({"1=/dev/ttyS0", "2=/dev/ttyS1", "3=/dev/ttyS2", "4=/dev/ttyS3",
                            "5=/dev/ttyS4", "6=/dev/ttyS5", "7=/dev/ttyS6", "8=/dev/ttyS7",
                            "9=@COM9"})
            << QStringList({"/dev/ttyS8", "/dev/ttyS9", "/dev/ttyS10", "/dev/ttyS11"});
    }

    void portNumbers()
    {
        QFETCH(QStringList, links);
        QFETCH(QStringList, system);
        QFETCH(QStringList, expected);
        PortFolder folder;
        for (const QString &link : links)
            QVERIFY(folder.link(link.section('=', 0, 0).toInt(), link.section('=', 1)));
        QStringList unnumbered;
        const serial::PortMap map = serial::assignPortNumbers(folder.path(), system, &unnumbered);
        QTEST(unnumbered, "unnumbered");
        QStringList got;
        for (auto it = map.begin(); it != map.end(); ++it) {
            QString path = it.value();
            if (QFileInfo(path).dir() == QDir(folder.path()))
                path = "@" + QFileInfo(path).fileName();
            got << QStringLiteral("%1=%2").arg(it.key()).arg(path);
        }
        QCOMPARE(got, expected);
    }

    void availability()
    {
        PortFolder folder;
        PtyPair pty;
        QVERIFY(pty.isValid());
        QVERIFY(folder.link(1, pty.slavePath()));
        const QString link = QDir(folder.path()).filePath("COM1");

        QCOMPARE(whyNot(link), "");
        QCOMPARE(whyNot(pty.slavePath()), "");
        QCOMPARE(whyNot("/dev/duve-no-such-device"), "does not exist");
        QCOMPARE(whyNot(QDir(folder.path()).filePath("COM8")), "does not exist"); // no link at all
        QCOMPARE(whyNot("/dev/null"), "is not a serial device");

        {
            Holder other("flock", pty.slavePath());
            QVERIFY(other.held);
            QCOMPARE(whyNot(link), "is in use by another program");
        }
        QCOMPARE(whyNot(link), "");
        {
            // Qt's lock is named after the device, so the link must resolve.
            Holder other("qt", pty.slavePath());
            QVERIFY(other.held);
            QVERIFY(!serial::heldQtLockFile(pty.slavePath()).isEmpty());
            QCOMPARE(whyNot(link), "is in use by another program");
        }
        QCOMPARE(whyNot(link), "");
        {
            QSerialPort mine(pty.slavePath());
            QVERIFY(mine.open(QIODevice::ReadWrite));
            QCOMPARE(whyNot(link), "is in use by another program");
        }
        QCOMPARE(whyNot(link), "");
        {
            // A simulator's lock beside the link: while it is held the link is
            // the simulator's; once no one holds it, the simulator has ended.
            QFile lock(serial::linkLockFile(link));
            QVERIFY(lock.open(QIODevice::ReadWrite));
            QCOMPARE(whyNot(link), "was left behind by a simulator that has ended");
            Holder simulator("flock", lock.fileName());
            QVERIFY(simulator.held);
            QCOMPARE(whyNot(link), "");
        }
    }

    void testingLeavesLineSettingsAlone()
    {
        PtyPair pty;
        termios before{};
        QVERIFY(tcgetattr(pty.master(), &before) == 0);
        cfsetispeed(&before, B1200);
        cfsetospeed(&before, B1200);
        before.c_cflag |= PARENB | CSTOPB;
        QVERIFY(tcsetattr(pty.master(), TCSANOW, &before) == 0);
        QVERIFY(tcgetattr(pty.master(), &before) == 0);

        QCOMPARE(whyNot(pty.slavePath()), "");

        termios after{};
        QVERIFY(tcgetattr(pty.master(), &after) == 0);
        QCOMPARE(cfgetospeed(&after), cfgetospeed(&before));
        QCOMPARE(after.c_cflag, before.c_cflag);
        QCOMPARE(after.c_iflag, before.c_iflag);
        QCOMPARE(after.c_lflag, before.c_lflag);
    }

    void editingThePortListRescans()
    {
        PortFolder folder;
        PtyPair com4;
        QVERIFY(folder.link(4, com4.slavePath()));
        int scans = 0;
        Form1 form([&] { return ++scans, QStringList(); });
        form.Form_Load();
        QCOMPARE(itemTexts(form.Combo9), QStringList({"COM 4"}));

        // Typing, a key each 150 ms, rescans once, when the typing pauses.
        PtyPair com6;
        QVERIFY(folder.link(6, com6.slavePath()));
        form.Combo9->lineEdit()->selectAll();
        QTest::keyClicks(form.Combo9->lineEdit(), "COM", Qt::NoModifier, 150);
        QCOMPARE(scans, 1);
        QCOMPARE(form.Combo9->currentText(), "COM");
        QTRY_COMPARE(scans, 2);
        QTest::qWait(600);
        QCOMPARE(scans, 2);
        QCOMPARE(itemTexts(form.Combo9), QStringList({"COM 4", "COM 6"}));
        QCOMPARE(form.Combo9->itemData(1).toInt(), 6);
        QCOMPARE(form.Combo9->currentIndex(), -1);
        QCOMPARE(form.Combo9->currentText(), QString());

        // A port this program holds is left out of the rescan.
        QSerialPort mine(com4.slavePath());
        QVERIFY(mine.open(QIODevice::ReadWrite));
        QTest::keyClicks(form.Combo9->lineEdit(), "x");
        QTRY_COMPARE(itemTexts(form.Combo9), QStringList({"COM 6"}));
        QVERIFY2(form.Combo9->toolTip().contains("COM 4 (" + com4.slavePath()
                                                 + ") is in use by another program"),
                 qPrintable(form.Combo9->toolTip()));
        QCOMPARE(form.Combo9->currentIndex(), -1);
        QCOMPARE(form.Combo9->currentText(), QString());

        // Connected to COM 6 as well, the list is empty and its tooltip says why.
        form.Combo9->setCurrentIndex(0);
        form.Command1_Click();
        QTest::keyClicks(form.Combo9->lineEdit(), "x");
        QTRY_COMPARE(form.Combo9->count(), 0);
        QVERIFY2(form.Combo9->toolTip().contains("COM 6 (" + com6.slavePath()
                                                 + ") is connected in this window"),
                 qPrintable(form.Combo9->toolTip()));
    }

    // Every open moves DTR and RTS: a scan opens each port once at the most,
    // and not at all the one this window holds or one that got no number.
    void scanOpensEachPortOnce()
    {
        PortFolder folder;
        PtyPair free, held, mine, unnumbered;
        QTemporaryFile plain;
        QVERIFY(plain.open());
        QVERIFY(folder.link(1, free.slavePath()) && folder.link(2, held.slavePath())
                && folder.link(3, plain.fileName()) && folder.link(4, mine.slavePath()));
        for (int n = 5; n <= serial::LastPort; ++n)
            QVERIFY(folder.link(n, "/dev/duve-missing"));
        Holder other("flock", held.slavePath());
        QVERIFY(other.held);
        OpenCounter counter({free.slavePath(), held.slavePath(), plain.fileName(), mine.slavePath(),
                             unnumbered.slavePath()});

        int scans = 0;
        Form1 form([&] { return ++scans, QStringList({unnumbered.slavePath()}); });
        form.Form_Load();
        QCOMPARE(counter.opens(), QList<int>({1, 1, 1, 1, 0}));
        QCOMPARE(itemTexts(form.Combo9), QStringList({"COM 1", "COM 4"}));
        const QString tip = form.Combo9->toolTip();
        QVERIFY2(tip.contains("COM 2 (" + held.slavePath() + ") is in use by another program")
                     && tip.contains("COM 3 (" + plain.fileName() + ") is not a serial device")
                     && tip.contains(unnumbered.slavePath()
                                     + " got no number from 1 to 9: pin it to one in the port "
                                       "folder, in place of an entry there (ln -sfn "
                                     + unnumbered.slavePath() + ' ' + folder.path() + "/COMn)"),
                 qPrintable(tip));

        form.Combo9->setCurrentIndex(1);
        form.Command1_Click();
        QVERIFY(form.MSComm1->PortOpen());
        counter.opens();
        QTest::keyClicks(form.Combo9->lineEdit(), "x");
        QTRY_COMPARE(scans, 2);
        QCOMPARE(counter.opens(), QList<int>({1, 1, 1, 0, 0}));
        QVERIFY(form.Combo9->toolTip().contains("COM 4 (" + mine.slavePath()
                                                + ") is connected in this window"));
    }

    void choosingAPortDoesNotRescan()
    {
        PortFolder folder;
        PtyPair com1, com2;
        QVERIFY(folder.link(1, com1.slavePath()));
        QVERIFY(folder.link(2, com2.slavePath()));
        Form1 form(noSystemPorts);
        form.Form_Load();
        QFile::remove(QDir(folder.path()).filePath("COM1"));
        form.Combo9->setCurrentIndex(1);
        QCOMPARE(itemTexts(form.Combo9), QStringList({"COM 1", "COM 2"}));
        QCOMPARE(form.Combo9->currentText(), QStringLiteral("COM 2"));
    }
};

QTEST_MAIN(TestPortNames)
#include "tst_portnames.moc"
