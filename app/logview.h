#pragma once

#include <QPlainTextEdit>

namespace app {

// The traffic log (Text1): a read-only plain-text box that takes a line at its top for every
// frame, thousands an hour. It looks and behaves as a QPlainTextEdit; it only spares the work
// of redrawing what would look the same.
class LogView : public QPlainTextEdit
{
public:
    explicit LogView(QWidget *parent = nullptr);
};

} // namespace app
