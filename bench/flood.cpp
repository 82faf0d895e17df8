// A module that floods the line: 160 KiB of bytes that answer nothing, on a pseudo-terminal
// linked as COM 1, at the pace of a real line (115200 baud: 14 s) or as fast as the
// pseudo-terminal takes them (baud 0: lines of 4 KiB, what the terminal hands over at once);
// or ("longest") given to the log directly as receive lines of the longest length, each
// painted. What counts is how much the tool's memory grows while the log shows them, at the
// scale given by QT_SCALE_FACTOR.
//   flood [KiB] [baud | longest]     (default 160 KiB at 115200 baud)
#include "app/form1.h"
#include "modbus/logline.h"
#include "serial/mscomm.h"
#include "serial/portnames.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QThread>
#include <QTimer>

#include <cstdio>

#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// A figure of /proc/self/status in MB: VmRSS now, VmHWM the most so far.
double statusMb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field) + 1).trimmed().split(' ').first().toDouble() / 1024;
    return 0;
}

void settle(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const qint64 total = (argc > 1 ? atoi(argv[1]) : 160) * qint64(1024);
    const bool longest = argc > 2 && qstrcmp(argv[2], "longest") == 0;
    const int baud = argc > 2 ? atoi(argv[2]) : 115200;

    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
    int master = -1, slave = -1; // the slave handle kept open: no hang-up while the tool scans
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (::openpty(&master, &slave, name, &raw, nullptr) != 0 || !QDir().mkpath(serial::portFolder())
        || !QFile::link(QString::fromLocal8Bit(name),
                        QDir(serial::portFolder()).filePath(QStringLiteral("COM1")))) {
        std::fprintf(stderr, "no pseudo-terminal for COM 1\n");
        return 1;
    }
    ::fcntl(master, F_SETFL, O_NONBLOCK);

    Form1 form([] { return QStringList(); });
    form.show();
    form.Form_Load();
    form.Command1_Click();
    if (!form.MSComm1->PortOpen()) {
        std::fprintf(stderr, "could not connect to COM 1\n");
        return 1;
    }
    settle(500);
    const double startMb = statusMb("VmRSS:");

    // Printable text: no byte of it starts an answer whose length a header gives.
    QByteArray bytes;
    while (bytes.size() < total)
        bytes += "a module flooding the line with text nobody asked for; ";
    bytes.truncate(total);
    qint64 written = 0;
    QElapsedTimer clock;
    clock.start();
    QTimer writer;
    QObject::connect(&writer, &QTimer::timeout, [&] {
        const qint64 due = baud ? qMin(total, clock.elapsed() * baud / 10000) : total;
        while (written < due) {
            const ssize_t n = ::write(master, bytes.constData() + written, due - written);
            if (n <= 0)
                break;
            written += n;
        }
        int unread = 0;
        ::ioctl(slave, FIONREAD, &unread);
        if (written == total && unread == 0 && form.MSComm1->InBufferCount() == 0)
            app.quit();
    });
    if (longest) {
        form.GetTimeText();
        for (const QString &line :
             modbus::logLines(form.TimeText, u"receive", bytes, form.Text5->maxLength())) {
            form.prependLog(line);
            form.Text1->viewport()->repaint();
        }
    } else {
        writer.start(baud ? 10 : 1);
        app.exec();
    }
    const double seconds = clock.elapsed() / 1000.0;
    settle(1000);

    int lines = 0, longestLine = 0;
    for (QTextBlock b = form.Text1->document()->firstBlock(); b.isValid(); b = b.next())
        if (b.text().contains(QLatin1String(" receive  "))) {
            ++lines;
            longestLine = qMax(longestLine, int(b.length()));
        }
    const double endMb = statusMb("VmRSS:");
    const QString pace = longest ? QStringLiteral("once, to the log")
                         : baud  ? QStringLiteral("%1 baud").arg(baud)
                                 : QStringLiteral("once");
    std::printf(
        "%lld bytes at %s in %.1f s: %d receive lines, the longest %d characters; scale %s\n",
        total, qPrintable(pace), seconds, lines, longestLine,
        qPrintable(qEnvironmentVariable("QT_SCALE_FACTOR", QStringLiteral("1"))));
    std::printf("resident memory: %.1f MB before, %.1f MB after (grew %.1f MB), at most %.1f MB "
                "(grew %.1f MB)\n",
                startMb, endMb, endMb - startMb, statusMb("VmHWM:"), statusMb("VmHWM:") - startMb);
    return 0;
}
