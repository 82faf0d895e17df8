#include "app/form1.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The installed menu entry's name, so a task bar groups the window under it (the window
    // sets its own icon).
    QGuiApplication::setDesktopFileName(QStringLiteral("duve"));
    Form1 form;
    form.Form_Load();
    form.show();
    return app.exec();
}
