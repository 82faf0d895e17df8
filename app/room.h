#pragma once

#include <QPushButton>
#include <QStringList>

namespace app {

// A button that breaks a caption wider than itself ("Setup Baudrate") into lines
// instead of cutting it off.
class WrappingButton : public QPushButton
{
public:
    using QPushButton::QPushButton;

    // Where the caption is drawn: the face inside the bevel, with some air at the sides.
    QRect captionFace() const { return rect().adjusted(4, 2, -4, -2); }

protected:
    void paintEvent(QPaintEvent *) override;
};

// Texts a control shows at run time besides its start text ("Disconnect" on "Connect"),
// so that room is made for them too.
void alsoShows(QWidget *control, const QStringList &texts);

// Makes room for whole captions and values in the window and its frames, in the fonts they
// are drawn with: every shown control grows to what its texts need (a label takes just its
// caption's size); a control that then runs into the next one along its row pushes it right,
// together with what shares its left edge (a label and its box); one that grew into what lies
// below it pushes that row, and every row below, down, as does a frame's caption that grew
// taller; a container grows only when its content no longer fits, and what reached its right
// edge keeps reaching it. Hidden controls, never shown, keep their places.
void makeRoom(QWidget *container);

// Puts the page, laid out at its designed size, into the window and keeps the window fitting the
// screen it is on. Where the page fits the screen's free area (less the window's frame), the
// window is the page's size and no other; where it does not, the window is as large as the area
// allows, the page scrolls, and the window can be made larger up to the page's size. Fitted
// again when the window's frame becomes known and whenever it moves to another screen.
void fitToScreen(QWidget *window, QWidget *page);

} // namespace app
