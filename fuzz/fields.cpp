// The device ID and command-panel field checks, with Chr_crc and Chr_lrc, on
// any text: fields separated by line feeds, in the order Device ID, 功能碼
// (function), Register, 資料(長度) (data), new Device ID.
#include "config/values.h"
#include "fuzz/fuzz.h"
#include "modbus/checksum.h"
#include "modbus/hextext.h"
#include "modbus/protocol.h"
#include "modbus/request.h"

#include <QStringList>

namespace {

const modbus::CrcTable crcHi = modbus::crcHiTable();
const modbus::CrcTable crcLo = modbus::crcLoTable();

bool isUpperHex(const QString &text, qsizetype count)
{
    return modbus::isHexDigits(text, count) && text == text.toUpper();
}

// The check text of an RTU request covers exactly the bytes that go on the
// line, and its LRC makes the bytes sum to 0.
void checkRequest(const QString &id, const QString &function, const QString &reg,
                  const QString &value)
{
    const QString frameText = id + function + reg + value;
    const QString crc = modbus::crcText(frameText, crcHi, crcLo);
    const modbus::Frame frame = modbus::frameBytes(id, modbus::hexByte(function), reg, value, crc);
    const QByteArrayView bytes(reinterpret_cast<const char *>(frame.data()), frame.size());
    FUZZ_CHECK(modbus::crcFits(bytes));
    int total = modbus::hexByte(modbus::lrcText(frameText));
    for (int i = 0; i < 6; ++i)
        total += frame[i];
    FUZZ_CHECK(total % 256 == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));

    // Any text at all: the check fields always have their width of upper-case digits.
    FUZZ_CHECK(isUpperHex(modbus::crcText(text, crcHi, crcLo), 4));
    FUZZ_CHECK(isUpperHex(modbus::lrcText(text), 2));
    FUZZ_CHECK(modbus::pairValues(text).size() == (text.size() + 1) / 2);

    QStringList fields = text.split(u'\n');
    fields.resize(5);
    const QString &id = fields[0], &function = fields[1], &reg = fields[2], &value = fields[3],
                  &newId = fields[4];

    QString problem;
    const auto address = modbus::parseDeviceId(id, u"Device ID", &problem);
    const bool idTaken = address.has_value();
    if (idTaken) {
        FUZZ_CHECK(id.size() == 2 && *address == modbus::hexByte(id));
        FUZZ_CHECK(*address >= 0x01 && *address <= 0xF7);
    } else {
        FUZZ_CHECK(problem.startsWith(QStringLiteral("Device ID \"") + id + u'"'));
    }

    // What the command panel and the writes would send once every field is taken.
    if (idTaken && modbus::isHexDigits(function, 2) && modbus::isHexDigits(reg, 4)
        && modbus::isHexDigits(value, 4))
        checkRequest(id, function, reg, value);
    if (idTaken && modbus::parseDeviceId(newId, u"New device ID")) {
        for (const modbus::BaudRate &rate : modbus::BaudRates) {
            const QString baudValue = config::baudValueText(newId, rate.code);
            FUZZ_CHECK(modbus::isHexDigits(baudValue, 4));
            checkRequest(id, QStringLiteral("06"), QStringLiteral("0000"), baudValue);
        }
    }
    return 0;
}
