#pragma once

#include <QString>

#include <windows.h>

// What Windows' error codes and port names say about a port, in one place for
// the scan, the open, the read and the write, and apart from the system calls
// so that tests run them as tables.
namespace serial {

// The system's words for an error code.
QString systemText(DWORD code);

// True when code, from a read, a write or a status call of an open port, means
// that its device went away (unplugged, switched off, its driver stopped).
bool deviceGone(DWORD code);

// True for the codes that say the device failed, not whether it is still
// there (ERROR_GEN_FAILURE, ERROR_IO_DEVICE): the device's own answer to a
// status call tells.
bool deviceTrouble(DWORD code);

// True for a write that ended because its time was up: the words then say how
// much of it the port took (timedOutWrite).
bool writeTimedOut(DWORD code);

// Why CreateFile could not open a port, as words that follow its name.
// leftover: a request of this program's last connection to the port is still
// outstanding (heldByLeftover), which is then what holds the port.
QString openRefusal(DWORD code, bool leftover = false);

// Why GetCommState failed on a port just opened, as words that follow its
// name: it is no serial device, in the system's words.
QString stateRefusal(DWORD code);

// Why SetCommState failed with settingsText, as words that follow the name.
QString lineRefusal(DWORD code, const QString &settingsText);

// A write that timed out, as a log line: how many of its bytes the port took
// in time and, on a Bluetooth port, what that means.
QString timedOutWrite(const QString &portName, qsizetype taken, qsizetype size, bool bluetooth);

// True for the device behind the port of a paired Bluetooth device
// (\Device\BthModem0): opening it reaches out to that device.
bool bluetoothDevice(const QString &device);

// Why a port of this name (COM12, CNCA0) got no number from 1 to 9, and the
// fix, as words that follow its name.
QString numberAdvice(const QString &name);

} // namespace serial
