#include "serial/portline_win.h"

#include "serial/parity.h"

namespace serial {

std::optional<DCB> portDcb(DCB dcb, const LineSettings &settings, QStringView portName,
                           QString *why)
{
    // Windows sends 5 to 8 data bits; ONE5STOPBITS only after 5 data bits,
    // TWOSTOPBITS only after 6 to 8: the same rule as Linux's.
    if (!portCanCarry(settings, portName, why))
        return std::nullopt;
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = static_cast<DWORD>(settings.baud);
    dcb.ByteSize = static_cast<BYTE>(settings.dataBits);
    dcb.StopBits = settings.stopHalves == 2   ? ONESTOPBIT
                   : settings.stopHalves == 3 ? ONE5STOPBITS
                                              : TWOSTOPBITS;
    switch (settings.parity) {
    case 'e': dcb.Parity = EVENPARITY; break;
    case 'o': dcb.Parity = ODDPARITY; break;
    case 'm': dcb.Parity = MARKPARITY; break;
    case 's': dcb.Parity = SPACEPARITY; break;
    default: dcb.Parity = NOPARITY; break;
    }
    dcb.fParity = dcb.Parity != NOPARITY;
    dcb.fErrorChar = dcb.fParity;
    dcb.ErrorChar = ParityReplace;
    dcb.fBinary = TRUE;
    dcb.fNull = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    // Unused without XON/XOFF flow control, but SetCommState fails when the two
    // are equal, and Windows 10's USB CDC driver (usbser.sys) and several
    // virtual COM drivers report both as 0: the usual DC1 and DC3, as pyserial
    // sets them.
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    // Errors are reported with the bytes, not by failing every later call.
    dcb.fAbortOnError = FALSE;
    return dcb;
}

} // namespace serial
