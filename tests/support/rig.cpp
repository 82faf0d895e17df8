#include "tests/support/rig.h"

#include "serial/mscomm.h"

#include <QPlainTextEdit>

QStringList noSystemPorts()
{
    return {};
}

QStringList logLines(const Form1 &form)
{
    const QString text = form.Text1->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(u'\n');
}

Rig::Rig()
{
    folder.link(1, pty.slavePath());
    form.Form_Load();
}

bool Rig::connect()
{
    form.Command1_Click();
    return form.MSComm1->PortOpen();
}
