// The settings text parser, and what a port is opened with for each text it accepts.
#include "fuzz/fuzz.h"
#include "serial/portline_unix.h"

#include <QStringList>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const QStringList fields = text.split(u',');
    QString error;
    const auto settings = serial::parseSettings(text, &error);
    if (!settings) {
        // A refusal names the field and quotes what stands in it.
        static const QStringList names{"Baudrate", "Parity", "Length", "Stop"};
        const qsizetype field = names.indexOf(error.section(u' ', 0, 0));
        FUZZ_CHECK(error.startsWith(QStringLiteral("Line settings \"") + text + u'"')
                   || (field >= 0 && fields.size() == 4
                       && error.startsWith(names[field] + " \"" + fields[field] + '"')));
        return 0;
    }
    FUZZ_CHECK(fields.size() == 4);
    FUZZ_CHECK(settings->baud >= 110 && settings->baud <= 256000);
    FUZZ_CHECK(QByteArrayView("neoms").contains(settings->parity));
    FUZZ_CHECK(settings->dataBits >= 4 && settings->dataBits <= 8);
    FUZZ_CHECK(settings->stopHalves >= 2 && settings->stopHalves <= 4);

    for (const bool pty : {true, false}) {
        QString problem;
        const auto line = serial::portLine(*settings, pty, u"COM 1 (/dev/ttyS9)", &problem);
        // Linux: 5 to 8 data bits; its 2-stop setting means 1.5 after 5 data bits.
        const bool five = settings->dataBits == 5;
        const bool carried = settings->dataBits >= 5
                             && (settings->stopHalves == 2 || (settings->stopHalves == 3) == five);
        if (pty) {
            // Whatever the settings, a pseudo-terminal opens 8N with the stop bits it carries.
            FUZZ_CHECK(line && line->dataBits == QSerialPort::Data8
                       && line->parity == QSerialPort::NoParity);
            FUZZ_CHECK(!line->markErrors);
            FUZZ_CHECK((line->stopBits == QSerialPort::TwoStop) == (settings->stopHalves == 4));
            continue;
        }
        FUZZ_CHECK(line.has_value() == carried);
        if (!line) {
            FUZZ_CHECK(problem.startsWith(QStringLiteral("Length \"") + fields[2] + u'"')
                       || problem.startsWith(QStringLiteral("Stop \"") + fields[3] + u'"'));
            FUZZ_CHECK(problem.contains(QStringLiteral("COM 1 (/dev/ttyS9)")));
        } else {
            FUZZ_CHECK(int(line->dataBits) == settings->dataBits);
            FUZZ_CHECK((line->stopBits == QSerialPort::OneStop) == (settings->stopHalves == 2));
            FUZZ_CHECK(line->stopBits == QSerialPort::OneStop
                       || line->stopBits == QSerialPort::TwoStop);
            FUZZ_CHECK(line->markErrors == (settings->parity != 'n'));
            FUZZ_CHECK((line->parity == QSerialPort::NoParity) == (settings->parity == 'n'));
        }
    }
    return 0;
}
