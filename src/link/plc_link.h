#pragma once

#include "link/frame_tap.h"
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

// How the PLC answered a request: accepted (for a read: its data came whole and sound), refused
// (NAK), not at all within the timeout, or with something that is not the awaited answer.
enum class AnswerKind { Accepted, Refused, NoAnswer, Damaged };

// The answer to a write or a control character.
struct WriteAnswer
{
    using Kind = AnswerKind;
    Kind kind = Kind::NoAnswer;
    // The first character received; 0x16 when nothing came.
    int code = 0x16;

    bool accepted() const { return kind == Kind::Accepted; }
    // The answer code as text, upper-case hex without leading zero: "6", "15", "16".
    QString codeText() const { return QString::number(code, 16).toUpper(); }
};

// What a read brought: its data when the answer came whole and sound, otherwise why not.
template <typename T> struct PlcRead
{
    AnswerKind kind = AnswerKind::NoAnswer;
    T value{};

    bool has_value() const { return kind == AnswerKind::Accepted; }
    explicit operator bool() const { return has_value(); }
    const T &operator*() const { return value; }
    const T *operator->() const { return &value; }
    T value_or(const T &otherwise) const { return has_value() ? value : otherwise; }
    // The data, or nothing whatever the reason.
    friend bool operator==(const PlcRead &read, const std::optional<T> &other)
    {
        return read.has_value() ? other == read.value : !other.has_value();
    }
};

// What the user is told when the PLC refused a request ("Wrong answer from PLC"), did not answer
// ("Answer timeout from PLC") or sent something else ("Damaged answer from PLC"); an empty text
// for an accepted one.
QString answerMessage(AnswerKind kind);

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
    const SerialLine &line() const { return m_line; }

    // Block read ("E00") of count bytes: the data bytes of the answer. An answer that is not a
    // sound frame (STX, upper-case hex digits, ETX where the count puts it, the right sum) is read
    // once more; a second damaged one gives Damaged.
    // A read whose answer is not used is not read again.
    enum class Reading { OnceMore, Once };
    PlcRead<QByteArray> Read_plc_block(std::chrono::milliseconds timeout, quint16 address,
                                       quint8 count, Reading reading = Reading::OnceMore);
    // Block write: the bytes go in address order, their number is the frame's count.
    WriteAnswer Write_plc_block(std::chrono::milliseconds timeout, WriteCommand command,
                                quint16 address, const QByteArray &data);
    // Word read ("0"): the 16-bit word, checked and read again like a block read.
    PlcRead<quint16> Read_plc_word(std::chrono::milliseconds timeout, quint16 address);
    // One control character alone (ENQ): the character answered, or NoAnswer. Noise before ACK,
    // NAK or STX is dropped; noise alone is Damaged, as it is for a write, and so is STX that
    // does not begin a whole, sound frame.
    WriteAnswer Send_control_char(std::chrono::milliseconds timeout, char code);

    // The frames, as they go on the line.
    static QByteArray blockReadFrame(quint16 address, quint8 count);
    static QByteArray blockWriteFrame(WriteCommand command, quint16 address,
                                      const QByteArray &data);
    static QByteArray wordReadFrame(quint16 address);
    // Two hex digits: the byte sum of everything after STX up to and including ETX.
    static QByteArray checksum(const QByteArray &afterStx);
    // The data bytes of an answer frame that carries dataBytes bytes, or nothing when the frame is
    // damaged. What follows the frame is not looked at.
    static std::optional<QByteArray> frameData(const QByteArray &answer, int dataBytes);
    // What the characters collected for a write or an enquiry mean; complete is false when the
    // wait timed out, noiseOnly when nothing but noise came. An answer that starts with STX is
    // accepted only as a whole, sound frame; anything else after STX is a damaged answer.
    static WriteAnswer answerOf(const QByteArray &collected, bool complete, bool noiseOnly = false);
    // How far characters that start with STX make a frame: not whole yet, whole and sound (STX,
    // upper-case hex digits, ETX, two digits of their sum), or damaged whatever follows.
    enum class FrameState { Partial, Sound, Damaged };
    static FrameState frameState(const QByteArray &fromStx);
    // Where a data frame of awaited characters starts among those collected: at the last STX
    // that no other STX follows within that length, so noise STX before the answer is skipped
    // and noise after it is not taken for its start. -1 when no STX came.
    static qsizetype frameStart(const QByteArray &collected, int awaited);
    // What an answer starts with: any one character (writes, ENQ), or STX (data frames).
    enum class Awaiting { Character, Frame };
    // Whether a character can start an answer of that kind; anything before it is noise.
    static bool startsAnswer(char c, Awaiting awaiting);

    // A transfer (several exchanges started by one command) is running on this link.
    bool busy() const { return m_transfers > 0; }
    // Ends the running transfer: a wait or a pause ends at once and throws TransferAborted;
    // between exchanges, the next exchange or pause throws it before anything is sent.
    void abort();
    // A pause inside a transfer (through the application's clock) that an abort cuts short.
    void pause(std::chrono::milliseconds duration);
    // Closes the line. After a request that went unanswered, the line is first drained until it
    // has been quiet for that request's timeout, so that a late answer cannot reach the next
    // opening of the port; unless told not to (a program that takes the port over at once).
    enum class Drain { UntilQuiet, No };
    void closeLine(Drain drain = Drain::UntilQuiet);

Q_SIGNALS:
    void busyChanged(bool busy);

private:
    friend class LinkTransfer;
    // What a wait collected, and whether the awaited length came in time.
    struct Collected
    {
        QByteArray bytes;
        bool complete = false;
        bool noiseOnly = false; // nothing but noise came
    };
    // Sends once and collects until awaited characters are there or the line stays silent for
    // the timeout.
    Collected exchange(const QByteArray &frame, std::chrono::milliseconds timeout, int awaited,
                       Awaiting awaiting);
    // A write or a control character sent once, and what its answer means.
    WriteAnswer characterAnswer(const QByteArray &request, std::chrono::milliseconds timeout);
    // A data frame's request, sent again while its answers are damaged, attempts in all.
    PlcRead<QByteArray> readFrame(const QByteArray &frame, std::chrono::milliseconds timeout,
                                  int dataBytes, int attempts);
    // After a request whose answer did not come whole, the line falls quiet before the next.
    void expectLateBytes(std::chrono::milliseconds timeout);
    // Drops whatever arrives until the line has been quiet for quiet (at most a few seconds: a
    // line that never falls quiet is given up on).
    void settle(std::chrono::milliseconds quiet);
    // Runs a wait's event loop until it quits; throws when the line broke or the transfer was
    // aborted meanwhile.
    void runWait(class QEventLoop &loop);
    void beginTransfer(const QString &name);
    void endTransfer();
    // Reports to the frame tap, which --trace, the frame monitor and the log listen to.
    LinkEvent tapEvent(LinkEvent::Kind kind) const;
    void tap(LinkEvent::Kind kind, const QByteArray &bytes = {},
             std::chrono::milliseconds timeout = {}) const;
    // Drops bytes that came too late for their request, reporting them.
    void drop(const QByteArray &late) const;

    SerialLine &m_line;
    int m_transfers = 0;
    quint64 m_transfer = 0; // the running transfer's number, for the tap
    bool m_waiting = false;
    bool m_pausing = false;
    bool m_abortRequested = false;
    std::chrono::milliseconds m_settle{0}; // set after an unanswered request
    class QEventLoop *m_loop = nullptr;
};

// One command's use of a link, for as long as it lives: marks the link busy (refusing a second
// transfer), applies set.ini to the line when asked, and closes the line when it ends, however it
// ends. Its name ("Write to PLC, UART 1") heads its frames in the frame monitor; one without a
// name is shown as "Transfer".
class LinkTransfer
{
public:
    enum class Settings { FromIni, AsTheyAre };
    LinkTransfer(PlcLink &link, const QString &iniPath, Settings settings = Settings::FromIni)
        : LinkTransfer(link, iniPath, QString(), settings)
    {}
    LinkTransfer(PlcLink &link, const QString &iniPath, const QString &name,
                 Settings settings = Settings::FromIni);
    ~LinkTransfer();
    LinkTransfer(const LinkTransfer &) = delete;
    LinkTransfer &operator=(const LinkTransfer &) = delete;

    // Opens the line when it is closed.
    void open();
    void close(PlcLink::Drain drain = PlcLink::Drain::UntilQuiet);
    PlcLink &link() { return m_link; }

private:
    PlcLink &m_link;
};
