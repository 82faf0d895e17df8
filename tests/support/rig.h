#pragma once

#include "app/form1.h"
#include "tests/support/peer.h"
#include "tests/support/pty.h"

#include <QStringList>

// The system's own serial ports are never touched by a test.
QStringList noSystemPorts();

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
