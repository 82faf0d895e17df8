#pragma once

#include "app/form1.h"
#include "tests/support/peer.h"
#include "tests/support/pty.h"

#include <QList>
#include <QStringList>

class QComboBox;
class QLineEdit;
class QPushButton;

// The system's own serial ports are never touched by a test.
QStringList noSystemPorts();

// A list's items, in order.
QStringList itemTexts(const QComboBox *list);

// The value boxes and read buttons of the channels, in the channel table's
// order, found as the operator finds them (the button by its caption, the box
// by its name "V1 value"), so that a mix-up in the window's wiring shows.
QList<QLineEdit *> channelBoxes(const Form1 &form);
QList<QPushButton *> channelButtons(const Form1 &form);
// A channel's row in the channel table by its caption ("I1").
int channelRow(const QString &caption);

// The log's lines, newest first.
QStringList logLines(const Form1 &form);
// Every byte of the log's lines of one kind ("send", "receive"), oldest line first.
QByteArray logBytes(const Form1 &form, QStringView word);

// A started window whose only port, COM 1, is a pseudo-terminal with a
// scripted peer on the far end.
struct Rig
{
    Rig();
    // Clicks Connect; true when the port is open.
    bool connect();

    PortFolder folder;
    PtyPair pty;
    Peer peer{pty};
    Form1 form{noSystemPorts};
};
