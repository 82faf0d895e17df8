#include "app/combo.h"

#include <QComboBox>
#include <QLineEdit>

namespace app {

void makeEditableList(QComboBox *combo, const QList<std::pair<QString, int>> &items)
{
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    // A completer would type an item's text back into a list just emptied.
    combo->setCompleter(nullptr);
    for (const auto &[text, value] : items)
        combo->addItem(text, value);
    combo->setCurrentIndex(-1);

    QLineEdit *edit = combo->lineEdit();
    QObject::connect(edit, &QLineEdit::textEdited, combo, [combo, edit](const QString &text) {
        const int index = combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (index == combo->currentIndex())
            return;
        // Changing the index rewrites the edit text; keep what was typed.
        const int cursor = edit->cursorPosition();
        combo->setCurrentIndex(index);
        edit->setText(text);
        edit->setCursorPosition(cursor);
    });
}

} // namespace app
