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

QByteArray logBytes(const Form1 &form, QStringView word)
{
    const QString marker = QStringLiteral(" %1  ").arg(word);
    QByteArray bytes;
    const QStringList lines = logLines(form);
    for (auto it = lines.crbegin(); it != lines.crend(); ++it)
        if (it->contains(marker))
            bytes += QByteArray::fromHex(it->section(marker, 1).toLatin1());
    return bytes;
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
