#include "tests/support/rig.h"

#include "serial/mscomm.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

QStringList noSystemPorts() { return {}; }

QStringList itemTexts(const QComboBox *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->itemText(i);
    return texts;
}

QList<QLineEdit *> channelBoxes(const Form1 &form)
{
    return {form.Text15, form.Text16, form.Text17, form.Text18,
            form.Text19, form.Text20, form.Text21, form.Text22};
}

QList<QPushButton *> channelButtons(const Form1 &form)
{
    return {form.Command11, form.Command12, form.Command13, form.Command14,
            form.Command15, form.Command16, form.Command17, form.Command18};
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
