#include "cli/many_ports.h"

#include "common/errors.h"
#include "link/device_map.h"
#include "link/network_address.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <list>
#include <vector>

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

// What tells two ports apart: the device a COM name maps to, a device by the file it leads to,
// and a serial server by its host and TCP port, so COM1 and the device or server set.ini gives
// it are one port, and so are rfc2217:// and tcp:// to one server.
QString identity(const QString &port, const QString &iniPath)
{
    static const QRegularExpression comName(QStringLiteral("^COM([1-9]|10)$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch com = comName.match(port);
    const QString device = com.hasMatch() ? comDevice(com.captured(1).toInt(), iniPath) : port;
    if (const auto address = NetworkAddress::parse(device))
        return QStringLiteral("//") + address->server().toLower();
    if (!device.contains(QLatin1Char('/')) && !device.contains(QLatin1Char('\\')))
        return device.toUpper();
    const QString canonical = QFileInfo(device).canonicalFilePath();
    return canonical.isEmpty() ? device : canonical;
}

// How one port's run went.
struct PortRun
{
    explicit PortRun(const QString &name)
        : port(name), output{Cli::OutputStream(stdout, name), Cli::OutputStream(stderr, name)}
    {}
    QString port;
    Cli::Output output;
    double seconds = 0;
    int status = 1;
    QString outcome;
};

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

// Runs one port to its end, whatever happens to it, and notes how it went.
QCoro::Task<> runPort(PortRun &r, QStringList arguments, PortCommand &runOnPort)
{
    QElapsedTimer timer;
    timer.start();
    int status = 1;
    try {
        status = co_await runOnPort(std::move(arguments), r.output);
    } catch (const std::exception &e) {
        // A fault of one port's run is that port's failure, never the others' end.
        r.output.err.write(QString::fromLocal8Bit(e.what()).toLocal8Bit() + '\n');
    } catch (...) {
        r.output.err.write(QByteArrayLiteral("unknown failure\n"));
    }
    r.seconds = double(timer.nsecsElapsed()) / 1e9;
    r.output.out.finish();
    r.output.err.finish();
    r.status = status;
    r.outcome = QLatin1String(endingOf(status).outcome);
}

} // namespace

QCommandLineOption option()
{
    return {QStringLiteral("ports"),
            QStringLiteral("Every device matching GLOB (quoted, such as "
                           "'/dev/serial/by-id/usb-FTDI*'), all at once; repeatable, and a serial "
                           "server's rfc2217:// or tcp:// address is taken as it stands."),
            QStringLiteral("GLOB")};
}

QStringList ports(const QCommandLineParser &parser, const QString &iniPath)
{
    QStringList out = parser.values(PortOption.mid(2));
    for (const QString &pattern : parser.values(PortsOption.mid(2))) {
        // A serial server is no file to match: its address stands as it is.
        if (NetworkAddress::looksLikeOne(pattern)) {
            out << pattern;
            continue;
        }
        const QStringList matches = expand(pattern);
        if (matches.isEmpty())
            throw InputError(QStringLiteral("--ports %1 matches no device").arg(pattern));
        out += matches;
    }
    QHash<QString, QString> seen;
    for (const QString &port : std::as_const(out)) {
        if (NetworkAddress::looksLikeOne(port) && !NetworkAddress::parse(port))
            throw InputError(NetworkAddress::problem(port));
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
    // A server's host and TCP port, in characters every file system takes.
    const auto address = NetworkAddress::parse(port);
    const QString portName =
        address ? QStringLiteral("%1-%2")
                      .arg(address->host)
                      .arg(address->port)
                      .replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]")),
                               QStringLiteral("-"))
                : QFileInfo(port).fileName();
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

QCoro::Task<int> run(const QStringList &arguments, const QCommandLineParser &parser,
                     const QStringList &valueOptions, const QString &iniPath, PortCommand runOnPort)
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

    // A list: the runs must stay where they are while their ports report.
    std::list<PortRun> runs;
    std::vector<QCoro::Task<>> running;
    for (const QString &port : portList) {
        PortRun &r = runs.emplace_back(port);
        running.push_back(runPort(r, portArguments(arguments, valueOptions, port), runOnPort));
    }
    for (QCoro::Task<> &task : running)
        co_await std::move(task);

    int status = 0;
    for (const PortRun &r : runs) {
        std::printf("%s\t%s\t%.2f s\n", r.port.toLocal8Bit().constData(),
                    r.outcome.toLocal8Bit().constData(), r.seconds);
        if (endingOf(r.status).severity > endingOf(status).severity)
            status = r.status;
    }
    co_return status;
}

} // namespace ManyPorts
