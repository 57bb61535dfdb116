#include "transfer/unit_log.h"

#include "common/errors.h"
#include "common/file_kind.h"
#include "common/whole_file.h"
#include "link/device_map.h"
#include "link/frame_tap.h"
#include "link/network_address.h"
#include "link/port_choice.h"
#include "link/serial_devices.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QPromise>
#include <QSysInfo>
#include <QThreadPool>

#include <QCoroFuture>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <limits>
#include <optional>

namespace {

// The record's keys, in the order every line holds them.
namespace Key {
const QString Time = QStringLiteral("time");
const QString Station = QStringLiteral("station");
const QString Port = QStringLiteral("port");
const QString Device = QStringLiteral("device");
const QString Project = QStringLiteral("project");
const QString Sha256 = QStringLiteral("sha256");
const QString Ports = QStringLiteral("ports");
const QString Verified = QStringLiteral("verified");
const QString Result = QStringLiteral("result");
const QString Frames = QStringLiteral("frames");
const QString Seconds = QStringLiteral("seconds");
const QString Version = QStringLiteral("version");
} // namespace Key

// One JSON value as compact text: wrapped in an array for QJsonDocument, which the brackets
// then leave again.
QByteArray jsonText(const QJsonValue &value)
{
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

QString tr(const char *text)
{
    return QCoreApplication::translate("UnitLog", text);
}

QString shownPath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// The open handles of this process's logs, by file: two logs of one file share one handle.
QHash<QString, std::weak_ptr<QFile>> &openLogs()
{
    static QHash<QString, std::weak_ptr<QFile>> logs;
    return logs;
}

QString cannotRead(const QString &path, const QString &reason)
{
    return tr("Cannot read %1: %2").arg(shownPath(path), reason);
}

// Opens a file to read whole; a FIFO or device would hold the reader up or never end.
void openToRead(QFile &file)
{
    const QString kind = nonRegularKind(file.fileName());
    if (!kind.isEmpty())
        throw PlatformError(cannotRead(file.fileName(), tr("it is %1").arg(kind)));
    if (!file.open(QIODevice::ReadOnly))
        throw PlatformError(cannotRead(file.fileName(), file.errorString()));
}

QString cannotWrite(const QString &path, const QString &reason)
{
    return tr("Cannot keep the record of units in %1: %2").arg(shownPath(path), reason);
}

// The record a line holds, or why it holds none.
std::optional<UnitRecord> recordOf(const QByteArray &line, QString &problem)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError) {
        problem = tr("no JSON (%1 at character %2)").arg(error.errorString()).arg(error.offset + 1);
        return std::nullopt;
    }
    if (!document.isObject()) {
        problem = tr("not a JSON object");
        return std::nullopt;
    }
    const QJsonObject o = document.object();
    struct Expected
    {
        const QString &key;
        QJsonValue::Type type;
        const char *what;
    };
    const Expected expected[] = {
        {Key::Time, QJsonValue::String, "a text"},
        {Key::Station, QJsonValue::String, "a text"},
        {Key::Port, QJsonValue::String, "a text"},
        {Key::Device, QJsonValue::String, "a text"},
        {Key::Project, QJsonValue::String, "a text"},
        {Key::Sha256, QJsonValue::String, "a text"},
        {Key::Ports, QJsonValue::Array, "a list"},
        {Key::Verified, QJsonValue::Bool, "true or false"},
        {Key::Result, QJsonValue::String, "a text"},
        {Key::Frames, QJsonValue::Double, "a number"},
        {Key::Seconds, QJsonValue::Double, "a number"},
        {Key::Version, QJsonValue::String, "a text"},
    };
    for (const Expected &e : expected) {
        if (!o.contains(e.key)) {
            problem = tr("no \"%1\"").arg(e.key);
            return std::nullopt;
        }
        if (o.value(e.key).type() != e.type) {
            problem = tr("\"%1\" is not %2").arg(e.key, tr(e.what));
            return std::nullopt;
        }
    }
    UnitRecord r;
    r.time = QDateTime::fromString(o.value(Key::Time).toString(), Qt::ISODateWithMs);
    if (!r.time.isValid()) {
        problem = tr("\"time\" is no date and time");
        return std::nullopt;
    }
    r.station = o.value(Key::Station).toString();
    r.port = o.value(Key::Port).toString();
    r.device = o.value(Key::Device).toString();
    r.project = o.value(Key::Project).toString();
    r.sha256 = o.value(Key::Sha256).toString();
    for (const QJsonValue &p : o.value(Key::Ports).toArray()) {
        if (!p.isString()) {
            problem = tr("\"ports\" holds something other than port names");
            return std::nullopt;
        }
        r.ports << p.toString();
    }
    r.verified = o.value(Key::Verified).toBool();
    r.result = o.value(Key::Result).toString();
    const double frames = o.value(Key::Frames).toDouble();
    if (frames < 0 || frames != std::floor(frames) || frames > std::numeric_limits<int>::max()) {
        problem = tr("\"frames\" is not a count");
        return std::nullopt;
    }
    r.frames = int(frames);
    r.seconds = o.value(Key::Seconds).toDouble();
    r.version = o.value(Key::Version).toString();
    return r;
}

} // namespace

bool UnitRecord::succeeded() const
{
    return result == writtenAndVerifiedResult() || result == writtenResult();
}

QByteArray UnitRecord::toJsonLine() const
{
    // QJsonObject keeps its keys sorted; the line keeps them in the record's order.
    QJsonArray portNames;
    for (const QString &p : ports)
        portNames.append(p);
    const std::pair<const QString &, QJsonValue> fields[] = {
        {Key::Time, time.toUTC().toString(Qt::ISODateWithMs)},
        {Key::Station, station},
        {Key::Port, port},
        {Key::Device, device},
        {Key::Project, project},
        {Key::Sha256, sha256},
        {Key::Ports, portNames},
        {Key::Verified, verified},
        {Key::Result, result},
        {Key::Frames, frames},
        // Milliseconds are all a person or a script reads from it.
        {Key::Seconds, std::round(seconds * 1000) / 1000},
        {Key::Version, version},
    };
    QByteArray line = "{";
    for (const auto &[key, value] : fields) {
        if (line.size() > 1)
            line += ',';
        line += jsonText(key) + ':' + jsonText(value);
    }
    return line + "}\n";
}

QString writtenAndVerifiedResult()
{
    return QStringLiteral("written and verified");
}

QString writtenResult()
{
    return QStringLiteral("written");
}

QString unitPortName(ProjectPort port)
{
    switch (port) {
    case ProjectPort::Uart1:
        return QStringLiteral("uart1");
    case ProjectPort::Uart2:
        return QStringLiteral("uart2");
    case ProjectPort::Aux:
        break;
    }
    return QStringLiteral("aux");
}

UnitRecord unitRecord(const ProjectWriteReport &report, const QList<ProjectPort> &chosen,
                      const UnitRun &run)
{
    UnitRecord r;
    r.time = QDateTime::currentDateTimeUtc();
    r.station = QSysInfo::machineHostName();
    r.port = run.port;
    r.device = run.device;
    r.project = run.project.isEmpty() ? QString() : QFileInfo(run.project).absoluteFilePath();
    r.sha256 = run.sha256;
    for (const ProjectPort p : chosen)
        r.ports << unitPortName(p);
    r.frames = run.frames;
    r.seconds = run.seconds;
    r.version = QCoreApplication::applicationVersion();

    const auto written = [](const PortWriteReport &p) {
        return p.write.outcome == Outcome::Done && p.error.isEmpty();
    };
    const bool allWritten = report.outcome == Outcome::Done && !chosen.isEmpty() &&
                            report.ports.size() == chosen.size() &&
                            std::all_of(report.ports.cbegin(), report.ports.cend(), written);
    const bool verifyAsked = std::any_of(report.ports.cbegin(), report.ports.cend(),
                                         [](const PortWriteReport &p) { return bool(p.verify); });
    if (allWritten && verifyAsked &&
        std::all_of(report.ports.cbegin(), report.ports.cend(),
                    [](const PortWriteReport &p) { return p.verified(); })) {
        r.verified = true;
        r.result = writtenAndVerifiedResult();
        return r;
    }
    if (allWritten && !verifyAsked) {
        r.result = writtenResult();
        return r;
    }

    // The failure as the user was told it: what the caller saw end the run, else the message
    // of the step that stopped it.
    if (!run.failure.isEmpty()) {
        r.result = run.failure;
        return r;
    }
    for (const PortWriteReport &p : report.ports) {
        if (!p.error.isEmpty()) {
            r.result = p.error;
            return r;
        }
        if (p.write.outcome == Outcome::PlcFailed && !p.write.failure.message.isEmpty()) {
            r.result = p.write.failure.message;
            return r;
        }
        if (p.write.outcome == Outcome::Cancelled) {
            r.result = QStringLiteral("cancelled");
            return r;
        }
        if (p.verify && !p.verify->done()) {
            r.result = p.verify->failure().message.isEmpty()
                           ? QStringLiteral("%1: reading back failed").arg(p.port)
                           : p.verify->failure().message;
            return r;
        }
        const QList<PortDifference> differences = p.differences();
        if (!differences.isEmpty()) {
            r.result = differences.size() == 1
                           ? QStringLiteral("verify found %1")
                                 .arg(differences.first().text(QStringLiteral("written")))
                           : QStringLiteral("verify found %1 differences, the first %2")
                                 .arg(differences.size())
                                 .arg(differences.first().text(QStringLiteral("written")));
            return r;
        }
    }
    switch (report.outcome) {
    case Outcome::Invalid:
        r.result = QStringLiteral("the configuration has an error");
        break;
    case Outcome::Cancelled:
        r.result = QStringLiteral("cancelled");
        break;
    case Outcome::PlcFailed:
        r.result = QStringLiteral("the PLC failed the write");
        break;
    case Outcome::Done:
        r.result = QStringLiteral("not written to the end");
        break;
    }
    return r;
}

QString unitDevice(const QString &port, const QString &iniPath)
{
    const auto choice = parsePortText(port);
    if (!choice)
        return {};
    QString target;
    try {
        target = choice->kind == PortChoice::Kind::Com ? comDevice(choice->comNumber, iniPath)
                                                       : choice->target();
    } catch (const CommandError &) {
        // A set.ini that cannot be read: the port's own name is all the record knows.
        return {};
    }
    if (target.isEmpty() || NetworkAddress::looksLikeOne(target) ||
        choice->kind == PortChoice::Kind::Simulated)
        return {};
    for (const SerialDevice &d : serialDevices()) {
        if (!d.isNamedBy(target))
            continue;
        const QString name = d.stableName.isEmpty() ? d.location : d.stableName;
        return d.serialNumber.isEmpty() ? name
                                        : QStringLiteral("%1, serial %2").arg(name, d.serialNumber);
    }
    // No adapter the system lists (a pseudo-terminal): the device a COM name leads to still says
    // which line it was.
    return target == port ? QString() : target;
}

QString fileSha256(const QString &path)
{
    QFile file(path);
    openToRead(file);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file) || file.error() != QFile::NoError)
        throw PlatformError(cannotRead(path, file.errorString()));
    return QString::fromLatin1(hash.result().toHex());
}

FrameCounter::FrameCounter(FrameTap &tap, const PlcLink *link, QObject *parent)
    : QObject(parent), m_link(link)
{
    connect(&tap, &FrameTap::happened, this, &FrameCounter::seen);
}

void FrameCounter::seen(const LinkEvent &event)
{
    if (event.kind == LinkEvent::Kind::Sent && (!m_link || event.link == m_link))
        ++m_count;
}

UnitLog::UnitLog(const QString &path) : m_path(path)
{
    if (path.isEmpty())
        throw PlatformError(cannotWrite(path, tr("no file named")));
    // A FIFO would hold the run up until someone reads it; a device is no record.
    const QString kind = nonRegularKind(path);
    if (!kind.isEmpty())
        throw PlatformError(cannotWrite(path, tr("it is %1").arg(kind)));
    const QFileInfo info(path);
    const QString key = info.absoluteFilePath();
    if (auto open = openLogs().value(key).lock()) {
        m_file = std::move(open);
        return;
    }
    if (!QDir().mkpath(info.absolutePath()))
        throw PlatformError(cannotWrite(
            path, tr("its folder %1 cannot be made").arg(shownPath(info.absolutePath()))));
    auto file = std::make_shared<QFile>(path);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        throw PlatformError(cannotWrite(path, file->errorString()));
    // A line cut short (a power cut while it was written) is ended here, so the next record
    // starts a line of its own rather than finishing that one.
    if (file->size() > 0) {
        QFile last(path);
        char c = '\n';
        if (last.open(QIODevice::ReadOnly) && last.seek(last.size() - 1))
            last.getChar(&c);
        if (c != '\n' && (file->write("\n", 1) != 1 || !syncFileToDisk(*file)))
            throw PlatformError(cannotWrite(path, file->errorString()));
    }
    openLogs().insert(key, file);
    m_file = std::move(file);
}

UnitLog::~UnitLog()
{
    const QString key = QFileInfo(m_path).absoluteFilePath();
    const bool last = m_file.use_count() == 1;
    m_file.reset();
    if (last)
        openLogs().remove(key);
}

QString UnitLog::writeLine(const QByteArray &line)
{
    // One write of the whole line: an appending write is never interleaved with another, and a
    // kill between two writes can only lose a line whole.
    const qint64 written = m_file->write(line);
    if (written != line.size())
        return cannotWrite(m_path, m_file->errorString());
    if (!syncFileToDisk(*m_file))
        return cannotWrite(
            m_path, tr("the record did not reach the disk (%1)").arg(qt_error_string(errno)));
    return {};
}

void UnitLog::append(const UnitRecord &record)
{
    if (const QString error = writeLine(record.toJsonLine()); !error.isEmpty())
        throw PlatformError(error);
}

QCoro::Task<> UnitLog::appendInBackground(UnitRecord record)
{
    // One thread for every log: the lines reach their files in the order they were given.
    static QThreadPool writer;
    writer.setMaxThreadCount(1);
    auto promise = std::make_shared<QPromise<QString>>();
    QFuture<QString> written = promise->future();
    promise->start();
    writer.start([this, promise, line = record.toJsonLine()] {
        promise->addResult(writeLine(line));
        promise->finish();
    });
    const QString error = co_await written;
    if (!error.isEmpty())
        throw PlatformError(error);
}

QString UnitLog::path() const
{
    return m_path;
}

UnitLogContents readUnitLog(const QString &path)
{
    QFile file(path);
    openToRead(file);
    const QByteArray all = file.readAll();
    if (file.error() != QFile::NoError)
        throw PlatformError(cannotRead(path, file.errorString()));

    UnitLogContents contents;
    QList<QByteArray> lines = all.split('\n');
    // The line end of the last line leaves nothing after it; anything else there lacks its end.
    const bool lastEnded = lines.last().isEmpty();
    if (lastEnded)
        lines.removeLast();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray line = lines[i];
        if (line.endsWith('\r'))
            line.chop(1);
        QString problem;
        std::optional<UnitRecord> record;
        if (line.trimmed().isEmpty())
            problem = tr("an empty line");
        else
            record = recordOf(line, problem);
        if (record) {
            contents.records << *record;
            contents.lines << line;
            continue;
        }
        if (i == lines.size() - 1 && !lastEnded)
            problem = tr("cut short (%1)").arg(problem);
        contents.problems
            << QStringLiteral("%1, line %2: %3").arg(shownPath(path)).arg(i + 1).arg(problem);
    }
    return contents;
}
