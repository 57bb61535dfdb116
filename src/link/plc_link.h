#pragma once

#include "link/frame_tap.h"
#include "link/serial_line.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <QCoroTask>

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

class Clock;
class LinkWait;

// What a link needs besides its line: the clock its waits run on and the tap it reports to. A
// window hands its own to every link it makes (a dialog's link reports where the window's does).
struct LinkContext
{
    Clock &clock;
    FrameTap &tap;
};

// One serial line to the PLC and its answer timer: builds request frames, sends each once and
// awaits its answer. The wait is an inactivity limit, restarted by every arrival; the caller's
// coroutine is suspended meanwhile, so the event loop runs on (the window paints, other links
// talk). Its deadlines and pauses come from the link's clock, and everything it does is reported
// to its frame tap. One request is on the line at a time: requests made while one is in flight
// wait their turn, in the order they were made.
//
// Every awaitable the link hands back must be awaited at once by its caller (the arguments it
// refers to live in the caller's frame).
class PlcLink : public QObject
{
    Q_OBJECT
public:
    PlcLink(SerialLine &line, Clock &clock, FrameTap &tap, QObject *parent = nullptr);
    PlcLink(SerialLine &line, LinkContext context, QObject *parent = nullptr)
        : PlcLink(line, context.clock, context.tap, parent)
    {}
    ~PlcLink() override;

    SerialLine &line() { return m_line; }
    const SerialLine &line() const { return m_line; }
    Clock &clock() const { return m_clock; }
    FrameTap &tap() const { return m_tap; }
    LinkContext context() const { return {m_clock, m_tap}; }

    // Block read ("E00") of count bytes: the data bytes of the answer. An answer that is not a
    // sound frame (STX, upper-case hex digits, ETX where the count puts it, the right sum) is read
    // once more; a second damaged one gives Damaged.
    // A read whose answer is not used is not read again.
    enum class Reading { OnceMore, Once };
    QCoro::Task<PlcRead<QByteArray>> Read_plc_block(std::chrono::milliseconds timeout,
                                                    quint16 address, quint8 count,
                                                    Reading reading = Reading::OnceMore);
    // Block write: the bytes go in address order, their number is the frame's count.
    QCoro::Task<WriteAnswer> Write_plc_block(std::chrono::milliseconds timeout,
                                             WriteCommand command, quint16 address,
                                             QByteArray data);
    // Word read ("0"): the 16-bit word, checked and read again like a block read.
    QCoro::Task<PlcRead<quint16>> Read_plc_word(std::chrono::milliseconds timeout, quint16 address);
    // One control character alone (ENQ): the character answered, or NoAnswer. Noise before ACK,
    // NAK or STX is dropped; noise alone is Damaged, as it is for a write, and so is STX that
    // does not begin a whole, sound frame.
    QCoro::Task<WriteAnswer> Send_control_char(std::chrono::milliseconds timeout, char code);

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

    // A transfer (several exchanges started by one command) is running on this link, or the
    // line is still being drained after one.
    bool busy() const { return m_transfers > 0; }
    // Completes when no transfer runs on the link: at once when none does.
    QCoro::Task<> idle();
    // Ends the running transfer: a wait or a pause ends at once and throws TransferAborted;
    // between exchanges, the next exchange or pause throws it before anything is sent. The
    // drain of the line after it still runs.
    void abort();
    // A pause inside a transfer (through the link's clock) that an abort cuts short.
    QCoro::Task<> pause(std::chrono::milliseconds duration);
    // Opens the line unless it is open, and waits until it is (a network line connects first);
    // an abort ends the wait. PlatformError when it cannot be opened.
    QCoro::Task<> openLine();
    // Closes the line. After a request that went unanswered, the line is first drained until it
    // has been quiet for that request's timeout, so that a late answer cannot reach the next
    // opening of the port; unless told not to (a program that takes the port over at once).
    enum class Drain { UntilQuiet, No };
    QCoro::Task<> closeLine(Drain drain = Drain::UntilQuiet);
    // Whether closing the line would drain it first.
    bool drainPending() const;

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
    // Waits for this request's turn on the line, sends once and collects until awaited
    // characters are there or the line stays silent for the timeout.
    QCoro::Task<Collected> exchange(QByteArray frame, std::chrono::milliseconds timeout,
                                    int awaited, Awaiting awaiting);
    // A write or a control character sent once, and what its answer means.
    QCoro::Task<WriteAnswer> characterAnswer(QByteArray request, std::chrono::milliseconds timeout);
    // A data frame's request, sent again while its answers are damaged, attempts in all.
    QCoro::Task<PlcRead<QByteArray>> readFrame(QByteArray frame, std::chrono::milliseconds timeout,
                                               int dataBytes, int attempts);
    // After a request whose answer did not come whole, the line falls quiet before the next.
    void expectLateBytes(std::chrono::milliseconds timeout);
    // Drops whatever arrives until the line has been quiet for quiet (at most a few seconds: a
    // line that never falls quiet is given up on).
    QCoro::Task<> settle(std::chrono::milliseconds quiet, int watch);
    // What may end a wait besides its own end: an abort of the transfer, a line that breaks.
    enum Watch { Abort = 1, LineFailure = 2 };
    // Awaits the end of a wait; throws when the line broke or the transfer was aborted
    // meanwhile, as far as watched.
    QCoro::Task<> await(LinkWait &wait, int watch = Abort | LineFailure);
    // Waits until no other request is on the line; the request then holds the line until
    // releaseLine().
    QCoro::Task<> takeLine();
    void releaseLine();
    QCoro::Task<> drainAndClose(bool abortable);
    void throwIfAborted();
    void beginTransfer(const QString &name);
    void endTransfer();
    // The end of a LinkTransfer: the line closed at once, or drained first from the event loop
    // while the link stays busy.
    void finishTransfer();
    QCoro::Task<> drainThenEnd();
    // Reports to the frame tap, which --trace, the frame monitor and the log listen to.
    LinkEvent tapEvent(LinkEvent::Kind kind) const;
    void tap(LinkEvent::Kind kind, const QByteArray &bytes = {},
             std::chrono::milliseconds timeout = {}) const;
    // Drops bytes that came too late for their request, reporting them.
    void drop(const QByteArray &late) const;

    SerialLine &m_line;
    Clock &m_clock;
    FrameTap &m_tap;
    int m_transfers = 0;
    quint64 m_transfer = 0; // the running transfer's number, for the tap
    bool m_abortRequested = false;
    std::chrono::milliseconds m_settle{0}; // set after an unanswered request
    LinkWait *m_wait = nullptr;            // the wait or pause running now
    int m_waitWatch = 0;                   // what else may end it
    bool m_lineTaken = false;              // a request or a drain is on the line
    QList<LinkWait *> m_lineQueue;         // requests waiting for the line, in order
    QList<LinkWait *> m_idleWaiters;
};

// One command's use of a link, for as long as it lives: marks the link busy (refusing a second
// transfer), applies set.ini to the line when asked, and closes the line when it ends, however it
// ends. Its name ("Write to PLC, UART 1") heads its frames in the frame monitor; one without a
// name is shown as "Transfer". A transfer that ends after an unanswered request leaves the drain
// of the line to the event loop, and the link busy until it is done; close() drains at once.
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

    // Opens the line when it is closed (PlcLink::openLine).
    QCoro::Task<> open();
    QCoro::Task<> close(PlcLink::Drain drain = PlcLink::Drain::UntilQuiet);
    PlcLink &link() { return m_link; }

private:
    PlcLink &m_link;
};
