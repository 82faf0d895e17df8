#pragma once

#include <QProcess>
#include <QString>

// Another process holding a device ("qt": opened with Qt Serial Port and its
// lock file; "flock": an flock on the device), until this object goes.
class Holder
{
public:
    Holder(const char *how, const QString &device)
    {
        process.start(QStringLiteral(HOLDPORT), {QString::fromLatin1(how), device});
        held = process.waitForReadyRead(10000) && process.readAll().startsWith("held");
    }
    ~Holder()
    {
        process.closeWriteChannel();
        process.waitForFinished(10000);
    }
    // Ends it as a crash or kill -9 would: nothing is given back on the way.
    void kill()
    {
        process.kill();
        process.waitForFinished(10000);
    }
    bool held = false;

private:
    QProcess process;
};
