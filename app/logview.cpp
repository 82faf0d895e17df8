#include "app/logview.h"

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

// A line's image: its whole height, and every pixel its last glyph may touch.
QSize pixelSize(const QSizeF &size, qreal ratio)
{
    return {qCeil(size.width() * ratio), qRound(size.height() * ratio)};
}

} // namespace

LogView::LogView(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setVerticalScrollBar(new LogScrollBar(Qt::Vertical, this));
}

// A new line at the top moves every line below it, so the editor draws every visible line again,
// glyph by glyph, for each line the log takes. A line's pixels do not change as it moves down, as
// long as it moves by whole pixels: each line is drawn once into an image, and the images are
// copied into place. Whatever else the editor may have to draw (a selection, the caret, the
// placeholder, lines at fractions of a pixel) it draws itself.
void LogView::paintEvent(QPaintEvent *event)
{
    if (!paintFromImages(event)) {
        drawn.clear();
        QPlainTextEdit::paintEvent(event);
    }
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

    // The lines to draw, checked before anything is drawn.
    struct Line
    {
        QTextBlock block;
        QRectF place;
    };
    QList<Line> lines;
    const QRect area = event->rect();
    const int bottom = viewport()->height();
    for (QTextBlock block = firstVisibleBlock(); block.isValid() && offset.y() <= bottom;
         block = block.next()) {
        const QRectF place = blockBoundingRect(block).translated(offset);
        if (!whole(place.height()) || block.blockFormat().background() != Qt::NoBrush)
            return false;
        if (block.isVisible() && place.bottom() >= area.top() && place.top() <= area.bottom())
            lines.append({block, place});
        offset.ry() += place.height();
    }

    QPainter painter(viewport());
    painter.setClipRect(area);
    QHash<QString, QImage> kept;
    for (const Line &line : std::as_const(lines)) {
        const QString text = line.block.text();
        QImage image = drawn.value(text);
        if (image.size() != pixelSize(line.place.size(), ratio))
            image = lineImage(line.block, line.place.size(), painter);
        painter.drawImage(line.place.topLeft(), image);
        kept.insert(text, image);
    }
    drawn = std::move(kept);
    return true;
}

// The line as the editor draws it onto its background, with the painter's pen and font.
QImage LogView::lineImage(const QTextBlock &block, const QSizeF &size, const QPainter &like)
{
    const qreal ratio = viewport()->devicePixelRatioF();
    QImage image(pixelSize(size, ratio), QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(palette().base().color());
    QPainter painter(&image);
    painter.setPen(like.pen());
    painter.setFont(like.font());
    block.layout()->draw(&painter, QPointF());
    return image;
}

void LogView::changeEvent(QEvent *event)
{
    // What a line looks like depends on these.
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange
        || event->type() == QEvent::StyleChange)
        drawn.clear();
    QPlainTextEdit::changeEvent(event);
}

} // namespace app
