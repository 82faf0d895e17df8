// The window after a number of V1 reads against the simulated module, as the X server shows
// it, with a clock that steps one second a line: two builds give pictures to compare pixel by
// pixel (compare -metric AE) when a change is to leave the drawing as it is.
//   shot READS OUT.png [SCROLL-TO-LINE-AT-READ-100] [H-SCROLL]
#include "bench/simwindow.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QThread>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: shot READS OUT.png [SCROLL-TO-LINE [H-SCROLL]]\n");
        return 2;
    }
    QApplication app(argc, argv);
    const int reads = atoi(argv[1]);
    SimWindow rig;
    Form1 &form = rig.form;
    static int tick = 0;
    form.Clock = [] { return QDateTime(QDate(2026, 12, 7), QTime(10, 15, 2)).addSecs(tick++); };
    if (!rig.start())
        return 1;
    for (int i = 0; i < reads; ++i) {
        if (argc > 3 && i == 100)
            form.Text1->verticalScrollBar()->setValue(atoi(argv[3]));
        if (argc > 4 && i == 100)
            form.Text1->horizontalScrollBar()->setValue(atoi(argv[4]));
        form.Text15->clear();
        form.Command11->click();
        while (form.Text15->text().isEmpty())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
    if (!form.screen()->grabWindow(form.winId()).save(QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "could not write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
