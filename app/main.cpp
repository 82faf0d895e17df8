#include "app/form1.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The installed menu entry's name, so a task bar groups the window under it; the
    // icon is the package's own, kept in the program so it shows even when not installed.
    QGuiApplication::setDesktopFileName(QStringLiteral("duve"));
    Q_INIT_RESOURCE(duve);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/duve.svg")));
    Form1 form;
    form.Form_Load();
    form.show();
    return app.exec();
}
