#pragma once

#include "serial/parity.h"
#include "serial/settings.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

// The serial control of the window: one port, opened by number with a line
// settings text, raising OnComm on the event thread whenever bytes arrive
// (a receive threshold of one byte). Input and output buffers grow as
// needed instead of holding 1024 and 512 bytes, so nothing is ever dropped.
// On a real port with parity, a byte received with a parity error (on Linux
// also a framing error) reads as the replacement character "?".
class MSComm : public QObject
{
    Q_OBJECT

public:
    // Event code of CommEvent for "data received".
    static constexpr qint16 comEvReceive = 2;

    // Gives the device path behind a port number (empty if none).
    using PortResolver = std::function<QString(int)>;

    explicit MSComm(PortResolver resolver, QObject *parent = nullptr);
    ~MSComm() override;

    qint16 CommPort() const { return commPort; }
    void setCommPort(qint16 port) { commPort = port; }

    // A refused text leaves the previous settings in force; errorString says why.
    QString Settings() const { return settingsText; }
    bool setSettings(const QString &text);

    bool PortOpen() const;
    // False when the port could not be opened; errorString says why.
    bool setPortOpen(bool open);
    // Opens the port as setPortOpen(true) does, off the event thread where an
    // open may block (on Windows; a Bluetooth port's open reaches out to its
    // device for seconds): the result comes by Opened, on the event thread.
    void openInBackground();

    // False when the write failed; errorString says why. On Windows a write
    // that finds the device gone is the lost port instead, told by PortLost.
    bool Output(const QByteArray &bytes);
    bool Output(const QString &text);

    qint16 CommEvent() const { return commEvent; }
    qint16 InBufferCount() const;
    QByteArray Input();
    // The first count waiting bytes, removed; the rest stay waiting.
    QByteArray Input(qint64 count);
    // The waiting bytes, left waiting.
    QByteArray Peek();
    // The line errors the driver reported since they were last taken, to be
    // told with the bytes taken now; none where the driver tells nothing.
    serial::LineErrors takeLineErrors();

    QString errorString() const { return error; }
    // "COM n (device)", for messages.
    QString portName() const;

Q_SIGNALS:
    void OnComm();
    // The device went away while open (adapter unplugged, peer closed): the
    // port has been closed already.
    void PortLost(const QString &reason);
    // Bytes handed to Output could not be written.
    void WriteFailed(const QString &reason);
    // A read failed while the device is still there; reading goes on.
    void ReadFailed(const QString &reason);
    // The end of openInBackground: opened, or errorString says why not.
    void Opened(bool opened);

private:
    // The system's side of the port, one per platform: Qt Serial Port on
    // Linux (mscomm_unix.cpp), the Win32 communications functions on Windows
    // (mscomm_win.cpp). Each also defines the members that reach it.
    class Port;

    bool open();
    bool fail(const QString &why);
    // Bytes have arrived, as the operator is to see them, with the line
    // errors the driver reported as they came.
    void arrived(const QByteArray &bytes, const serial::LineErrors &errors = {});

    PortResolver resolver;
    std::unique_ptr<Port> port;
    qint16 commPort = 1;
    QString settingsText = QStringLiteral("9600,n,8,1");
    serial::LineSettings settings;
    QString device;
    qint16 commEvent = 0;
    // What has arrived and not been taken.
    QByteArray received;
    serial::LineErrors lineErrors;
    QString error;
};

namespace serial {

// The log line of a port that went away while open. systemText is the
// system's own words for the failure where they say more than that, else empty.
QString lossMessage(const QString &portName, const QString &systemText);

} // namespace serial
