#include "tests/support/rig.h"

#include "measure/channels.h"
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

template<typename W, typename Matches>
QList<W *> byChannel(const Form1 &form, Matches matches)
{
    QList<W *> found;
    for (const measure::Channel &channel : measure::Channels) {
        const QString caption = QString::fromLatin1(channel.caption);
        for (W *w : form.findChildren<W *>())
            if (matches(w, caption))
                found << w;
        Q_ASSERT(found.size() == &channel - measure::Channels + 1);
    }
    return found;
}

QList<QLineEdit *> channelBoxes(const Form1 &form)
{
    return byChannel<QLineEdit>(form, [](QLineEdit *box, const QString &caption) {
        return box->accessibleName() == caption + QStringLiteral(" value");
    });
}

QList<QPushButton *> channelButtons(const Form1 &form)
{
    return byChannel<QPushButton>(form, [](QPushButton *button, const QString &caption) {
        return button->text() == caption;
    });
}

int channelRow(const QString &caption)
{
    for (qsizetype i = 0; i < measure::ChannelCount; ++i)
        if (caption == QLatin1String(measure::Channels[i].caption))
            return int(i);
    return -1;
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
