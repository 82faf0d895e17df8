#pragma once

#include "sim/faults.h"
#include "sim/model.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>

namespace sim {

// Puts the module on a line: a pseudo-terminal whose other side the tool
// opens as COM n, or a real serial device. Runs on the Qt event loop.
class Transport : public QObject
{
    Q_OBJECT

public:
    explicit Transport(const ModuleOptions &module, const Faults &faults = {}, int delayMs = 0,
                       QObject *parent = nullptr);
    ~Transport() override;

    // Opens a pseudo-terminal and links its slave side as COMn in the port
    // folder; comNumber 0 takes the first free number of 1..9.
    bool openPty(int comNumber = 0);
    // Answers on a real serial device, set to the module's line settings.
    bool openDevice(const QString &path);
    // Stops answering and removes the COMn link.
    void close();

    QString errorString() const { return error; }
    int comNumber() const { return com; } // 0 on a real device
    QString linkPath() const { return link; }
    // What openPty found and removed: links that simulators which ended
    // without cleaning up (killed, crashed) left in the port folder.
    QStringList cleanedUp() const { return removed; }
    QString devicePath() const { return device; } // the slave side, or the device
    const Module &module() const { return model; }

Q_SIGNALS:
    void received(const QByteArray &request);
    void sent(const QByteArray &bytes);
    // Bytes that crossed the line while the tool's baud rate or stop bits
    // differed from the module's own: neither side can make sense of them.
    void garbled(const QByteArray &bytes, const QString &reason);
    void settingsChanged(const sim::Settings &settings);

private:
    struct Outgoing
    {
        QByteArray bytes;
        int waitMs = 0;
        bool thenApplySettings = false;
    };

    bool fail(const QString &message);
    void removeStaleLinks(const QString &folder);
    bool claim(const QString &path);
    void listen();
    void readLine();
    QString lineMismatch() const;
    void answer(const QByteArray &request);
    void sendNext();
    void applySettings();
    void freeAbandonedLine();

    Module model;
    FaultInjector faults;
    int delayMs;
    QElapsedTimer clock;

    int fd = -1;       // what the module reads and writes: the pty master, or the device
    int ptySlave = -1; // held open so the master never sees a hang-up
    int com = 0;
    QString link;
    int linkLock = -1; // held while the link is ours: see claim()
    QStringList removed;
    QString device;
    QString error;

    std::unique_ptr<QSocketNotifier> notifier;
    QByteArray stream;
    QList<Outgoing> queue;
    QTimer sendTimer;
    QTimer abandonTimer; // looks for a tool that went without giving the line back
};

} // namespace sim
