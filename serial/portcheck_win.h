#pragma once

#include <QString>

#include <windows.h>

// What Windows' error codes and port names say about a port, in one place for
// the scan, the open, the read and the write, and apart from the system calls
// so that tests run them as tables.
namespace serial {

// The system's words for an error code.
QString systemText(DWORD code);

// True when code, from an open, a read or a write of a port, means that its
// device went away (unplugged, switched off, its driver stopped). An open
// looks at the codes of a port in use first: there ERROR_ACCESS_DENIED means
// that another program holds it.
bool deviceGone(DWORD code);

// Why CreateFile could not open a port, as words that follow its name.
QString openRefusal(DWORD code);

// Why GetCommState failed on a port just opened, as words that follow its
// name: it is no serial device, in the system's words.
QString stateRefusal(DWORD code);

// True for the device behind the port of a paired Bluetooth device
// (\Device\BthModem0): opening it reaches out to that device.
bool bluetoothDevice(const QString &device);

// Why a port of this name (COM12, CNCA0) got no number from 1 to 9, and the
// fix, as words that follow its name.
QString numberAdvice(const QString &name);

} // namespace serial
