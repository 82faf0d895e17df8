#include "sim/options.h"

#include "modbus/protocol.h"

#include <QRegularExpression>

#include <limits>

namespace sim {

namespace {

// The number an option holds, or nullopt when it is no whole number in range.
std::optional<int> number(const QString &text, int low, int high, int base = 10)
{
    bool ok = false;
    const int value = text.toInt(&ok, base);
    return ok && value >= low && value <= high ? std::optional(value) : std::nullopt;
}

} // namespace

std::optional<Config> parseCommandLine(QCommandLineParser &parser, const QStringList &arguments,
                                       QString *why)
{
    parser.setApplicationDescription(QStringLiteral(
        "Simulates the Duve I/O module (its voltage and current inputs, two voltage outputs) on a\n"
        "Modbus RTU line: a pseudo-terminal linked as COM n in the port folder, or a real serial\n"
        "device. It answers only while the line's baud rate and stop bits match its own, and\n"
        "changes its own settings after echoing a settings write."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption com(
        QStringLiteral("com"),
        QStringLiteral("Link as COM <n> (1-9); default: the first free number."),
        QStringLiteral("n"));
    const QCommandLineOption device(
        QStringLiteral("device"),
        QStringLiteral("Answer on the serial device <path> instead of a pseudo-terminal."),
        QStringLiteral("path"));
    const QCommandLineOption id(QStringLiteral("id"),
                                QStringLiteral("Device ID in hexadecimal, 01-F7 (default 01)."),
                                QStringLiteral("hex"), QStringLiteral("01"));
    QStringList rates;
    for (const modbus::BaudRate &b : modbus::BaudRates)
        rates << QString::number(b.rate);
    const QCommandLineOption baud(
        QStringLiteral("baud"),
        QStringLiteral("Baud rate: %1 (default 38400).").arg(rates.join(QStringLiteral(", "))),
        QStringLiteral("rate"), QStringLiteral("38400"));
    const QCommandLineOption format(
        QStringLiteral("format"),
        QStringLiteral(
            "Character format: data bits 5-8, parity N/E/O, stop bits 1-2 (default 8N1)."),
        QStringLiteral("format"), QStringLiteral("8N1"));
    QStringList defaults;
    for (const InputChannel &input : InputChannels)
        defaults << QStringLiteral("%1=%2").arg(QLatin1String(input.name)).arg(input.value);
    const QCommandLineOption value(
        QStringLiteral("value"),
        QStringLiteral("Input value 0-65535, e.g. V1=1500 or I2=8000; may be repeated.\n"
                       "Defaults: %1.")
            .arg(defaults.join(QStringLiteral(" "))),
        QStringLiteral("ch=value"));
    const QCommandLineOption vary(
        QStringLiteral("vary"),
        QStringLiteral("Let the inputs drift slowly (a few percent over 30 s)."));
    const QCommandLineOption loopBack(
        QStringLiteral("loopback"),
        QStringLiteral("Wire VO1 and VO2 back into V1 and V2 (0 until written)."));
    const QCommandLineOption delay(
        QStringLiteral("delay"),
        QStringLiteral("Answer <ms> milliseconds after the request (default 0)."),
        QStringLiteral("ms"), QStringLiteral("0"));
    const QCommandLineOption drop(QStringLiteral("drop"),
                                  QStringLiteral("Lose every <n>th answer."), QStringLiteral("n"),
                                  QStringLiteral("0"));
    const QCommandLineOption corrupt(
        QStringLiteral("corrupt"),
        QStringLiteral("Damage every <n>th answer: its last byte before the check bytes is "
                       "inverted, so they no longer fit."),
        QStringLiteral("n"), QStringLiteral("0"));
    const QCommandLineOption split(QStringLiteral("split"),
                                   QStringLiteral("Send each answer in <n> pieces, 20 ms apart."),
                                   QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption wrongId(
        QStringLiteral("wrong-id"),
        QStringLiteral("Answer every <n>th time as another device (its ID + 1), the check bytes "
                       "fitting."),
        QStringLiteral("n"), QStringLiteral("0"));
    const QCommandLineOption wrongCount(
        QStringLiteral("wrong-count"),
        QStringLiteral("Give every <n>th answer, where it is a read answer, a byte count 2 too "
                       "high, the check bytes fitting."),
        QStringLiteral("n"), QStringLiteral("0"));
    const QCommandLineOption exception(
        QStringLiteral("exception"),
        QStringLiteral("Refuse every <n>th request with exception 04 (server device failure), "
                       "taking nothing from it."),
        QStringLiteral("n"), QStringLiteral("0"));
    const QCommandLineOption echo(
        QStringLiteral("echo"),
        QStringLiteral("Hand every request back at once, before its answer, as a two-wire RS-485 "
                       "adapter without echo suppression does."));
    const QCommandLineOption stray(
        QStringLiteral("stray"),
        QStringLiteral("Send a stray byte (FF) before every <n>th answer, as an unbiased RS-485 "
                       "line gives when it turns around."),
        QStringLiteral("n"), QStringLiteral("0"));
    const QCommandLineOption noise(
        QStringLiteral("noise"),
        QStringLiteral("Send noise (00 E0 FE 00 80, no frame) in place of every <n>th answer."),
        QStringLiteral("n"), QStringLiteral("0"));
    const QCommandLineOption quiet(QStringLiteral("quiet"),
                                   QStringLiteral("Print only where it listens, not the traffic."));
    parser.addOptions({com, device, id, baud, format, value, vary, loopBack, delay, drop, corrupt,
                       split, wrongId, wrongCount, exception, echo, stray, noise, quiet});

    const auto refuse = [&](const QString &message) {
        if (why)
            *why = message;
        return std::nullopt;
    };
    if (!parser.parse(arguments))
        return refuse(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return refuse(
            QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));

    Config config;
    Settings &settings = config.module.settings;
    if (parser.isSet(com) && parser.isSet(device))
        return refuse(QStringLiteral("--com and --device exclude each other"));
    if (parser.isSet(com)) {
        const auto n = number(parser.value(com), 1, 9);
        if (!n)
            return refuse(
                QStringLiteral("--com must be 1 to 9, not \"%1\"").arg(parser.value(com)));
        config.com = *n;
    }
    config.device = parser.value(device);

    const auto deviceId
        = parser.value(id).size() <= 2 ? number(parser.value(id), 1, 0xF7, 16) : std::nullopt;
    if (!deviceId)
        return refuse(
            QStringLiteral("--id must be hexadecimal 01 to F7, not \"%1\"").arg(parser.value(id)));
    settings.deviceId = static_cast<quint8>(*deviceId);

    const auto rate = number(parser.value(baud), 1, std::numeric_limits<int>::max());
    if (!rate || modbus::baudCode(*rate) == 0)
        return refuse(QStringLiteral("--baud \"%1\" is not one of the module's rates")
                          .arg(parser.value(baud)));
    settings.line.baud = *rate;

    static const QRegularExpression formatPattern(QStringLiteral("^([5-8])([neo])([12])$"),
                                                  QRegularExpression::CaseInsensitiveOption);
    const auto match = formatPattern.match(parser.value(format));
    if (!match.hasMatch())
        return refuse(
            QStringLiteral("--format must look like 8N1, not \"%1\"").arg(parser.value(format)));
    settings.line.dataBits = match.captured(1).toInt();
    settings.line.parity = match.captured(2).toLower().at(0).toLatin1();
    settings.line.stopBits = match.captured(3).toInt();

    for (const QString &pair : parser.values(value)) {
        const QStringList parts = pair.split(QLatin1Char('='));
        const int channel = parts.size() == 2 ? channelIndex(parts[0]) : -1;
        const auto v = parts.size() == 2 ? number(parts[1], 0, 65535) : std::nullopt;
        if (channel < 0 || !v)
            return refuse(
                QStringLiteral(
                    "--value must look like V1=1500 (an input's name, 0-65535), not \"%1\"")
                    .arg(pair));
        config.module.inputs[channel] = static_cast<quint16>(*v);
    }
    config.module.vary = parser.isSet(vary);
    config.module.loopBack = parser.isSet(loopBack);
    // Looped-back inputs show the outputs as written: say what that overrides.
    for (int channel = 0; config.module.loopBack && channel < 2; ++channel) {
        const QString input = channelName(channel);
        QStringList lost;
        for (const QString &pair : parser.values(value))
            if (channelIndex(QStringView(pair).split(u'=').first()) == channel)
                lost << "--value " + pair;
        if (config.module.vary)
            lost << QStringLiteral("--vary");
        if (!lost.isEmpty())
            config.notes << QStringLiteral("--loopback: %1 shows VO%2 as written, not %3")
                                .arg(input)
                                .arg(channel + 1)
                                .arg(lost.join(QStringLiteral(" or ")));
    }

    const struct
    {
        const QCommandLineOption &option;
        int low;
        int *target;
    } counts[] = {{delay, 0, &config.delayMs},
                  {drop, 0, &config.faults.dropEvery},
                  {corrupt, 0, &config.faults.corruptEvery},
                  {split, 1, &config.faults.splitPieces},
                  {wrongId, 0, &config.faults.wrongIdEvery},
                  {wrongCount, 0, &config.faults.wrongCountEvery},
                  {stray, 0, &config.faults.strayEvery},
                  {noise, 0, &config.faults.noiseEvery},
                  {exception, 0, &config.module.exceptionEvery}};
    for (const auto &count : counts) {
        const auto n = number(parser.value(count.option), count.low, 1000000);
        if (!n)
            return refuse(QStringLiteral("--%1 must be a whole number from %2, not \"%3\"")
                              .arg(count.option.names().first())
                              .arg(count.low)
                              .arg(parser.value(count.option)));
        *count.target = *n;
    }
    config.faults.echo = parser.isSet(echo);
    config.quiet = parser.isSet(quiet);
    return config;
}

} // namespace sim
