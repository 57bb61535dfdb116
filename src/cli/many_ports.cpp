#include "cli/many_ports.h"

#include "common/errors.h"
#include "link/device_map.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>

#include <algorithm>
#include <cstdio>
#include <list>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/prctl.h>
#endif

namespace ManyPorts {
namespace {

const QString PortOption = QStringLiteral("--port");
const QString PortsOption = QStringLiteral("--ports");
// Commands whose argument is a file they write: each port gets a file of its own.
const QString UploadCommand = QStringLiteral("upload");

// Names match as the file system compares them: a shell's glob on Linux tells ttyusb from ttyUSB.
#ifdef Q_OS_WIN
constexpr QDir::Filters Listing = QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot;
#else
constexpr QDir::Filters Listing =
    QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot | QDir::CaseSensitive;
#endif

// Every existing path the pattern matches, each of its parts a wildcard of its own, in name order.
QStringList expand(const QString &pattern)
{
    static const QRegularExpression wildcard(QStringLiteral("[*?\\[]"));
    const QString path = QDir::fromNativeSeparators(pattern);
    QStringList found{path.startsWith(QLatin1Char('/')) ? QStringLiteral("/") : QString()};
    auto join = [](const QString &folder, const QString &name) {
        return folder.isEmpty() || folder.endsWith(QLatin1Char('/')) ? folder + name
                                                                     : folder + u'/' + name;
    };
    for (const QString &part : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        QStringList next;
        for (const QString &folder : std::as_const(found)) {
            if (!part.contains(wildcard)) {
                next << join(folder, part);
                continue;
            }
            const QDir dir(folder.isEmpty() ? QStringLiteral(".") : folder);
            for (const QString &name : dir.entryList({part}, Listing, QDir::Name))
                next << join(folder, name);
        }
        found = next;
    }
    found.removeIf([](const QString &p) { return !QFileInfo::exists(p); });
    return found;
}

// What tells two ports apart: the device a COM name maps to, and a device by the file it leads
// to, so COM1 and the device set.ini gives it are one port.
QString identity(const QString &port, const QString &iniPath)
{
    static const QRegularExpression comName(QStringLiteral("^COM([1-9]|10)$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch com = comName.match(port);
    const QString device = com.hasMatch() ? comDevice(com.captured(1).toInt(), iniPath) : port;
    if (!device.contains(QLatin1Char('/')) && !device.contains(QLatin1Char('\\')))
        return device.toUpper();
    const QString canonical = QFileInfo(device).canonicalFilePath();
    return canonical.isEmpty() ? device : canonical;
}

// How one port's process went.
struct PortRun
{
    QString port;
    QProcess process;
    QByteArray pending[2]; // the unfinished last line of stdout and of stderr
    QElapsedTimer timer;
    double seconds = 0;
    int status = 1;
    QString outcome = QStringLiteral("not started");
};

// Passes whole lines of a port's output on with the port in front; with flush, the rest too.
void forward(PortRun &run, int channel, const QByteArray &bytes, bool flush = false)
{
    QByteArray &pending = run.pending[channel];
    pending += bytes;
    if (flush && !pending.isEmpty() && !pending.endsWith('\n'))
        pending += '\n';
    std::FILE *to = channel == 0 ? stdout : stderr;
    const QByteArray prefix = run.port.toLocal8Bit() + ": ";
    qsizetype from = 0;
    for (qsizetype end; (end = pending.indexOf('\n', from)) >= 0; from = end + 1) {
        const QByteArray line = prefix + pending.mid(from, end + 1 - from);
        std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), to);
    }
    pending.remove(0, from);
    std::fflush(to);
}

// A port's exit status: what the summary calls it, and how bad it is (a failure outweighs bad
// input, which outweighs a difference). Any other status is a failure.
struct Ending
{
    int status;
    const char *outcome;
    int severity;
};
constexpr Ending Endings[] = {{0, "done", 0}, {3, "differs", 1}, {2, "bad input", 2}};
constexpr Ending Failed = {1, "failed", 3};

const Ending &endingOf(int status)
{
    for (const Ending &e : Endings) {
        if (e.status == status)
            return e;
    }
    return Failed;
}

} // namespace

QCommandLineOption option()
{
    return {QStringLiteral("ports"),
            QStringLiteral("Every device matching GLOB (quoted, such as "
                           "'/dev/serial/by-id/usb-FTDI*'), each with a process of its own."),
            QStringLiteral("GLOB")};
}

QStringList ports(const QCommandLineParser &parser, const QString &iniPath)
{
    QStringList out = parser.values(PortOption.mid(2));
    for (const QString &pattern : parser.values(PortsOption.mid(2))) {
        const QStringList matches = expand(pattern);
        if (matches.isEmpty())
            throw InputError(QStringLiteral("--ports %1 matches no device").arg(pattern));
        out += matches;
    }
    QHash<QString, QString> seen;
    for (const QString &port : std::as_const(out)) {
        const QString id = identity(port, iniPath);
        if (seen.contains(id)) {
            throw InputError(QStringLiteral("%1 and %2 are the same port; a port takes one PLC")
                                 .arg(seen.value(id), port));
        }
        seen.insert(id, port);
    }
    return out;
}

bool wanted(const QCommandLineParser &parser)
{
    return parser.values(PortOption.mid(2)).size() > 1 || parser.isSet(PortsOption.mid(2));
}

QString portFile(const QString &file, const QString &port)
{
    const QString portName = QFileInfo(port).fileName();
    const QString name = QFileInfo(file).fileName();
    const QString folder = file.left(file.size() - name.size());
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        return folder + name + u'-' + portName;
    return folder + name.left(dot) + u'-' + portName + name.mid(dot);
}

QStringList portArguments(const QStringList &arguments, const QStringList &valueOptions,
                          const QString &port)
{
    QStringList out{arguments.value(0), PortOption, port};
    QString command;
    int positional = 0;
    bool optionsEnded = false;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        if (!optionsEnded && a == QLatin1String("--")) {
            optionsEnded = true;
        } else if (!optionsEnded && a.startsWith(QLatin1Char('-')) && a.size() > 1) {
            const QString name = a.section(QLatin1Char('='), 0, 0);
            const bool takesValue = valueOptions.contains(a) && i + 1 < arguments.size();
            if (name == PortOption || name == PortsOption) {
                i += takesValue ? 1 : 0;
                continue;
            }
            if (takesValue)
                out << a << arguments[++i];
            else
                out << a;
            continue;
        } else {
            if (positional == 0)
                command = a;
            else if (positional == 1 && command == UploadCommand) {
                out << portFile(a, port);
                ++positional;
                continue;
            }
            ++positional;
        }
        out << a;
    }
    return out;
}

int run(const QStringList &arguments, const QCommandLineParser &parser,
        const QStringList &valueOptions, const QString &iniPath)
{
    const QStringList positional = parser.positionalArguments();
    const QString command = positional.value(0);
    const QStringList portList = ports(parser, iniPath);
    if (command == UploadCommand && positional.size() > 1) {
        QHash<QString, QString> files;
        for (const QString &port : portList) {
            const QString file = portFile(positional.at(1), port);
            if (files.contains(file)) {
                throw InputError(QStringLiteral("%1 and %2 would both upload to %3")
                                     .arg(files.value(file), port, file));
            }
            files.insert(file, port);
        }
    }

    // A list: the runs must stay where they are while their processes report.
    std::list<PortRun> runs;
    QEventLoop loop;
    int running = 0;
    auto ended = [&] {
        if (--running == 0)
            loop.quit();
    };
    for (const QString &port : portList) {
        PortRun &r = runs.emplace_back();
        r.port = port;
        QProcess &p = r.process;
        QObject::connect(&p, &QProcess::readyReadStandardOutput, &loop,
                         [&r] { forward(r, 0, r.process.readAllStandardOutput()); });
        QObject::connect(&p, &QProcess::readyReadStandardError, &loop,
                         [&r] { forward(r, 1, r.process.readAllStandardError()); });
        QObject::connect(&p, &QProcess::finished, &loop,
                         [&r, ended](int code, QProcess::ExitStatus how) {
                             r.seconds = r.timer.nsecsElapsed() / 1e9;
                             forward(r, 0, r.process.readAllStandardOutput(), true);
                             forward(r, 1, r.process.readAllStandardError(), true);
                             const bool crashed = how != QProcess::NormalExit;
                             r.status = crashed ? 1 : code;
                             r.outcome = crashed ? QStringLiteral("crashed")
                                                 : QLatin1String(endingOf(code).outcome);
                             ended();
                         });
        QObject::connect(&p, &QProcess::errorOccurred, &loop,
                         [&r, ended](QProcess::ProcessError error) {
                             if (error != QProcess::FailedToStart)
                                 return;
                             forward(r, 1,
                                     QStringLiteral("cannot start %1: %2\n")
                                         .arg(r.process.program(), r.process.errorString())
                                         .toLocal8Bit());
                             ended();
                         });
#ifdef Q_OS_LINUX
        // Stopping this process stops every port's, not only the summary.
        p.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
#endif
        p.setProgram(QCoreApplication::applicationFilePath());
        p.setArguments(portArguments(arguments, valueOptions, port).mid(1));
        ++running;
        r.timer.start();
        p.start();
        // Nobody answers a port's questions from the keyboard; the command line needs none.
        p.closeWriteChannel();
    }
    if (running > 0)
        loop.exec();

    int status = 0;
    for (const PortRun &r : runs) {
        std::printf("%s\t%s\t%.2f s\n", r.port.toLocal8Bit().constData(),
                    r.outcome.toLocal8Bit().constData(), r.seconds);
        if (endingOf(r.status).severity > endingOf(status).severity)
            status = r.status;
    }
    return status;
}

} // namespace ManyPorts
