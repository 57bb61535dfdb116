#pragma once

#include <QByteArray>
#include <QLoggingCategory>
#include <QObject>
#include <QString>
#include <QTime>

#include <chrono>

class PlcLink;

// Frames on every link, at debug level: QT_LOGGING_RULES="plc.link.debug=true".
Q_DECLARE_LOGGING_CATEGORY(plcLinkLog)

// One thing a link did on its line, as the tap reports it.
struct LinkEvent
{
    enum class Kind : quint8 {
        TransferStarted, // a command took the link: name and startedAt
        Sent,            // bytes: a request frame, sent once; timeout: its answer's
        Received,        // bytes: an arrival while an answer was awaited
        Answered,        // the awaited answer came whole
        Unanswered,      // the line stayed silent for the timeout before the answer was whole
        CutShort,        // the wait ended early: the transfer was aborted or the line failed
        Dropped,         // bytes: a late arrival dropped before the next request
    };
    Kind kind = Kind::Sent;
    const PlcLink *link = nullptr;
    QString port;         // the line, as it names itself: "COM3 (/dev/ttyUSB2)"
    quint64 transfer = 0; // the command's transfer, 0 outside one
    qint64 atMs = 0;      // on the application's clock
    QByteArray bytes;
    std::chrono::milliseconds timeout{0};
    QString name;         // the command, "Write to PLC, UART 1"
    QTime startedAt;      // wall-clock time of the command's start
    bool aborted = false; // CutShort: the transfer was aborted (not the line failing)
};

// Where the links of one owner (the window, one port of the command line) report: --trace, the
// frame monitor and the plc.link logging category listen here, so they cannot disagree about
// what was on the line. Handed to each link; several links may share one, and every event names
// its port.
class FrameTap final : public QObject
{
    Q_OBJECT
public:
    explicit FrameTap(QObject *parent = nullptr);
    void publish(const LinkEvent &event) { Q_EMIT happened(event); }
    // A number for a transfer that starts on one of the tap's links, unique within the tap.
    quint64 newTransfer() { return ++m_transfers; }

Q_SIGNALS:
    // Delivered at once, inside the exchange: a listener must be quick and must not wait.
    void happened(const LinkEvent &event);

private:
    quint64 m_transfers = 0;
};

// Bytes as text, control characters written by name: <STX>, <ETX>, <ENQ>, <ACK>, <NAK>, and
// any other byte outside printable ASCII as its hex code, <16>.
QByteArray readableFrame(const QByteArray &bytes);
// One line of --trace: seconds, direction (">" sent, "<" received) and the readable bytes.
QByteArray traceLine(double seconds, const char *direction, const QByteArray &bytes);
