#pragma once

#include "transfer/plc_verify.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <QCoroTask>

#include <memory>

class FrameTap;
class PlcLink;
class QFile;
struct LinkEvent;

// One unit configured: one port's write, from the production window or `write --log FILE`.
struct UnitRecord
{
    QDateTime time;        // when the port's write ended; written as UTC ISO 8601 with milliseconds
    QString station;       // QSysInfo::machineHostName()
    QString port;          // "COM3", a device path, or "rfc2217://HOST:PORT" / "tcp://HOST:PORT"
    QString device;        // the stable device name, and its serial number when the adapter
                           // reports one ("/dev/serial/by-id/usb-FTDI_..., serial A50285BI");
                           // empty for a serial server and where nothing is known
    QString project;       // the project file's path, absolute
    QString sha256;        // of the project file's bytes, 64 lower-case hex digits
    QStringList ports;     // of "uart1", "uart2", "aux": those that were to be written
    bool verified = false; // read back after the write and found holding what was written
    QString result;        // "written and verified", "written" (no verify asked), or the failure
                           // as the user saw it (the message, or "stopped")
    int frames = 0;        // request frames sent to the PLC during the port's write and verify
    double seconds = 0;
    QString version; // QCoreApplication::applicationVersion()

    bool succeeded() const; // result is "written and verified" or "written"
    // The JSON Lines form: one object, keys in the order above, no line break inside, ending in
    // '\n'.
    QByteArray toJsonLine() const;
};

// The result of a unit written and found holding it, and of one written without verify.
QString writtenAndVerifiedResult();
QString writtenResult();

// "uart1", "uart2", "aux": a project port as the record names it.
QString unitPortName(ProjectPort port);

// What the record is told of one port's run besides the write's report.
struct UnitRun
{
    QString port;    // as UnitRecord::port
    QString device;  // as UnitRecord::device (unitDevice())
    QString project; // the project file, made absolute here
    QString sha256;  // of the project file (fileSha256())
    int frames = 0;
    double seconds = 0;
    // How the run ended when the report cannot tell: the description of a failure thrown at
    // the command's boundary, "stopped", or the last message shown. Empty otherwise.
    QString failure;
};

// What one port's write of a project gives for the record: result and verified from the report
// (failure text as the user saw it), ports from chosen, the rest from run; the time is now, the
// station this machine and the version this program's.
UnitRecord unitRecord(const ProjectWriteReport &report, const QList<ProjectPort> &chosen,
                      const UnitRun &run);

// The stable device name and serial number for a port name, as UnitRecord::device wants it
// (looks the port up through set.ini [Devices] and the serial devices the system has).
QString unitDevice(const QString &port, const QString &iniPath);

// SHA-256 of a file's bytes as 64 lower-case hex digits; PlatformError naming the file when it
// cannot be read.
QString fileSha256(const QString &path);

// Counts the request frames sent on the links of one FrameTap (LinkEvent::Kind::Sent), optionally
// only those of one link.
class FrameCounter : public QObject
{
    Q_OBJECT
public:
    explicit FrameCounter(FrameTap &tap, const PlcLink *link = nullptr, QObject *parent = nullptr);
    int count() const { return m_count; }
    void reset() { m_count = 0; }

private:
    void seen(const LinkEvent &event);

    const PlcLink *m_link;
    int m_count = 0;
};

// Appends records to a JSON Lines file. Every append writes the line, flushes it and syncs the file
// to the disk (fsync; FlushFileBuffers on Windows) before it returns, so a power cut or kill -9
// loses at most the line being written, and a line that is half written is never followed by
// another.
class UnitLog
{
public:
    // Opens the log to append, creating it and its folder; PlatformError naming the file and the
    // reason when it cannot be written. Opening it is how a run checks, before any PLC is
    // written, that its record can be kept.
    explicit UnitLog(const QString &path);
    ~UnitLog();
    UnitLog(const UnitLog &) = delete;
    UnitLog &operator=(const UnitLog &) = delete;
    void append(const UnitRecord &record); // PlatformError naming the file and the reason
    // The same on a thread of its own, so that a disk slow to sync holds no window up; the log
    // must stay until it is done, and no append() of the same file may run meanwhile.
    QCoro::Task<> appendInBackground(UnitRecord record);
    QString path() const;

private:
    // Writes and syncs the line; why it did not, or nothing.
    QString writeLine(const QByteArray &line);

    QString m_path;
    // Logs of one file in this process share its handle, so their lines never overlap.
    std::shared_ptr<QFile> m_file;
};

// Every record of a log, in order, and a sentence for every line that is no record ("plc.log, line
// 7: not a JSON object"), which is skipped: a last line cut short by a crash is said, the rest
// still read. PlatformError naming the file when it cannot be read.
struct UnitLogContents
{
    QList<UnitRecord> records;
    QStringList problems;
    QList<QByteArray> lines; // each record's line as the file holds it, without its line end
};
UnitLogContents readUnitLog(const QString &path);
