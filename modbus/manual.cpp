// The command panel: a request composed from its fields, as Modbus ASCII or RTU.
#include "app/form1.h"
#include "modbus/checksum.h"
#include "modbus/frame.h"
#include "serial/mscomm.h"

#include <QLineEdit>

// The panel's fields joined into FrameText. Every field must have its full
// width of hex digits, so that the check covers exactly the bytes sent.
bool Form1::composeManual()
{
    const auto digits = [](const QString &text, int count) {
        return text.size() == count && std::all_of(text.begin(), text.end(), [](QChar c) {
                   return modbus::hexDigit(c) >= 0;
               });
    };
    if (!deviceIdAccepted(Text8->text(), QStringLiteral("Device ID")))
        return false;
    QString problem;
    if (!digits(Text9->text(), 2))
        problem = QStringLiteral("功能碼 (function) \"%1\" must be two hexadecimal digits").arg(Text9->text());
    else if (!digits(Text10->text(), 4))
        problem = QStringLiteral("Register \"%1\" must be four hexadecimal digits").arg(Text10->text());
    else if (!digits(Text11->text(), 4))
        problem = QStringLiteral("資料(長度) (data) \"%1\" must be four hexadecimal digits").arg(Text11->text());
    if (!problem.isEmpty()) {
        logMessage(problem);
        return false;
    }
    FrameText = Text8->text() + Text9->text() + Text10->text() + Text11->text();
    return true;
}

void Form1::Command2_Click()
{
    if (!composeManual())
        return;
    LrcText = Chr_lrc(FrameText);
    Text12->setText(LrcText);
    AsciiFrameText = Text7->text() + FrameText + LrcText + QStringLiteral("\r\n");
    if (MSComm1->PortOpen() && !MSComm1->Output(AsciiFrameText))
        logMessage(MSComm1->errorString());
}

void Form1::Command3_Click()
{
    if (!composeManual())
        return;
    CrcText = Chr_crc(FrameText);
    Text13->setText(CrcText);
    FrameBytes = modbus::frameBytes(Text8->text(), modbus::hexByte(Text9->text()), Text10->text(),
                                    Text11->text(), Text13->text());
    if (MSComm1->PortOpen())
        SendFrame();
}
