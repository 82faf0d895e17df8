// duve-sim: the I/O module on a pseudo-terminal (COM n) or a real serial line.
#include "sim/options.h"
#include "sim/quitsignal.h"
#include "sim/transport.h"

#include <QCoreApplication>
#include <QTextStream>

static QString hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

static QString settingsText(const sim::Settings &settings)
{
    return QStringLiteral("device ID %1, %2 baud %3")
        .arg(QStringLiteral("%1").arg(settings.deviceId, 2, 16, QLatin1Char('0')).toUpper())
        .arg(settings.line.baud)
        .arg(sim::formatName(settings.line));
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("duve-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(DUVE_VERSION));

    QCommandLineParser parser;
    QString error;
    const auto config = sim::parseCommandLine(parser, app.arguments(), &error);
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp();
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    QTextStream err(stderr);
    if (!config) {
        err << "duve-sim: " << error << Qt::endl;
        return 2;
    }

    for (const QString &note : config->notes)
        err << "duve-sim: " << note << Qt::endl;

    sim::quitOnSignals(&app);
    sim::Transport transport(config->module, config->faults, config->delayMs);
    const bool open = config->device.isEmpty() ? transport.openPty(config->com)
                                               : transport.openDevice(config->device);
    if (!open) {
        err << "duve-sim: " << transport.errorString() << Qt::endl;
        return 1;
    }

    QTextStream out(stdout);
    for (const QString &note : transport.cleanedUp())
        out << note << Qt::endl;
    if (!config->quiet) {
        QObject::connect(&transport, &sim::Transport::received, &app,
                         [&](const QByteArray &bytes) { out << "<- " << hex(bytes) << Qt::endl; });
        QObject::connect(&transport, &sim::Transport::sent, &app,
                         [&](const QByteArray &bytes) { out << "-> " << hex(bytes) << Qt::endl; });
        QObject::connect(&transport, &sim::Transport::garbled, &app,
                         [&](const QByteArray &bytes, const QString &why) {
                             out << "garbled " << hex(bytes) << ": " << why << Qt::endl;
                         });
        QObject::connect(&transport, &sim::Transport::settingsChanged, &app,
                         [&](const sim::Settings &settings) {
                             out << "now " << settingsText(settings) << Qt::endl;
                         });
    }
    out << "Module " << settingsText(transport.module().settings()) << Qt::endl;
    if (transport.comNumber() > 0)
        out << "Listening on COM " << transport.comNumber() << " (" << transport.devicePath() << ")"
            << Qt::endl;
    else
        out << "Listening on " << transport.devicePath() << Qt::endl;
    return app.exec();
}
