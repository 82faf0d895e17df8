#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A pseudo-terminal pair. The tool opens the slave side by its path, the test
// talks through the master side. The pair keeps a slave handle of its own
// open, so the master never sees a hang-up while the tool has the port closed.
class PtyPair
{
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool isValid() const { return masterFd >= 0; }
    QString slavePath() const { return path; }
    int master() const { return masterFd; }
    // The pair's own slave handle: the line settings the tool set are read here.
    int slave() const { return slaveFd; }
    // Bytes written by the test that the tool has not read yet.
    int unread() const;

    // Closes the master side: the tool's end then reads as a lost line.
    void closeMaster();

private:
    int masterFd = -1;
    int slaveFd = -1;
    QString path;
};

// A temporary $XDG_CONFIG_HOME with an empty port folder; the old value comes
// back when it goes.
class PortFolder
{
public:
    PortFolder();
    ~PortFolder();
    PortFolder(const PortFolder &) = delete;
    PortFolder &operator=(const PortFolder &) = delete;

    QString path() const;
    // Makes COMn a link to target (which need not exist).
    bool link(int n, const QString &target) const;

private:
    QTemporaryDir home;
    QByteArray savedHome;
    bool hadHome;
};
