// plc-sim: the simulated PLC on a pseudo-terminal, for trying the program without hardware and
// for its end-to-end tests.

#include "sim/demo_plc.h"
#include "sim/plant.h"
#include "sim/plant_poller.h"
#include "sim/plc_model.h"
#include "sim/pty_server.h"
#include "sim/rtu_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

extern "C" void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &c, 1);
}

// SIGINT and SIGTERM end the event loop from the handler through a pipe, so the exit is an
// ordinary one: the symlink is removed and the log flushed.
bool quitOnSignals(QCoreApplication &app)
{
    if (::pipe(g_signalPipe) != 0)
        return false;
    for (const int fd : g_signalPipe)
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [notifier] {
        notifier->setEnabled(false);
        QCoreApplication::quit();
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return sigaction(SIGINT, &action, nullptr) == 0 && sigaction(SIGTERM, &action, nullptr) == 0;
}

[[noreturn]] void usageError(const QString &message)
{
    std::fprintf(stderr, "plc-sim: %s\n", qPrintable(message));
    std::exit(2);
}

int number(const QCommandLineParser &parser, const QString &option, int min, int max)
{
    // Decimal, or hex with 0x in front; never octal, which a leading zero would give.
    const QString text = parser.value(option);
    bool ok = false;
    const int value = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
                          ? text.mid(2).toInt(&ok, 16)
                          : text.toInt(&ok, 10);
    if (!ok || value < min || value > max) {
        usageError(QStringLiteral("--%1 wants a number from %2 to %3, not \"%4\"")
                       .arg(option)
                       .arg(min)
                       .arg(max)
                       .arg(text));
    }
    return value;
}

// A log file, or stderr for "-".
void openLog(const QString &path, QFile &file)
{
    const bool opened =
        path == QLatin1String("-")
            ? file.open(stderr, QIODevice::WriteOnly)
            : (file.setFileName(path), file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    if (!opened)
        usageError(QStringLiteral("cannot write the log %1: %2").arg(path, file.errorString()));
}

QSet<quint16> addresses(const QCommandLineParser &parser, const QString &option)
{
    QSet<quint16> out;
    for (QString text : parser.values(option)) {
        if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
            text = text.mid(2);
        bool ok = false;
        const uint value = text.toUInt(&ok, 16);
        if (!ok || value > 0xFFFF)
            usageError(QStringLiteral("--%1 wants a hex address such as 2008, not \"%2\"")
                           .arg(option, text));
        out.insert(static_cast<quint16>(value));
    }
    return out;
}

QByteArray hexBytes(const QCommandLineParser &parser, const QString &option)
{
    const QString text = parser.value(option);
    const QByteArray bytes = QByteArray::fromHex(text.toLatin1());
    if (text.size() % 2 != 0 || bytes.size() * 2 != text.size())
        usageError(
            QStringLiteral("--%1 wants hex bytes such as 0D0A, not \"%2\"").arg(option, text));
    return bytes;
}

// Reads the plant file again whenever it changes, so that a plant can be mended while the PLC
// runs; a file with faults is reported and the plant before it kept.
void followPlantFile(const QString &path, sim::PlantPoller &poller, QObject *parent)
{
    // The folder too: an editor that saves by renaming a new file over the old one leaves
    // nothing to watch at the old file's place for a moment.
    auto *watcher =
        new QFileSystemWatcher(QStringList{path, QFileInfo(path).absolutePath()}, parent);
    auto *settle = new QTimer(parent);
    settle->setSingleShot(true);
    // An editor may write the file in several steps, or replace it: read it once it is quiet.
    settle->setInterval(100);
    QObject::connect(watcher, &QFileSystemWatcher::fileChanged, settle, [=] { settle->start(); });
    QObject::connect(watcher, &QFileSystemWatcher::directoryChanged, settle,
                     [=] { settle->start(); });
    QObject::connect(settle, &QTimer::timeout, parent, [=, &poller] {
        if (!watcher->files().contains(path))
            watcher->addPath(path);
        QString faults;
        const std::optional<sim::Plant> plant = sim::readPlantFile(path, &faults);
        if (!plant) {
            std::fprintf(stderr,
                         "plc-sim: the plant in %s is not taken, the one before stays:\n%s\n",
                         qPrintable(path), qPrintable(faults));
            return;
        }
        if (*plant == poller.plant())
            return;
        poller.setPlant(*plant);
        std::fprintf(stderr, "plc-sim: plant read again from %s\n", qPrintable(path));
    });
}

} // namespace

int main(int argc, char *argv[])
{
    // Qt's own event dispatcher: its timers keep the time they are given, where GLib's round
    // every wait up to the next millisecond, which would make --wire answers late.
    qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("plc-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PLC_CONFIG_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulated PLC on a pseudo-terminal. Prints the device path, then serves until "
        "interrupted."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        {QStringLiteral("link"), QStringLiteral("Make a symlink to the device at <path>."),
         QStringLiteral("path")},
        {QStringLiteral("demo"), QStringLiteral("Fill the PLC with demo contents.")},
        {QStringLiteral("sensors"), QStringLiteral("Put <n> generated sensors on the 1-wire bus."),
         QStringLiteral("n")},
        {QStringLiteral("sensor"),
         QStringLiteral("Put a sensor with this ROM code (16 hex digits, byte 0 first) on the "
                        "bus; repeatable."),
         QStringLiteral("hex16")},
        {QStringLiteral("search-delay"),
         QStringLiteral("A bus search takes <ms> milliseconds (default 3000)."),
         QStringLiteral("ms")},
        {QStringLiteral("cpu-type"), QStringLiteral("CPU type word (default 0x1234)."),
         QStringLiteral("n")},
        {QStringLiteral("delay"), QStringLiteral("Answer <ms> milliseconds after each request."),
         QStringLiteral("ms")},
        {QStringLiteral("split"), QStringLiteral("Send each answer in <n> pieces."),
         QStringLiteral("n")},
        {QStringLiteral("gap"), QStringLiteral("Milliseconds between the pieces of an answer."),
         QStringLiteral("ms")},
        {QStringLiteral("silent"), QStringLiteral("Answer nothing at all.")},
        {QStringLiteral("silent-at"),
         QStringLiteral("Do not answer requests that touch this hex address; repeatable."),
         QStringLiteral("addr")},
        {QStringLiteral("refuse-at"),
         QStringLiteral("Refuse (NAK) writes that touch this hex address; repeatable."),
         QStringLiteral("addr")},
        {QStringLiteral("stray"), QStringLiteral("Send these hex bytes before every answer."),
         QStringLiteral("hex")},
        {QStringLiteral("stray-after"), QStringLiteral("Send these hex bytes after every answer."),
         QStringLiteral("hex")},
        {QStringLiteral("damage-at"),
         QStringLiteral("Damage the answers to requests that touch this hex address: a digit "
                        "of a data answer changed, 'X' for a write; repeatable."),
         QStringLiteral("addr")},
        {QStringLiteral("damage-count"), QStringLiteral("Damage only the next <n> such answers."),
         QStringLiteral("n")},
        {QStringLiteral("late-once"),
         QStringLiteral("Hold the next answer back <ms> milliseconds."), QStringLiteral("ms")},
        {QStringLiteral("store-wrong-at"),
         QStringLiteral("Acknowledge writes that touch this hex address but store the byte there "
                        "inverted; repeatable."),
         QStringLiteral("addr")},
        {QStringLiteral("flood-at"),
         QStringLiteral("After a request that touches this hex address, flood the line with "
                        "garbage for good; repeatable."),
         QStringLiteral("addr")},
        {QStringLiteral("hang-up-at"),
         QStringLiteral("Hang up (close the line and end) when request <n> arrives."),
         QStringLiteral("n")},
        {QStringLiteral("wire"),
         QStringLiteral("Hold each answer back by the time the request and the answer take on a "
                        "real line (see --line).")},
        {QStringLiteral("line"),
         QStringLiteral("The line settings whose timing --wire follows, such as 9600,N,7,1 "
                        "(default 9600,N,8,1); implies --wire."),
         QStringLiteral("settings")},
        {QStringLiteral("log"),
         QStringLiteral("Write every request and answer to <file> (- for stderr)."),
         QStringLiteral("file")},
        {QStringLiteral("plant"),
         QStringLiteral("Put the field devices of this plant file behind the PLC: its Modbus "
                        "masters poll the slaves, its 1-wire master reads the sensors. Read again "
                        "when the file changes."),
         QStringLiteral("file")},
        {QStringLiteral("plant-log"),
         QStringLiteral("Write one line per poll and sensor read, with the values, to <file> "
                        "(- for stderr)."),
         QStringLiteral("file")},
    });
    parser.process(app);
    if (!parser.positionalArguments().isEmpty())
        usageError(
            QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first()));

    sim::PlcModel model;
    if (parser.isSet(QStringLiteral("demo")))
        sim::fillDemoPlc(model);
    if (parser.isSet(QStringLiteral("sensors")) || parser.isSet(QStringLiteral("sensor"))) {
        QList<sim::RomCode> roms;
        if (parser.isSet(QStringLiteral("sensors"))) {
            const int n =
                number(parser, QStringLiteral("sensors"), 0, sim::PlcModel::MaxFoundSensors);
            for (int i = 0; i < n; ++i)
                roms.append(sim::generatedRom(i));
        }
        for (const QString &text : parser.values(QStringLiteral("sensor"))) {
            sim::RomCode rom;
            if (!sim::parseRom(text, &rom))
                usageError(QStringLiteral("--sensor wants 16 hex digits, not \"%1\"").arg(text));
            roms.append(rom);
        }
        model.setBusSensors(roms);
    }
    if (parser.isSet(QStringLiteral("search-delay")))
        model.setSearchDelayMs(number(parser, QStringLiteral("search-delay"), 0, 3600000));
    if (parser.isSet(QStringLiteral("cpu-type")))
        model.setCpuType(
            static_cast<quint16>(number(parser, QStringLiteral("cpu-type"), 0, 0xFFFF)));

    sim::Faults &faults = model.faults();
    if (parser.isSet(QStringLiteral("delay")))
        faults.delayMs = number(parser, QStringLiteral("delay"), 0, 600000);
    if (parser.isSet(QStringLiteral("split")))
        faults.pieces = number(parser, QStringLiteral("split"), 1, 1000);
    if (parser.isSet(QStringLiteral("gap")))
        faults.gapMs = number(parser, QStringLiteral("gap"), 0, 600000);
    faults.silent = parser.isSet(QStringLiteral("silent"));
    faults.silentAt = addresses(parser, QStringLiteral("silent-at"));
    faults.refuseAt = addresses(parser, QStringLiteral("refuse-at"));
    if (parser.isSet(QStringLiteral("stray")))
        faults.strayBefore = hexBytes(parser, QStringLiteral("stray"));
    if (parser.isSet(QStringLiteral("stray-after")))
        faults.strayAfter = hexBytes(parser, QStringLiteral("stray-after"));
    faults.damageAt = addresses(parser, QStringLiteral("damage-at"));
    if (parser.isSet(QStringLiteral("damage-count")))
        faults.damageCount = number(parser, QStringLiteral("damage-count"), 0, 1000000);
    if (parser.isSet(QStringLiteral("late-once")))
        faults.lateOnceMs = number(parser, QStringLiteral("late-once"), 0, 600000);
    faults.floodAt = addresses(parser, QStringLiteral("flood-at"));
    faults.storeWrongAt = addresses(parser, QStringLiteral("store-wrong-at"));
    if (parser.isSet(QStringLiteral("hang-up-at")))
        faults.hangUpAt = number(parser, QStringLiteral("hang-up-at"), 1, 1000000);

    QFile logFile;
    if (parser.isSet(QStringLiteral("log"))) {
        openLog(parser.value(QStringLiteral("log")), logFile);
        model.setLogDevice(&logFile);
    }

    std::unique_ptr<sim::PlantPoller> poller;
    QFile plantLogFile;
    if (parser.isSet(QStringLiteral("plant"))) {
        const QString path = parser.value(QStringLiteral("plant"));
        QString faults;
        const std::optional<sim::Plant> plant = sim::readPlantFile(path, &faults);
        if (!plant)
            usageError(QStringLiteral("the plant in %1 has faults:\n%2").arg(path, faults));
        // Qt's Modbus slaves warn of every piece of a request that arrives before its end, as
        // the paced line delivers it; what the polls meet is in the logs instead.
        QLoggingCategory::setFilterRules(QStringLiteral("qt.modbus.warning=false"));
        poller = std::make_unique<sim::PlantPoller>(
            model, [] { return std::make_unique<sim::RtuLine>(); });
        poller->setPlant(*plant);
        if (parser.isSet(QStringLiteral("plant-log"))) {
            openLog(parser.value(QStringLiteral("plant-log")), plantLogFile);
            poller->setPlantLog(&plantLogFile);
        }
        followPlantFile(path, *poller, &app);
        poller->reconfigure();
    } else if (parser.isSet(QStringLiteral("plant-log"))) {
        usageError(QStringLiteral("--plant-log needs --plant"));
    }

    if (!quitOnSignals(app))
        usageError(QStringLiteral("cannot catch SIGINT and SIGTERM"));

    sim::PtyServer server(model);
    if (parser.isSet(QStringLiteral("wire")) || parser.isSet(QStringLiteral("line"))) {
        const QString line = parser.isSet(QStringLiteral("line"))
                                 ? parser.value(QStringLiteral("line"))
                                 : QStringLiteral("9600,N,8,1");
        const auto charTime = sim::wireCharTimeUs(line);
        if (!charTime)
            usageError(QStringLiteral("--line wants settings such as 9600,N,7,1 or 115200,E,8,1.5, "
                                      "not \"%1\"")
                           .arg(line));
        server.setCharTimeUs(*charTime);
    }
    QObject::connect(&server, &sim::PtyServer::hungUp, &app, &QCoreApplication::quit);
    if (parser.isSet(QStringLiteral("link")))
        server.setLinkPath(parser.value(QStringLiteral("link")));
    if (!server.start()) {
        std::fprintf(stderr, "plc-sim: %s\n", qPrintable(server.errorString()));
        return 1;
    }
    std::printf("%s\n", qPrintable(server.devicePath()));
    std::fflush(stdout);

    const int rc = QCoreApplication::exec();
    poller.reset();
    server.stop();
    model.setLogDevice(nullptr);
    return rc;
}
