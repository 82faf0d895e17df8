#pragma once

#include <QString>

#include <optional>

// The register values that configure the module, as four hex digits.
namespace config {

// Register 0000: the new device ID as typed, then the baud-rate code (1..7):
// "01" and 6 give 0106.
QString baudValueText(const QString &newId, int baudCode);

// Register 0001: parity code, then length code + stop code, then 00:
// n, 8, 1 (0, 6, 0) give 0600.
QString formatValueText(int parityCode, int lengthCode, int stopCode);

// An output value in millivolts: the number typed, rounded half to even, as
// four hex digits (1500 gives 05DC). A text that is not a number, or whose
// rounded value is outside 0..65535, gives nothing and, in why (if given), a
// message that names the field.
std::optional<QString> outputValueText(const QString &typed, const QString &field,
                                       QString *why = nullptr);

// What an output value as typed was sent as, where that may not be what the
// operator meant: a number with a fraction (volts typed for millivolts), or
// one above the module's 10000 mV; empty otherwise.
QString outputNote(const QString &typed, const QString &field);

} // namespace config
