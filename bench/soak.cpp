// A long run: Auto Scan against the simulated module with its line faults on
// (answers dropped, damaged, in pieces, delayed), each tick given as soon as
// the answer to the last one is in (or a little later when it was lost), so
// a shift's worth of requests takes minutes. Then the log as a shift of
// manual reads leaves it when nobody presses Clear: 1,000,000 lines.
//   soak [requests]     (default 20000)
#include "app/form1.h"
#include "bench/simwindow.h"
#include "measure/channels.h"
#include "modbus/hextext.h"
#include "modbus/logline.h"
#include "serial/mscomm.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include <unistd.h>

namespace {

double residentMb()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1
               ? fields[1].toDouble() * double(::sysconf(_SC_PAGESIZE)) / (1024 * 1024)
               : 0;
}

// The longest time the event loop took to come back to a 1 ms heartbeat:
// whatever held it up (a handler, painting, the log) held up the window.
struct StallMeter
{
    QTimer heartbeat;
    QElapsedTimer since;
    qint64 longestNs = 0;
    int over16ms = 0; // a frame of the screen missed
    int over50ms = 0;

    StallMeter()
    {
        heartbeat.setTimerType(Qt::PreciseTimer);
        QObject::connect(&heartbeat, &QTimer::timeout, [this] {
            const qint64 late = since.nsecsElapsed() - 1000000;
            longestNs = std::max(longestNs, late);
            over16ms += late > 16000000;
            over50ms += late > 50000000;
            since.start();
        });
        since.start();
        heartbeat.start(1);
    }
};

template<typename T>
T median(std::vector<T> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

const QString sendLine = modbus::logLine(QStringLiteral("2026/12/07 10:15:02"), u"send",
                                         QByteArray::fromHex("010300040001C5CB"));
const QString receiveLine = modbus::logLine(QStringLiteral("2026/12/07 10:15:02"), u"receive",
                                            QByteArray::fromHex("01030205DCBA8D"));

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int requests = argc > 1 ? std::max(1000, atoi(argv[1])) : 20000;

    sim::Faults faults;
    faults.dropEvery = 10;
    faults.corruptEvery = 7;
    faults.splitPieces = 2;
    faults.splitGapMs = 3;
    const int delayMs = 2;
    SimWindow rig(faults, delayMs);
    if (!rig.start())
        return 1;
    sim::Transport &module = rig.module;
    Form1 &form = rig.form;
    qint64 moduleBytes = 0;
    QObject::connect(&module, &sim::Transport::sent,
                     [&](const QByteArray &bytes) { moduleBytes += bytes.size(); });
    std::printf(
        "Auto Scan against duve-sim on COM 1: every %dth answer lost, every %dth damaged, each in %d "
        "pieces %d ms apart, %d ms late\n",
        faults.dropEvery, faults.corruptEvery, faults.splitPieces, faults.splitGapMs, delayMs);
    const double startMb = residentMb();
    double after1000Mb = 0;

    // The harness gives the ticks: the tool's own one-second timer is set
    // aside, a tick follows each answer the tool has taken, and a lost answer
    // is given up after a while. Before a tick empties the log (each round of
    // eight), the log is audited: the round's requests, in order, and every
    // byte received.
    form.Command7_Click();
    form.Timer1->setInterval(24 * 3600 * 1000);
    QTimer giveUp;
    giveUp.setSingleShot(true);
    giveUp.setInterval(25);
    int sent = 0;
    int roundsWrong = 0;
    qint64 loggedBytes = 0;
    bool answered = false;
    const int channels = int(measure::ChannelCount);
    QStringList round; // the registers of one round, in the channel table's order
    for (const measure::Channel &channel : measure::Channels)
        round << modbus::hexText(channel.reg, 4);
    const auto audit = [&](int requestsInLog) {
        QStringList registers;
        for (const QString &line : form.Text1->toPlainText().split(u'\n')) {
            if (line.contains(QLatin1String(" send  ")))
                registers.prepend(line.section(QLatin1String(" send  "), 1).mid(6, 5).remove(u' '));
            else if (line.contains(QLatin1String(" receive  ")))
                loggedBytes
                    += QByteArray::fromHex(line.section(QLatin1String(" receive  "), 1).toLatin1())
                           .size();
        }
        if (registers != round.first(requestsInLog))
            ++roundsWrong;
    };
    const auto tick = [&] {
        if (sent == requests)
            return app.quit();
        if (form.PendingRequest == measure::Channels[channels - 1].code && sent > 0)
            audit(channels);
        answered = false;
        form.Timer1_Timer();
        if (++sent == 1000)
            after1000Mb = residentMb();
        giveUp.start();
    };
    QObject::connect(&giveUp, &QTimer::timeout, &app, tick);
    const auto hook = QObject::connect(form.MSComm1, &MSComm::OnComm, &app, [&] {
        // After the tool's own handler: has it logged an answer?
        if (!answered
            && form.Text1->document()->firstBlock().text().contains(QLatin1String(" receive  "))) {
            answered = true;
            QTimer::singleShot(0, &app, tick);
        }
    });

    StallMeter stalls;
    QElapsedTimer clock;
    clock.start();
    QTimer::singleShot(0, &app, tick);
    app.exec();
    const double seconds = clock.elapsed() / 1000.0;
    QObject::disconnect(hook);
    giveUp.stop();
    // Let the last answer come in, then audit the last round.
    QElapsedTimer quiet;
    quiet.start();
    while (quiet.elapsed() < 200)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    audit(sent % channels == 0 ? channels : sent % channels);
    stalls.heartbeat.stop();
    const double stallMs = stalls.longestNs / 1e6;
    const double endMb = residentMb();

    std::printf(
        "requests %d in %.0f s (%.0f a second); answers %lld; bytes the module sent %lld, in the log %lld\n",
        sent, seconds, sent / seconds, moduleBytes / 7, moduleBytes, loggedBytes);
    std::printf("rounds of Auto Scan whose requests are not all in the log, in order: %d of %d\n",
                roundsWrong, (sent + channels - 1) / channels);
    std::printf("longest event-loop stall %.1f ms; stalls over 16 ms: %d, over 50 ms: %d\n",
                stallMs, stalls.over16ms, stalls.over50ms);
    std::printf("resident memory: start %.1f MB, after 1,000 requests %.1f MB, end %.1f MB\n",
                startMb, after1000Mb, endMb);

    // A shift of manual reads without Clear: the log only grows. A module
    // without faults answers them.
    form.Command7_Click();
    form.Command1_Click();
    module.close();
    sim::Transport clean(sim::ModuleOptions{});
    clean.openPty(1);
    form.Command1_Click();
    const double emptyMb = residentMb();
    const int lines = 1000000;
    QString text;
    text.reserve(lines / 2 * (sendLine.size() + receiveLine.size()));
    for (int i = 0; i < lines / 2; ++i)
        text += receiveLine + sendLine;
    form.Text1->setPlainText(text);
    text = QString();
    QCoreApplication::processEvents();
    const double fullMb = residentMb();

    using Clock = std::chrono::steady_clock;
    std::vector<double> addUs, readMs;
    for (int i = 0; i < 1000; ++i) {
        const auto start = Clock::now();
        form.prependLog(sendLine);
        addUs.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    for (int i = 0; i < 100; ++i) {
        form.Text15->clear();
        const auto start = Clock::now();
        form.Command11->click();
        while (form.Text15->text().isEmpty())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        readMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    const auto clearing = Clock::now();
    form.Command4_Click();
    QCoreApplication::processEvents();
    const double clearMs
        = std::chrono::duration<double, std::milli>(Clock::now() - clearing).count();
    std::printf(
        "1,000,000 lines in the log: resident memory %.0f MB (%.0f MB before filling it); adding a line: "
        "median %.0f us, longest %.0f us; V1 pressed to value shown: median %.2f ms, longest %.2f ms; "
        "Clear %.0f ms, then %.0f MB\n",
        fullMb, emptyMb, median(addUs), *std::max_element(addUs.begin(), addUs.end()),
        median(readMs), *std::max_element(readMs.begin(), readMs.end()), clearMs, residentMb());
    return 0;
}
