#pragma once

#include <QList>
#include <QString>

#include <utility>

class QComboBox;

namespace app {

// An editable list as the handlers expect it: the operator may type any text,
// typing never adds an item or completes one, and the selected index follows
// the text: the index of the item whose text was typed, or -1 for any other.
void makeEditableList(QComboBox *combo, const QList<std::pair<QString, int>> &items = {});

} // namespace app
