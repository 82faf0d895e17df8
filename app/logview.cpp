#include "app/logview.h"

#include "app/screenreader.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTextBlock>
#include <QtMath>

#include <cmath>

namespace app {

namespace {

// Every new line changes the range of the log's scroll bar. Once the log is a few hundred lines
// long the handle is at its shortest and stays where it is, and the bar would be drawn again
// exactly as it is; this one repaints only when its handle or its ends would look different.
class LogScrollBar : public QScrollBar
{
public:
    using QScrollBar::QScrollBar;

protected:
    void sliderChange(SliderChange change) override
    {
        if (change == SliderRangeChange && look() == drawn)
            return;
        QScrollBar::sliderChange(change);
    }

    void paintEvent(QPaintEvent *event) override
    {
        drawn = look();
        QScrollBar::paintEvent(event);
    }

private:
    struct Look
    {
        QRect handle;
        bool atMinimum = false;
        bool atMaximum = false;
        bool operator==(const Look &) const = default;
    };

    Look look() const
    {
        QStyleOptionSlider option;
        initStyleOption(&option);
        return {style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider,
                                        this),
                value() == minimum(), value() == maximum()};
    }

    Look drawn;
};

// Whether every pixel from one to the other has the base colour. Without a branch a pixel, the
// compiler compares many at once.
bool blank(const QRgb *from, const QRgb *to, QRgb base)
{
    QRgb differs = 0;
    for (const QRgb *pixel = from; pixel != to; ++pixel)
        differs |= *pixel ^ base;
    return differs == 0;
}

} // namespace

LogView::LogView(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setVerticalScrollBar(new LogScrollBar(Qt::Vertical, this));
}

// The newest line is on top: a reader who comes to the log by the keyboard starts there (the
// caret moves down with its line as lines come above it). A screen reader reads the line when it
// is told of the focus; told of the caret first, Orca would take it for the focus, and then say
// nothing of the log.
void LogView::focusInEvent(QFocusEvent *event)
{
    const Qt::FocusReason reason = event->reason();
    if ((reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason
         || reason == Qt::ShortcutFocusReason)
        && !textCursor().hasSelection()) {
        const CaretMovesUntold moved(this);
        moveCursor(QTextCursor::Start);
    }
    QPlainTextEdit::focusInEvent(event);
}

// A new line at the top moves every line below it, so the editor draws every visible line again,
// glyph by glyph, for each line the log takes. A line's pixels do not change as it moves down, as
// long as it moves by whole pixels: each line is drawn once into an image of the part the view
// shows, and the images are copied into place. Whatever else the editor may have to draw (a
// selection, the caret, the placeholder, lines at fractions of a pixel, a line that draws
// outside its place) it draws itself.
void LogView::paintEvent(QPaintEvent *event)
{
    if (!paintFromImages(event))
        QPlainTextEdit::paintEvent(event);
}

bool LogView::paintFromImages(QPaintEvent *event)
{
    const QAbstractTextDocumentLayout::PaintContext context = getPaintContext();
    if (!context.selections.isEmpty() || context.cursorPosition != -1 || document()->isEmpty()
        || palette().base().style() != Qt::SolidPattern)
        return false;
    // At a scale such as 1.5 the editor places glyphs at fractions of a device pixel that an
    // image of the line does not reproduce.
    const qreal ratio = viewport()->devicePixelRatioF();
    if (ratio != std::floor(ratio))
        return false;
    const auto whole = [ratio](qreal logical) {
        return qFuzzyCompare(std::round(logical * ratio) + 1, logical * ratio + 1);
    };
    QPointF offset = contentOffset();
    if (!whole(offset.x()) || !whole(offset.y()))
        return false;
    const Look now{font(),
                   context.palette.text().color(),
                   palette().base().color(),
                   ratio,
                   offset.x(),
                   viewport()->width()};
    if (now != look) {
        drawn.clear();
        look = now;
    }
    // Where the editor draws: the area to paint, short of the right margin.
    QRect area = event->rect();
    area.setRight(
        qMin(area.right(),
             int(offset.x()
                 + qMax(qreal(look.width), document()->documentLayout()->documentSize().width())
                 - document()->documentMargin() + cursorWidth())));

    // The lines to draw, each as an image, had before anything is drawn.
    struct Line
    {
        qreal top;
        QImage image;
    };
    QList<Line> lines;
    Drawn kept;
    const int bottom = viewport()->height();
    for (QTextBlock block = firstVisibleBlock(); block.isValid() && offset.y() <= bottom;
         block = block.next()) {
        const QRectF place = blockBoundingRect(block).translated(offset);
        if (!whole(place.height()) || block.blockFormat().background() != Qt::NoBrush)
            return false;
        if (block.isVisible() && place.bottom() >= area.top() && place.top() <= area.bottom()) {
            // The last line is taller by the margin below it.
            const std::pair key(block.text(), place.height());
            const auto found = drawn.constFind(key);
            const std::optional<QImage> image
                = found != drawn.cend() ? *found : lineImage(block, place);
            kept.insert(key, image);
            if (!image) {
                drawn = std::move(kept);
                return false;
            }
            lines.append({place.top(), *image});
        }
        offset.ry() += place.height();
    }
    drawn = std::move(kept);

    QPainter painter(viewport());
    painter.setClipRect(area);
    for (const Line &line : std::as_const(lines))
        painter.drawImage(QPointF(0, line.top), line.image);
    return true;
}

// The part of a line that the view shows, as the editor draws it onto its background; none
// when the line draws outside its place (marks above or below its letters, say), which an
// image of the place would cut. To see that, the line is drawn with room for a line above and
// below it and after its text (what reaches further is not seen).
std::optional<QImage> LogView::lineImage(const QTextBlock &block, const QRectF &place)
{
    const QTextLayout *layout = block.layout();
    qreal textRight = 0;
    for (int i = 0; i < layout->lineCount(); ++i)
        textRight = qMax(textRight, layout->lineAt(i).naturalTextRect().right());
    const qreal room = place.height();
    const qreal right = qMin(qreal(look.width), place.left() + textRight + room);
    if (right <= 0)
        return QImage(); // all of it left of the view
    const int width = qCeil(right * look.ratio);
    const int height = qRound(room * look.ratio);
    QImage image(width, 3 * height, QImage::Format_RGB32);
    image.setDevicePixelRatio(look.ratio);
    image.fill(look.base);
    QPainter painter(&image);
    painter.setPen(look.text);
    layout->draw(&painter, QPointF(place.left(), room));
    painter.end();
    const auto *pixels = reinterpret_cast<const QRgb *>(image.constBits());
    const qsizetype band = qsizetype(width) * height;
    if (!blank(pixels, pixels + band, look.base.rgb())
        || !blank(pixels + 2 * band, pixels + 3 * band, look.base.rgb()))
        return std::nullopt;
    return image.copy(0, height, width, height);
}

} // namespace app
