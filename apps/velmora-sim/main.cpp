// velmora-sim: plays the device on a pseudo-terminal until Ctrl-C or SIGTERM.

#include "device/devicemodel.h"
#include "device/ptydevice.h"
#include "protocol/parameterblock.h"
#include "shell/stopsignals.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <cstdlib>

namespace {

// Flushed at once: whoever started this program may be reading a pipe.
void printLine(FILE *stream, const QString &line)
{
    std::fputs(line.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

QString description()
{
    QStringList lines = {
        QStringLiteral("Plays the Velmora device on a pseudo-terminal until Ctrl-C or SIGTERM."),
        QString(),
        QStringLiteral("The device starts with these values, as a READ reports them:"),
    };
    const QString report = Protocol::readReport(DeviceModel::startParameters());
    for (const QString &line : report.split(QStringLiteral("\r\n")))
        lines << QStringLiteral("  ") + line;
    lines << QStringLiteral("and the exciter address %1, which READ does not show.")
                 .arg(DeviceModel::StartExciterAddress, 2, 16, QLatin1Char('0'));
    return lines.join(QLatin1Char('\n'));
}

// A non-negative whole number, or -1.
int count(const QCommandLineParser &parser, const QCommandLineOption &option)
{
    if (!parser.isSet(option))
        return 0;
    bool ok = false;
    const int value = parser.value(option).toInt(&ok);
    return ok && value >= 0 ? value : -1;
}

// The knobs from the command line; exits on --help, --version and errors.
DeviceOptions parseOptions(const QCoreApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(description());
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption delay(QStringLiteral("delay"),
                                   QStringLiteral("Answer every frame <ms> milliseconds late."),
                                   QStringLiteral("ms"));
    const QString splitHelp = QStringLiteral("Send the first <n> bytes of a reply, the rest %1 ms later.")
                                  .arg(PtyDevice::SplitGapMs);
    const QCommandLineOption split(QStringLiteral("split"), splitHelp, QStringLiteral("n"));
    const QCommandLineOption silent(QStringLiteral("silent"),
                                    QStringLiteral("Apply frames but never answer."));
    const QCommandLineOption fail(QStringLiteral("fail"),
                                  QStringLiteral("Refuse every frame with the failure reply."));
    const QCommandLineOption verbose(QStringLiteral("verbose"),
                                     QStringLiteral("Log every frame received and its reply."));
    const QCommandLineOption baud(
        QStringLiteral("baud"),
        QStringLiteral("Pace the line like a UART of <rate> baud: answer once the frame has had "
                       "its line time, and send replies in chunks of at most 1 ms of line time."),
        QStringLiteral("rate"));
    QStringList keys;
    for (const Protocol::BlockField &field : Protocol::blockFields())
        keys << QLatin1String(field.key);
    const QCommandLineOption ignore(
        QStringLiteral("ignore"),
        QStringLiteral("Acknowledge writes of <key> but keep its old value (%1).").arg(keys.join(QLatin1Char(' '))),
        QStringLiteral("key"));
    const QCommandLineOption bytes(QStringLiteral("bytes"),
                                   QStringLiteral("Log as --verbose does, each line led by the frame's bytes in hex."));
    parser.addOptions({delay, split, silent, fail, verbose, bytes, baud, ignore});
    parser.process(app);

    DeviceOptions options;
    options.delayMs = count(parser, delay);
    options.splitAt = count(parser, split);
    options.silent = parser.isSet(silent);
    options.fail = parser.isSet(fail);
    options.verbose = parser.isSet(verbose);
    options.logBytes = parser.isSet(bytes);
    options.baud = count(parser, baud);
    if (options.delayMs < 0 || options.splitAt < 0 || options.baud < 0) {
        printLine(stderr, QStringLiteral("velmora-sim: --delay, --split and --baud take a number of 0 or more"));
        std::exit(2);
    }
    if (parser.isSet(ignore)) {
        options.ignoredField = Protocol::blockField(parser.value(ignore));
        if (!options.ignoredField) {
            printLine(stderr, QStringLiteral("velmora-sim: --ignore %1: not one of %2")
                                  .arg(parser.value(ignore), keys.join(QLatin1Char(' '))));
            std::exit(2);
        }
    }
    if (!parser.positionalArguments().isEmpty()) {
        printLine(stderr, QStringLiteral("velmora-sim: unexpected argument ")
                              + parser.positionalArguments().first());
        std::exit(2);
    }
    return options;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velmora-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELMORA_VERSION));
    const DeviceOptions options = parseOptions(app);

    StopSignals stopSignals;
    if (!stopSignals.install()) {
        printLine(stderr, QStringLiteral("velmora-sim: cannot handle signals"));
        return 1;
    }
    QObject::connect(&stopSignals, &StopSignals::received, &app, &QCoreApplication::quit);

    PtyDevice device(options);
    QObject::connect(&device, &PtyDevice::logLine, &app,
                     [](const QString &line) { printLine(stdout, line); });
    if (!device.open()) {
        printLine(stderr, QStringLiteral("velmora-sim: ") + device.errorString());
        return 1;
    }
    printLine(stdout, QStringLiteral("Simulated device on ") + device.slavePath());
    printLine(stdout, QStringLiteral("Connect with: velmora --port COM1=") + device.slavePath());

    return app.exec();
}
