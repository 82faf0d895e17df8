#pragma once

#include <QHash>
#include <QImage>
#include <QPlainTextEdit>

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
    void changeEvent(QEvent *event) override;

private:
    bool paintFromImages(QPaintEvent *event);
    QImage lineImage(const QTextBlock &block, const QSizeF &size, const QPainter &like);

    // The lines drawn by the last paint, each as it looks, by its text.
    QHash<QString, QImage> drawn;
};

} // namespace app
