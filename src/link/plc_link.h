#pragma once

#include "link/serial_line.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <chrono>
#include <optional>

namespace Ctl {
constexpr char STX = 0x02;
constexpr char ETX = 0x03;
constexpr char ENQ = 0x05;
constexpr char ACK = 0x06;
constexpr char NAK = 0x15;
} // namespace Ctl

// The two write commands: "E11" for configuration (inside the bracket, the bracket itself and
// the service words), "E10" for the run-time words at 2000 and 2002. Reads are always "E00".
enum class WriteCommand { Configuration, RunTime };
QByteArray commandText(WriteCommand command);

// The answer to a write or a control character.
struct WriteAnswer
{
    enum class Kind { Accepted, Refused, NoAnswer };
    Kind kind = Kind::NoAnswer;
    // The first character received; 0x16 when nothing came.
    int code = 0x16;

    bool accepted() const { return kind == Kind::Accepted; }
    // The answer code as text, upper-case hex without leading zero: "6", "15", "16".
    QString codeText() const { return QString::number(code, 16).toUpper(); }
};

// What the user is told when the PLC refused a write ("Wrong answer from PLC") or did not answer
// ("Answer timeout from PLC"); an empty text for an accepted write.
QString answerMessage(WriteAnswer::Kind kind);

// One serial line to the PLC and its answer timer: builds request frames, sends each once and
// waits for its answer. The wait is an inactivity limit, restarted by every arrival, spent in a
// local event loop so the window keeps painting while the PLC thinks; its deadlines come from
// the application's clock.
class PlcLink : public QObject
{
    Q_OBJECT
public:
    explicit PlcLink(SerialLine &line, QObject *parent = nullptr);
    ~PlcLink() override;

    SerialLine &line() { return m_line; }

    // Block read ("E00") of count bytes: the data bytes of the answer, or nothing when it did not
    // complete in time. Digit pairs that are not upper-case hex read as 0.
    std::optional<QByteArray> Read_plc_block(std::chrono::milliseconds timeout, quint16 address,
                                             quint8 count);
    // Block write: the bytes go in address order, their number is the frame's count.
    WriteAnswer Write_plc_block(std::chrono::milliseconds timeout, WriteCommand command,
                                quint16 address, const QByteArray &data);
    // Word read ("0"): the 16-bit word (0 when its digits are not upper-case hex), or nothing.
    std::optional<quint16> Read_plc_word(std::chrono::milliseconds timeout, quint16 address);
    // One control character alone (ENQ): the first character answered, or NoAnswer.
    WriteAnswer Send_control_char(std::chrono::milliseconds timeout, char code);

    // The frames, as they go on the line.
    static QByteArray blockReadFrame(quint16 address, quint8 count);
    static QByteArray blockWriteFrame(WriteCommand command, quint16 address,
                                      const QByteArray &data);
    static QByteArray wordReadFrame(quint16 address);
    // Two hex digits: the byte sum of everything after STX up to and including ETX.
    static QByteArray checksum(const QByteArray &afterStx);

    // A transfer (several exchanges started by one command) is running on this link.
    bool busy() const { return m_transfers > 0; }
    // Ends the running transfer: a wait ends at once and the exchange throws TransferAborted;
    // between exchanges, the next exchange or pause throws it before anything is sent.
    void abort();
    // A pause inside a transfer (through the application's clock) that an abort cuts short.
    void pause(std::chrono::milliseconds duration);

Q_SIGNALS:
    void busyChanged(bool busy);
    // Every frame sent and every arrival: the tap that --trace listens to.
    void frameSent(const QByteArray &frame);
    void bytesReceived(const QByteArray &bytes);

private:
    friend class LinkTransfer;
    // What a wait collected, and whether the awaited length came in time.
    struct Collected
    {
        QByteArray bytes;
        bool complete = false;
    };
    // Sends once and collects until awaited characters are there or the line stays silent for
    // the timeout.
    Collected exchange(const QByteArray &frame, std::chrono::milliseconds timeout, int awaited);
    // Waits while dropping whatever arrives.
    void settle(std::chrono::milliseconds duration);
    // Runs a wait's event loop until it quits; throws when the line broke or the transfer was
    // aborted meanwhile.
    void runWait(class QEventLoop &loop);
    void beginTransfer();
    void endTransfer();

    SerialLine &m_line;
    int m_transfers = 0;
    bool m_waiting = false;
    bool m_abortRequested = false;
    std::chrono::milliseconds m_settle{0}; // set after an unanswered request
    class QEventLoop *m_loop = nullptr;
};

// One command's use of a link, for as long as it lives: marks the link busy (refusing a second
// transfer), applies set.ini to the line when asked, and closes the line when it ends, however it
// ends.
class LinkTransfer
{
public:
    enum class Settings { FromIni, AsTheyAre };
    LinkTransfer(PlcLink &link, const QString &iniPath, Settings settings = Settings::FromIni);
    ~LinkTransfer();
    LinkTransfer(const LinkTransfer &) = delete;
    LinkTransfer &operator=(const LinkTransfer &) = delete;

    // Opens the line when it is closed.
    void open();
    void close();
    PlcLink &link() { return m_link; }

private:
    PlcLink &m_link;
};
