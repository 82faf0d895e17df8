#pragma once

#include <QColor>
#include <QFont>
#include <QHash>
#include <QImage>
#include <QPlainTextEdit>

#include <optional>
#include <utility>

namespace app {

// The traffic log (Text1): a read-only plain-text box that takes a line at its top for every
// frame, thousands an hour. It looks and behaves as a QPlainTextEdit; it only spares the work
// of drawing again what would look the same.
class LogView : public QPlainTextEdit
{
public:
    explicit LogView(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;

private:
    bool paintFromImages(QPaintEvent *event);
    std::optional<QImage> lineImage(const QTextBlock &block, const QRectF &place);

    // What a line's image depends on besides its text and height.
    struct Look
    {
        QFont font;
        QColor text;
        QColor base;
        qreal ratio = 0;
        qreal left = 0; // where the lines start, left of the view when scrolled
        int width = 0;  // the view's
        bool operator==(const Look &) const = default;
    };
    Look look;
    // The lines drawn by the last paint, by their text and height: the part of each the view
    // shows, or nothing for a line that draws outside its place, which only the editor can draw.
    using Drawn = QHash<std::pair<QString, qreal>, std::optional<QImage>>;
    Drawn drawn;
};

} // namespace app
