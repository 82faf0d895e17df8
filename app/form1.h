#pragma once

#include "measure/channels.h"
#include "measure/notes.h"
#include "measure/step.h"
#include "modbus/request.h"
#include "serial/portnames.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QStringList>
#include <QWidget>

#include <array>
#include <functional>
#include <optional>

class MSComm;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;

// The tool's one window. It owns every control, every window-level value and
// every routine; the routines are defined in the folder of their subsystem.
class Form1 : public QWidget
{
    Q_OBJECT

public:
    // Lists the system's serial devices; tests pass their own list so that a
    // scan never touches a real port.
    using SystemPortSource = std::function<QStringList()>;

    explicit Form1(SystemPortSource systemPorts = serial::systemSerialPorts,
                   QWidget *parent = nullptr);

    // Start-up: CRC tables, port scan, default selections.
    void Form_Load();

    // Port discovery.
    // True when the port can be opened now; otherwise false and, in why (if
    // given), why not. It opens the port once.
    bool IsComPortAvailable(qint16 portNum, QString *why = nullptr);
    void Combo9_Change();

    // Check fields of a request held as hexadecimal frame text.
    QString Chr_crc(const QString &frameText) const;
    QString Chr_lrc(const QString &frameText) const;

    // The device behind "COM n" as found by the last scan (empty if none).
    QString comPortDevice(int portNum) const { return ports.value(portNum); }

    // Connecting and disconnecting.
    void Command1_Click();

    // Sending a request and the traffic log.
    void GetTimeText();
    void SendFrame();
    void Command4_Click();

    // Refuses, with a log line, a device ID that is not two hex digits 01..F7.
    bool deviceIdAccepted(const QString &id, const QString &field);

    // Reading the channels: the read buttons (Command11 .. Command18) read their
    // row of the channel table.
    void readChannel(int row);
    void MSComm1_OnComm();
    void Command7_Click();
    void Timer1_Timer();
    void stopAutoScan();

    // Configuring the module.
    void Command5_Click();
    void Command8_Click();
    void Command9_Click();
    void Command10_Click();

    // The command panel.
    void Command2_Click();
    void Command3_Click();

    // Where GetTimeText reads the local time; tests set their own clock.
    std::function<QDateTime()> Clock = [] { return QDateTime::currentDateTime(); };
    // What a Connect to the port behind a device path waits for (empty: it
    // opens at once); such a port opens off the window's thread. Tests give
    // their own.
    std::function<QString(const QString &)> OpenWait = serial::openWait;

    // Window-level values.
    std::array<quint8, 256> CrcHiTable{};
    std::array<quint8, 256> CrcLoTable{};
    QString TimeText;
    QString FrameText;
    QString CrcText;
    modbus::Frame FrameBytes{};
    // What the next answer is taken for: a channel read's code (measure/channels.h), or
    // the echo of a settings write (modbus::IdBaudEcho, modbus::FormatEcho).
    qint16 PendingRequest = 0;
    QByteArray ReceivedBytes;
    QString LrcText;
    QString AsciiFrameText;

    // Controls placed on the window.
    QGroupBox *Frame1, *Frame2, *Frame3, *Frame4, *Frame5, *Frame6;
    QPushButton *Command4, *Command6, *Command7;
    QLabel *Label23, *Label24;
    QLineEdit *Text5, *Text10, *Text23;
    QPlainTextEdit *Text1;
    QTimer *Timer1;
    MSComm *MSComm1;

    // "COM"
    QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label7;
    QComboBox *Combo9, *Combo2, *Combo3, *Combo4, *Combo5;
    QLineEdit *Text8;
    QPushButton *Command1;

    // "Device Configure"
    QLabel *Label13, *Label14, *Label25, *Label26, *Label27;
    QComboBox *Combo1, *Combo6, *Combo7, *Combo8;
    QLineEdit *Text14;
    QPushButton *Command5, *Command8;

    // "Voltage" and "Current"
    QPushButton *Command11, *Command12, *Command13, *Command14;
    QPushButton *Command15, *Command16, *Command17, *Command18;
    QLineEdit *Text15, *Text16, *Text17, *Text18;
    QLineEdit *Text19, *Text20, *Text21, *Text22;

    // "VO Configure"
    QLabel *Label28, *Label29, *Label30;
    QLineEdit *Text3, *Text4;
    QPushButton *Command9, *Command10;

    // The command panel
    QLabel *Label6, *Label8, *Label9, *Label10, *Label11, *Label12;
    QLineEdit *Text7, *Text9, *Text11, *Text12, *Text13;
    QPushButton *Command2, *Command3;

    // Puts a line (ending in CR LF) on top of the traffic log.
    void prependLog(const QString &line);
    // Puts TimeText and a message on top of the log: refusals and failures.
    void logMessage(const QString &message);

private:
    // Places the controls on the page that the window shows.
    void buildControls(QWidget *page);
    void scanPorts();
    // The end of a Connect, whether the port opened at once or off the thread.
    void connected(bool opened);
    void portLost(const QString &reason);
    void logReceived(const QByteArray &bytes);
    void takeAnswers(bool quiet);
    bool takeBlock(const serial::LineErrors &errors);
    void showValue(int row, const measure::Awaited &awaited, const measure::Note &note);
    void followSettings(const measure::Awaited &write, const QString &echoNote);
    void noteDoubtfulValues();
    bool itemCode(QComboBox *list, const QString &field, int *code);
    void setupOutput(QLineEdit *source, const QString &field, quint16 reg);
    bool manualFieldsAccepted();
    void composeRequest(const QString &function, const QString &data);
    bool readyToSend();

    // Runs while bytes short of an answer wait; its timeout means the line fell quiet.
    QTimer *quietLine;
    // The last request sent, and the wait for its answer (measure::AnswerWaitMs),
    // which runs until a block taken answers it or the port closes.
    std::optional<measure::Awaited> asked;
    QTimer *noAnswer;
    // What the wait of the request awaited has seen, for its note.
    measure::Silence silence;
    // Whether answers are in step with requests, on the clock of uptime.
    measure::Step step;
    QElapsedTimer uptime;
    // The request whose own bytes an echoing adapter may hand back before its answer,
    // and whether the line has echoed one on this connection.
    QByteArray echoAwaited;
    bool lineEchoes = false;
    // The doubts about the value each channel box shows, in a few words each.
    std::array<QStringList, measure::ChannelCount> doubts;
    // Connect had the focus when it was disabled for an open off the thread.
    bool focusOnConnect = false;
    // Runs while the operator types in the Port box; its timeout rescans.
    QTimer *typingPause;
    SystemPortSource systemPorts;
    serial::PortMap ports;
    // "COM n (device) why" for each port the last scan could not offer.
    QStringList portsLeftOut;
};
