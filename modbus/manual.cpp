// The command panel: a request composed from its fields, as Modbus ASCII or RTU.
#include "app/form1.h"
#include "modbus/hextext.h"
#include "serial/mscomm.h"

#include <QLineEdit>

// Every field must have its full width of hex digits, so that the check
// covers exactly the bytes sent.
bool Form1::manualFieldsAccepted()
{
    if (!deviceIdAccepted(Text8->text(), QStringLiteral("Device ID")))
        return false;
    QString problem;
    if (!modbus::isHexDigits(Text9->text(), 2))
        problem = QStringLiteral("功能碼 (function) \"%1\" must be two hexadecimal digits")
                      .arg(Text9->text());
    else if (!modbus::isHexDigits(Text10->text(), 4))
        problem
            = QStringLiteral("Register \"%1\" must be four hexadecimal digits").arg(Text10->text());
    else if (!modbus::isHexDigits(Text11->text(), 4))
        problem = QStringLiteral("資料(長度) (data) \"%1\" must be four hexadecimal digits")
                      .arg(Text11->text());
    if (!problem.isEmpty())
        logMessage(problem);
    return problem.isEmpty();
}

void Form1::Command2_Click()
{
    if (!manualFieldsAccepted())
        return;
    FrameText = Text8->text() + Text9->text() + Text10->text() + Text11->text();
    LrcText = Chr_lrc(FrameText);
    Text12->setText(LrcText);
    AsciiFrameText = Text7->text() + FrameText + LrcText + QStringLiteral("\r\n");
    if (MSComm1->PortOpen() && !MSComm1->Output(AsciiFrameText))
        logMessage(MSComm1->errorString());
}

void Form1::Command3_Click()
{
    if (!manualFieldsAccepted())
        return;
    composeRequest(Text9->text(), Text11->text());
    if (MSComm1->PortOpen())
        SendFrame();
}
