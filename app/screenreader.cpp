#include "app/screenreader.h"

#include "app/form1.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>

namespace app {

namespace {

// A text box as Qt's own interface presents it, except for its text attributes: it has none,
// and says so for the whole text at once. Qt answers an empty run at each character, and Orca,
// which joins the runs to speak the text, then leaves out its last character ("0" for "01").
class TextBoxInterface
    : public QAccessibleWidget
    , public QAccessibleTextInterface
{
public:
    explicit TextBoxInterface(QLineEdit *box)
        : QAccessibleWidget(box, QAccessible::EditableText)
    {
        addControllingSignal(QStringLiteral("textChanged(QString)"));
    }

    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Value ? box()->text() : QAccessibleWidget::text(t);
    }
    void setText(QAccessible::Text t, const QString &text) override
    {
        if (t == QAccessible::Value)
            box()->setText(text);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = box()->isReadOnly();
        state.editable = !state.readOnly;
        state.selectableText = true;
        return state;
    }

    void *interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    QString attributes(int, int *startOffset, int *endOffset) const override
    {
        *startOffset = 0;
        *endOffset = characterCount();
        return {};
    }

    void selection(int index, int *startOffset, int *endOffset) const override
    {
        *startOffset = *endOffset = 0;
        if (index == 0 && box()->hasSelectedText()) {
            *startOffset = box()->selectionStart();
            *endOffset = box()->selectionEnd();
        }
    }
    int selectionCount() const override { return box()->hasSelectedText() ? 1 : 0; }
    void addSelection(int startOffset, int endOffset) override
    {
        setSelection(0, startOffset, endOffset);
    }
    void removeSelection(int index) override
    {
        if (index == 0)
            box()->deselect();
    }
    void setSelection(int index, int startOffset, int endOffset) override
    {
        if (index == 0)
            box()->setSelection(startOffset, endOffset - startOffset);
    }
    int cursorPosition() const override { return box()->cursorPosition(); }
    void setCursorPosition(int position) override { box()->setCursorPosition(position); }
    QString text(int startOffset, int endOffset) const override
    {
        return startOffset > endOffset ? QString()
                                       : box()->text().mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return int(box()->text().size()); }

    // Where the character is drawn, from the advance of the text before it: the boxes hold
    // values short enough never to scroll. Qt finds it in the box's private layout.
    QRect characterRect(int offset) const override
    {
        const QString character = text(offset, offset + 1);
        if (character.isEmpty())
            return {};
        const QFontMetrics metrics(box()->font());
        const QRect inside = box()->contentsRect().marginsRemoved(box()->textMargins());
        const int x
            = inside.left() + Margin + metrics.horizontalAdvance(box()->text().left(offset));
        const int y = inside.top() + (inside.height() - metrics.height()) / 2;
        return {box()->mapToGlobal(QPoint(x, y)),
                QSize(metrics.horizontalAdvance(character), metrics.height())};
    }
    int offsetAtPoint(const QPoint &point) const override
    {
        return box()->cursorPositionAt(box()->mapFromGlobal(point));
    }
    void scrollToSubstring(int startIndex, int endIndex) override
    {
        box()->setCursorPosition(endIndex);
        box()->setCursorPosition(startIndex);
    }

private:
    static constexpr int Margin = 2; // QLineEdit's own, between its frame and its text
    QLineEdit *box() const { return static_cast<QLineEdit *>(widget()); }
};

// A list as Qt's own interface presents it, except for its name. On Linux Qt names a list by its
// value, so that Orca 48 speaks the value twice ("Baudrate 38400 editable combo box 38400"); this
// one takes its label's caption, as a text box does.
class ListInterface : public QAccessibleWidget
{
public:
    explicit ListInterface(QComboBox *list)
        : QAccessibleWidget(list, QAccessible::ComboBox)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Value ? list()->currentText() : QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.expandable = true;
        state.expanded = list()->view()->isVisible();
        state.editable = list()->isEditable();
        return state;
    }

    // The popup's view, then the text box of an editable list, which has the focus in it.
    int childCount() const override { return list()->isEditable() ? 2 : 1; }
    QAccessibleInterface *child(int index) const override
    {
        if (index == 0)
            return QAccessible::queryAccessibleInterface(list()->view());
        if (index == 1 && list()->isEditable())
            return QAccessible::queryAccessibleInterface(list()->lineEdit());
        return nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        if (child->object() == list()->view())
            return 0;
        return list()->isEditable() && child->object() == list()->lineEdit() ? 1 : -1;
    }
    QAccessibleInterface *childAt(int x, int y) const override
    {
        const QLineEdit *box = list()->lineEdit();
        return box && QRect(box->mapToGlobal(QPoint()), box->size()).contains(x, y) ? child(1)
                                                                                    : nullptr;
    }
    QAccessibleInterface *focusChild() const override
    {
        return list()->isEditable() ? child(1) : nullptr;
    }

    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
    void doAction(const QString &action) override
    {
        if (action != showMenuAction() && action != pressAction())
            return;
        if (list()->view()->isVisible())
            list()->hidePopup();
        else
            list()->showPopup();
    }

private:
    QComboBox *list() const { return static_cast<QComboBox *>(widget()); }
};

QAccessibleInterface *interfaceFor(const QString &className, QObject *object)
{
    auto *widget = qobject_cast<QWidget *>(object);
    if (!widget)
        return nullptr;
    // Qt presents a window that is a plain QWidget as a filler, in which a reader finds no title.
    if (className == QLatin1String(Form1::staticMetaObject.className()))
        return new QAccessibleWidget(widget, QAccessible::Window);
    if (className == QLatin1String("QLineEdit"))
        return new TextBoxInterface(static_cast<QLineEdit *>(widget));
    if (className == QLatin1String("QComboBox"))
        return new ListInterface(static_cast<QComboBox *>(widget));
    if (dynamic_cast<Announcer *>(widget))
        return new QAccessibleWidget(widget, QAccessible::Notification);
    return nullptr;
}

// The text box whose caret moves are not told now.
QObject *caretUntold = nullptr;

#ifdef Q_OS_LINUX
// The control a reader was last told has the focus.
QPointer<QObject> toldFocus;

// As Tab brings the focus to a text box (or a list's), Qt selects its text and tells so before
// it tells of the focus; as Tab takes the focus away, the text is unselected. Orca speaks the
// selection, then the box with its selected value: the value twice, and "Text unselected" on the
// way out. Only a selection in the box a reader knows has the focus is told.
bool focusEcho(QAccessibleEvent *event)
{
    auto *box = qobject_cast<QLineEdit *>(event->object());
    if (!box)
        return false;
    QObject *control = qobject_cast<QComboBox *>(box->parent()) ? box->parent() : box;
    return control != QApplication::focusWidget() || control != toldFocus;
}

void tellReader(QAccessibleEvent *event);

// Passes an event on to the bridge: Qt's own way there is taken while no handler is installed.
void passOn(QAccessibleEvent *event)
{
    QAccessible::installUpdateHandler(nullptr);
    QAccessible::updateAccessibility(event);
    QAccessible::installUpdateHandler(tellReader);
}

bool untold(QAccessibleEvent *event)
{
    switch (event->type()) {
    case QAccessible::TextSelectionChanged: return focusEcho(event);
    case QAccessible::TextCaretMoved: return event->object() == caretUntold;
    case QAccessible::DescriptionChanged: {
        // A new description of the control in focus (a value at its read button) is said by the
        // announcer, and Orca 48 would say it once more. Orca keeps what it has read of a
        // control until it is told the control has the focus, which it then reads afresh and
        // does not say again: so that Where Am I has the new one, that is told instead.
        if (event->object() != toldFocus)
            return false;
        QAccessible::State focused;
        focused.focused = true;
        QAccessibleStateChangeEvent stillFocused(event->object(), focused);
        passOn(&stillFocused);
        return true;
    }
    // Qt has applied a table's change already, and the Linux bridge does nothing more with it.
    case QAccessible::TableModelChanged: return true;
    default: return false;
    }
}

void tellReader(QAccessibleEvent *event)
{
    if (event->type() == QAccessible::Focus)
        toldFocus = event->object();
    if (!untold(event))
        passOn(event);
}
#endif

} // namespace

void installScreenReaderSupport()
{
    QAccessible::installFactory(interfaceFor);
#ifdef Q_OS_LINUX
    QAccessible::installUpdateHandler(tellReader);
#endif
}

CaretMovesUntold::CaretMovesUntold(QObject *box) { caretUntold = box; }

CaretMovesUntold::~CaretMovesUntold() { caretUntold = nullptr; }

Announcer::Announcer(QWidget *window)
    : QWidget(window)
{
    setGeometry(0, 0, 0, 0);
    hide();
}

// Qt 6.8 has an event for this. On Qt 6.4 a notification that shows is the one thing Orca
// speaks wherever the focus is (it reports a new name or description, or text put in the log,
// only for the control in focus, and the name or description of Qt's event as no text at all).
void Announcer::say(const QString &words)
{
    if (!QAccessible::isActive() || words.isEmpty())
        return;
    if (pending.isEmpty())
        QTimer::singleShot(0, this, [this] {
            const QString utterance = pending.join(QStringLiteral(". "));
            pending.clear();
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
            QAccessibleAnnouncementEvent event(parentWidget(), utterance);
            QAccessible::updateAccessibility(&event);
#else
            hide();
            setAccessibleName(utterance);
            show();
#endif
        });
    pending << words;
}

} // namespace app
