#include "app/logview.h"

#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>

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

} // namespace

LogView::LogView(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setVerticalScrollBar(new LogScrollBar(Qt::Vertical, this));
}

} // namespace app
