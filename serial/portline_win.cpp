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
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    // Errors are reported with the bytes, not by failing every later call.
    dcb.fAbortOnError = FALSE;
    return dcb;
}

} // namespace serial
