#include "app/room.h"

#include <QApplication>
#include <QBoxLayout>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <map>

namespace app {

namespace {

const char AlsoShows[] = "alsoShows";
constexpr int CaptionFlags = Qt::AlignCenter | Qt::TextWordWrap;

int widest(const QFontMetrics &fm, const QStringList &texts)
{
    int width = 0;
    for (const QString &text : texts)
        width = std::max(width, fm.horizontalAdvance(text));
    return width;
}

// QLineEdit scrolls a text once the text and one pixel for the caret no longer fit
// between its margins and frame; its size hint counts those around 17 'x'.
int editWidth(const QLineEdit *edit, const QStringList &texts)
{
    const QFontMetrics fm = edit->fontMetrics();
    const int margins = edit->sizeHint().width() - 17 * fm.horizontalAdvance(QLatin1Char('x'));
    return widest(fm, texts) + 1 + margins;
}

// Every item of the list must show whole in the box, not only the one chosen at start.
int comboWidth(const QComboBox *combo, QStringList texts)
{
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    if (!combo->lineEdit())
        return combo->sizeHint().width();
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.editable = true;
    option.frame = combo->hasFrame();
    const QRect field = combo->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                       QStyle::SC_ComboBoxEditField, combo);
    return combo->width() - field.width() + editWidth(combo->lineEdit(), texts);
}

// The narrowest size, from the design's on, whose face holds each caption, wrapped at its
// blanks while the lines fit the height, else on one line.
QSize buttonSize(const WrappingButton *button, const QStringList &captions)
{
    const QFontMetrics fm = button->fontMetrics();
    const QSize bevel = button->size() - button->captionFace().size();
    QSize size = button->size();
    for (const QString &caption : captions) {
        const QSize line = fm.boundingRect(QRect(), Qt::AlignCenter, caption).size() + bevel;
        size.setHeight(std::max(size.height(), line.height()));
        const auto fits = [&](int width) {
            const QRect face(QPoint(), QSize(width, size.height()) - bevel);
            return face.contains(fm.boundingRect(face, CaptionFlags, caption));
        };
        int width = std::max(size.width(), widest(fm, caption.split(' ')) + bevel.width());
        while (width < line.width() && !fits(width))
            ++width;
        size.setWidth(width);
    }
    return size;
}

QSize neededSize(QWidget *control)
{
    QStringList texts = control->property(AlsoShows).toStringList();
    if (auto *label = qobject_cast<QLabel *>(control))
        return label->sizeHint();
    if (auto *button = dynamic_cast<WrappingButton *>(control))
        return buttonSize(button, texts << button->text());
    if (auto *edit = qobject_cast<QLineEdit *>(control))
        return {editWidth(edit, texts << edit->text()), edit->minimumSizeHint().height()};
    if (auto *combo = qobject_cast<QComboBox *>(control))
        return {comboWidth(combo, texts << combo->currentText()),
                combo->minimumSizeHint().height()};
    if (qobject_cast<QGroupBox *>(control))
        return control->minimumSizeHint(); // its caption
    return {};                             // the log scrolls
}

int right(const QWidget *w) { return w->x() + w->width(); }
int bottom(const QWidget *w) { return w->y() + w->height(); }

// Whether two places share some height, or some width.
bool sideBySide(const QRect &a, const QRect &b)
{
    return a.y() < b.y() + b.height() && b.y() < a.y() + a.height();
}
bool oneAboveTheOther(const QRect &a, const QRect &b)
{
    return a.x() < b.x() + b.width() && b.x() < a.x() + a.width();
}

// The space the style puts between controls side by side or one above the other.
int spacing(const QWidget *container, Qt::Orientation orientation)
{
    const QStyle *style = container->style();
    const int gap
        = style->pixelMetric(orientation == Qt::Horizontal ? QStyle::PM_LayoutHorizontalSpacing
                                                           : QStyle::PM_LayoutVerticalSpacing);
    return gap >= 0 ? gap
                    : style->layoutSpacing(QSizePolicy::DefaultType, QSizePolicy::DefaultType,
                                           orientation);
}

// Sizes a window to its screen: at start, once the window manager has framed it (and moved it
// into the frame), and on every change of screen.
class ScreenFit : public QObject
{
public:
    ScreenFit(QWidget *window, QScrollArea *area)
        : QObject(window)
        , window(window)
        , area(area)
    {
        window->installEventFilter(this);
    }

    void fit()
    {
        const QSize designed = area->widget()->size();
        QRect free = window->screen()->availableGeometry();
        const QSize frame = window->frameGeometry().size() - window->size();
        // The frame comes in whole pixels of the window's scale, rounded: a border thinner than
        // one of them (a screen pixel at 2.5) counts as none, so keep one clear of the edges.
        if (!frame.isNull())
            free.adjust(1, 1, -1, -1);
        const QSize room = free.size() - frame;
        const bool fits = designed.width() <= room.width() && designed.height() <= room.height();
        const QSize minimum = fits ? designed : area->minimumSizeHint();
        const QSize size = fits ? designed : window->size().boundedTo(room);
        if (minimum == window->minimumSize() && size == window->size())
            return;
        window->setMinimumSize(minimum);
        window->setMaximumSize(designed);
        window->resize(size);
        // The whole window, frame and all, on the screen.
        QRect placed(window->frameGeometry().topLeft(), size + frame);
        placed.moveRight(std::min(placed.right(), free.right()));
        placed.moveBottom(std::min(placed.bottom(), free.bottom()));
        placed.moveLeft(std::max(placed.left(), free.left()));
        placed.moveTop(std::max(placed.top(), free.top()));
        window->move(placed.topLeft());
        // A window manager may frame a window that can be resized otherwise (with a grip at
        // the bottom) and tells so only by the frame's size: look again once it has.
        QTimer::singleShot(200, this, &ScreenFit::fit);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Show)
            connect(window->windowHandle(), &QWindow::screenChanged, this, &ScreenFit::fit,
                    Qt::UniqueConnection);
        if (event->type() == QEvent::Show || event->type() == QEvent::Move
            || event->type() == QEvent::Resize)
            fit();
        return false;
    }

private:
    QWidget *window;
    QScrollArea *area;
};

// The scroll area brings only a field's caret into sight when Tab reaches it; this brings the
// whole control that takes the focus, as much of it as the view can show.
void followFocus(QScrollArea *area)
{
    QObject::connect(qApp, &QApplication::focusChanged, area, [area](QWidget *, QWidget *now) {
        QWidget *page = area->widget();
        if (!now || !page->isAncestorOf(now))
            return;
        while (now->parentWidget() != page && !qobject_cast<QGroupBox *>(now->parentWidget()))
            now = now->parentWidget(); // the list, not its text field
        const QPoint at = now->mapTo(page, QPoint());
        const QSize view = area->viewport()->size();
        const auto bring = [](QScrollBar *bar, int start, int length, int view) {
            bar->setValue(std::min(start, std::max(bar->value(), start + length - view)));
        };
        bring(area->horizontalScrollBar(), at.x(), now->width(), view.width());
        bring(area->verticalScrollBar(), at.y(), now->height(), view.height());
    });
}

} // namespace

void WrappingButton::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString caption = option.text;
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    painter.drawItemText(captionFace(), CaptionFlags, palette(), isEnabled(), caption,
                         QPalette::ButtonText);
}

void alsoShows(QWidget *control, const QStringList &texts)
{
    control->setProperty(AlsoShows, texts);
}

void makeRoom(QWidget *container)
{
    QWidgetList controls;
    for (QWidget *w : container->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        if (!w->isHidden())
            controls << w;
    if (controls.isEmpty())
        return;

    int left = container->width(), designRight = 0, designBottom = 0;
    for (const QWidget *w : controls) {
        left = std::min(left, w->x());
        designRight = std::max(designRight, right(w));
        designBottom = std::max(designBottom, bottom(w));
    }
    QWidgetList reachingRight;
    for (QWidget *w : controls)
        if (right(w) == designRight)
            reachingRight << w;
    const int margin = std::min(left, container->width() - designRight);
    const int bottomMargin = container->height() - designBottom;

    QHash<const QWidget *, QRect> design;
    for (QWidget *w : controls) {
        design.insert(w, w->geometry());
        if (qobject_cast<QGroupBox *>(w))
            makeRoom(w);
        const QSize need = neededSize(w);
        w->resize(qobject_cast<QLabel *>(w) ? need : w->size().expandedTo(need));
    }

    // Column by column from the left: a control moves only as far as the controls already
    // placed beside it (sharing some of its designed height) need, and its column moves with
    // it. What grew taller into the row below moves that row down next, not this one right.
    std::map<int, QWidgetList> columns;
    for (QWidget *w : controls)
        columns[w->x()] << w;
    const int gap = spacing(container, Qt::Horizontal);
    QWidgetList placed;
    for (const auto &[x, column] : columns) {
        int shift = 0;
        for (const QWidget *w : column)
            for (const QWidget *p : placed)
                if (sideBySide(design[w], design[p]))
                    shift = std::max(shift, right(p) + gap - x);
        for (QWidget *w : column)
            w->move(w->x() + shift, w->y());
        placed << column;
    }

    // Then row by row from the top: a row moves down at least as far as the rows above it,
    // further where a control above it (sharing some of its width) now reaches into it, and
    // in a frame it starts below the frame's caption.
    std::map<int, QWidgetList> rows;
    for (QWidget *w : controls)
        rows[w->y()] << w;
    const int lineGap = spacing(container, Qt::Vertical);
    // A frame's caption is drawn in the frame's own font at its top.
    const int top = qobject_cast<QGroupBox *>(container) ? container->fontMetrics().height() : 0;
    int shift = 0;
    placed.clear();
    for (const auto &[y, row] : rows) {
        shift = std::max(shift, top - y);
        for (const QWidget *w : row)
            for (const QWidget *p : placed)
                if (oneAboveTheOther(w->geometry(), p->geometry()))
                    shift = std::max(shift, bottom(p) + lineGap - y);
        for (QWidget *w : row)
            w->move(w->x(), y + shift);
        placed << row;
    }

    int newRight = designRight, newBottom = designBottom;
    for (const QWidget *w : controls) {
        newRight = std::max(newRight, right(w));
        newBottom = std::max(newBottom, bottom(w));
    }
    container->resize(container->width(), std::max(container->height(), newBottom + bottomMargin));
    if (newRight + margin <= container->width())
        return;
    for (QWidget *w : reachingRight)
        w->resize(newRight - w->x(), w->height());
    container->resize(newRight + margin, container->height());
}

void fitToScreen(QWidget *window, QWidget *page)
{
    auto *area = new QScrollArea;
    area->setFrameShape(QFrame::NoFrame);
    area->setFocusPolicy(Qt::NoFocus); // Tab goes from control to control and scrolls to each
    page->setAutoFillBackground(true);
    area->setWidget(page);
    auto *layout = new QVBoxLayout(window);
    layout->setContentsMargins(QMargins());
    layout->addWidget(area);
    followFocus(area);
    window->resize(page->size());
    (new ScreenFit(window, area))->fit();
}

} // namespace app
