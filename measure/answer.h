#pragma once

#include <QByteArrayView>
#include <QLocale>
#include <QString>

// Reading the module's answers.
namespace measure {

// The register text of each channel, indexed by PendingRequest (V1..V4, I1..I4).
inline constexpr const char *channelRegisters[8] = {"0004", "0008", "000C", "0010",
                                                    "0005", "0009", "000D", "0011"};

// The raw value of a read answer: bytes 3 and 4, high byte first.
int readValue(QByteArrayView answer);

// A channel's value in volts or milliamperes: raw / 1000 in the shortest form,
// with the locale's decimal separator and no group separators (1500 gives 1.5).
QString valueText(int raw, const QLocale &locale = QLocale());

// True when the bytes start with a complete Modbus exception answer: address,
// function with the high bit set, exception code and a fitting CRC.
bool startsWithException(QByteArrayView bytes);

} // namespace measure
