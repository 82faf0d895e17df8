#pragma once

#include <QStringList>
#include <QWidget>

// What a screen reader learns of the window beyond what Qt tells it by itself. Measured with
// Orca 43 on Qt 6.4 and Orca 48 on Qt 6.8 (docs/operating.md says what each speaks).
namespace app {

// Installs, once for the program, the accessible interfaces the window needs: the window as a
// frame (a reader's read-title command speaks its caption), every text box's text as one run
// of text attributes (Qt 6.4 and 6.8 report an empty run for each character of a QLineEdit,
// and Orca then speaks the text one character short), the announcer's notification role; and,
// on Linux, keeps back the selection a text box reports as Tab brings the focus in or takes it
// out, which Orca speaks before the box's name and again with it.
void installScreenReaderSupport();

// While it lives, a screen reader is not told of the text box's caret moving: it moves with its
// line as text comes before it, and Orca would read that line again.
class CaretMovesUntold
{
public:
    explicit CaretMovesUntold(QObject *box);
    ~CaretMovesUntold();
    Q_DISABLE_COPY_MOVE(CaretMovesUntold)
};

// Speaks words to a screen reader while showing nothing, wherever the focus is: what changes
// by itself (the connection, a value, a note). What is said during one turn of the event loop
// goes out as one utterance, so that no part of it cuts off another.
class Announcer : public QWidget
{
public:
    explicit Announcer(QWidget *window);
    void say(const QString &words);

private:
    QStringList pending;
};

} // namespace app
