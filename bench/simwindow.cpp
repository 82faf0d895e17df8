#include "bench/simwindow.h"

#include "serial/mscomm.h"

#include <cstdio>

SimWindow::SimWindow(const sim::Faults &faults, int delayMs)
    : module(sim::ModuleOptions{}, faults, delayMs)
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
}

bool SimWindow::start()
{
    if (!module.openPty(1)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(module.errorString()));
        return false;
    }
    form.show();
    form.Form_Load();
    form.Command1_Click();
    if (!form.MSComm1->PortOpen()) {
        std::fprintf(stderr, "could not connect to COM 1\n");
        return false;
    }
    return true;
}
