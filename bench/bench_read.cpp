// Time from pressing V1 to the value shown, against the simulated module on
// a pseudo-terminal: median and 99th percentile over many reads.
#include "app/form1.h"
#include "serial/mscomm.h"
#include "sim/transport.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int reads = argc > 1 ? std::max(1, atoi(argv[1])) : 1000;

    // A port folder of our own, so the module is COM 1 and nothing else is seen.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
    sim::Transport module(sim::ModuleOptions{});
    if (!module.openPty(1)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(module.errorString()));
        return 1;
    }
    Form1 form([] { return QStringList(); });
    form.show();
    form.Form_Load();
    form.Command1_Click();
    if (!form.MSComm1->PortOpen()) {
        std::fprintf(stderr, "could not connect\n");
        return 1;
    }

    using Clock = std::chrono::steady_clock;
    std::vector<double> micros;
    micros.reserve(reads);
    for (int i = 0; i < reads; ++i) {
        form.Text15->clear();
        const auto start = Clock::now();
        form.Command11->click();
        while (form.Text15->text().isEmpty())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        form.Command4_Click(); // keep the log from growing over the run
    }
    std::sort(micros.begin(), micros.end());
    std::printf(
        "V1 read to value shown, %d reads: median %.0f us, 99th percentile %.0f us, max %.0f us\n",
        reads, micros[micros.size() / 2], micros[micros.size() * 99 / 100], micros.back());
    return 0;
}
