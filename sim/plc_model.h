#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QLoggingCategory>
#include <QSet>
#include <QString>

#include <array>
#include <functional>

class QIODevice;

// Requests served, answers given and faults injected: QT_LOGGING_RULES="plc.sim.debug=true".
Q_DECLARE_LOGGING_CATEGORY(plcSimLog)

namespace sim {

// PLC addresses the simulator gives a meaning to.
namespace Addr {
constexpr quint16 CpuType = 0x0E02;
constexpr quint16 SearchStart = 0x2000;
constexpr quint16 ControlWord = 0x2002;
constexpr quint16 Uart2Port = 0x2006;
constexpr quint16 Uart1Port = 0x2008;
constexpr quint16 AuxMode = 0x200A;
constexpr quint16 SensorArea = 0x200C;
constexpr quint16 Uart1Slaves = 0x2502;
constexpr quint16 Uart2Slaves = 0x2902;
constexpr quint16 Bracket = 0x3000;
constexpr quint16 SearchCount = 0x3000;
constexpr quint16 SearchRoms = 0x3002;
constexpr quint16 FirmwareUpdate = 0x3010;
constexpr quint16 Restart = 0x3011;
constexpr quint16 Uart1Errors = 0x3600;
constexpr quint16 Uart2Errors = 0x3680;
constexpr quint16 OneWireErrors = 0x3700;
} // namespace Addr

// A 1-wire ROM code, Byte 0 (the family code) first.
using RomCode = std::array<quint8, 8>;

// The Dallas/Maxim CRC-8 over bytes 0 to 6, which a real ROM code carries in byte 7.
quint8 romCrc(const RomCode &rom);
// A ROM code with family 28 and a valid CRC, the same one for the same index.
RomCode generatedRom(int index);
// Sixteen hex digits, Byte 0 first; false when the text is not of that form.
bool parseRom(const QString &text, RomCode *rom);

// What the simulated PLC does wrong on purpose. Every field may change between requests.
struct Faults
{
    // Writes whose byte range covers one of these addresses are refused with NAK.
    QSet<quint16> refuseAt;
    // Requests whose byte range covers one of these addresses are dropped unanswered, as if they
    // had been lost on the line: a dropped write changes nothing.
    QSet<quint16> silentAt;
    // No request gets an answer, ENQ included.
    bool silent = false;
    // Every answer is held back this long after its request.
    int delayMs = 0;
    // Every answer goes out in this many pieces (at most one byte per piece), gapMs apart.
    int pieces = 1;
    int gapMs = 0;
    // Bytes sent before and after every answer.
    QByteArray strayBefore;
    QByteArray strayAfter;
    // The next answer, and only that one, is held back this long instead of delayMs: longer than
    // the client's timeout, it arrives while the client already waits for another answer.
    int lateOnceMs = 0;
    // Answers to requests whose byte range covers one of these addresses are damaged: a data
    // answer gets one digit changed (so its sum no longer fits), a write's answer is an 'X'.
    // damageCount: how many more of them are damaged; -1, every one.
    QSet<quint16> damageAt;
    int damageCount = -1;
    // After answering a request that covers one of these addresses, the PLC floods the line with
    // garbage and goes on doing so.
    QSet<quint16> floodAt;
    // The PLC hangs up (closes its end of the line) when this request arrives, counted from 1;
    // 0: never.
    int hangUpAt = 0;
    // Writes that cover one of these addresses are acknowledged, but the byte there is stored
    // with its bits inverted: the PLC holds something else than it was sent.
    QSet<quint16> storeWrongAt;
};

// The PLC's side of the serial line: 64 KiB of memory, the request parser, the answers, the bus
// search and the faults. It only computes answers and their timing; a transport (SimulatedLine,
// PtyServer) carries them.
class PlcModel
{
public:
    // One answer, cut into the pieces the transport sends one after the other.
    struct Answer
    {
        QList<QByteArray> pieces;
        int delayMs = 0; // from the request to the first piece
        int gapMs = 0;   // between pieces
        QByteArray bytes() const;
    };

    // One accepted write.
    struct Write
    {
        quint16 address = 0;
        QByteArray command; // "E10" or "E11"
        QByteArray bytes;
        bool inBracket = false; // the configuration bracket was open when it came
    };

    struct LogEntry
    {
        enum class Kind { Request, Answer, Ignored, Note };
        qint64 ms = 0;
        Kind kind = Kind::Note;
        QByteArray bytes;
        QString note;
    };

    // Milliseconds on a monotonic scale; the search delay and the log are measured with it.
    using Clock = std::function<qint64()>;

    static constexpr int MemorySize = 0x10000;
    static constexpr quint16 DefaultCpuType = 0x1234;
    static constexpr int DefaultSearchDelayMs = 3000;
    // ROM codes that fit between the search count and the error buffers.
    static constexpr int MaxFoundSensors = (Addr::Uart1Errors - Addr::SearchRoms) / 8;

    PlcModel();
    PlcModel(const PlcModel &) = delete;
    PlcModel &operator=(const PlcModel &) = delete;

    // Takes request bytes as they arrive and returns the answers to every request they complete.
    QByteArray feed(const QByteArray &bytes);
    QList<Answer> feedAnswers(const QByteArray &bytes);

    // Memory as the PLC holds it. Reads in the search result area return the search result, not
    // what was written there (readBytes shows what a read request would return).
    QByteArray memory(quint16 address, int count) const;
    void setMemory(quint16 address, const QByteArray &bytes);
    // 16-bit words, low byte first as the PLC stores them.
    quint16 word(quint16 address) const;
    void setWord(quint16 address, quint16 value);
    QByteArray readBytes(quint16 address, int count);

    quint16 cpuType() const { return word(Addr::CpuType); }
    void setCpuType(quint16 type) { setWord(Addr::CpuType, type); }

    enum class ErrorBuffer { Uart1, Uart2, OneWire };
    // Up to 128 bytes, one per slot; the rest of the buffer is cleared.
    void setErrorBuffer(ErrorBuffer buffer, const QByteArray &bytes);

    // The sensors on the 1-wire bus, found by the next search (at most MaxFoundSensors).
    void setBusSensors(const QList<RomCode> &roms);
    QList<RomCode> busSensors() const { return m_busSensors; }
    void setSearchDelayMs(int ms) { m_searchDelayMs = ms; }
    int searchDelayMs() const { return m_searchDelayMs; }
    int searchesStarted() const { return m_searchesStarted; }
    // The count a read at the search count address returns now.
    int foundSensors();

    void setClock(Clock clock);
    qint64 now() const { return m_clock(); }

    bool bracketOpen() const { return m_bracketOpen; }
    int bracketsOpened() const { return m_bracketsOpened; }
    int bracketsClosed() const { return m_bracketsClosed; }

    // Called after every accepted write has been stored, with its byte range.
    using WriteObserver = std::function<void(quint16 address, int count)>;
    void setWriteObserver(WriteObserver observer) { m_writeObserver = std::move(observer); }

    const QList<Write> &writes() const { return m_writes; }
    QList<Write> writesAt(quint16 address) const;
    void clearWrites() { m_writes.clear(); }

    // Complete requests parsed, good or bad, answered or not.
    int requestCount() const { return m_requests; }
    int nakCount() const { return m_naks; }

    Faults &faults() { return m_faults; }
    // A request covering a floodAt address came: the line is to be flooded from now on.
    bool flooding() const { return m_flooding; }
    // The request the PLC hangs up at came.
    bool hungUp() const { return m_faults.hangUpAt > 0 && m_requests >= m_faults.hangUpAt; }
    const Faults &faults() const { return m_faults; }

    // The last entries of the frame log (older ones are dropped: a simulator may run for days).
    const QList<LogEntry> &frameLog() const { return m_log; }
    void clearFrameLog() { m_log.clear(); }
    // Every log entry is also written to this device as a line of text (not owned; nullptr: none).
    void setLogDevice(QIODevice *device) { m_logDevice = device; }
    // A note of the transport's own (the line settings it found) in the log.
    void note(const QString &text) { log(LogEntry::Kind::Note, {}, text); }
    static QString formatLogEntry(const LogEntry &entry);
    // Bytes as readable text: control characters by name (<STX>), other unprintables as <1F>.
    static QString readable(const QByteArray &bytes);

private:
    enum class State { Idle, Body, Sum };

    void take(char c, QList<Answer> &answers);
    void flushIgnored();
    void finishFrame(QList<Answer> &answers);
    void answer(QByteArray bytes, QList<Answer> &answers);
    void refuse(const QString &why, QList<Answer> &answers);
    QByteArray execute(const QByteArray &body, QString *refusal, bool *silent);
    QByteArray blockRead(quint16 address, int count);
    QByteArray wordRead(quint16 address);
    void blockWrite(const QByteArray &command, quint16 address, const QByteArray &bytes);
    bool covers(const QSet<quint16> &addresses, quint16 address, int count) const;
    void updateSearch();
    void log(LogEntry::Kind kind, const QByteArray &bytes, const QString &note = QString());

    QByteArray m_memory;
    // What reads of the search count and ROM codes return; writes to the same addresses (the
    // bracket, the service words) go to m_memory and never show up here.
    QByteArray m_searchResult;

    State m_state = State::Idle;
    QByteArray m_body;
    QByteArray m_sum;
    QByteArray m_ignored;

    QList<RomCode> m_busSensors;
    int m_searchDelayMs = DefaultSearchDelayMs;
    bool m_searching = false;
    qint64 m_searchStartedAt = 0;
    int m_searchesStarted = 0;

    bool m_bracketOpen = false;
    int m_bracketsOpened = 0;
    int m_bracketsClosed = 0;

    QList<Write> m_writes;
    WriteObserver m_writeObserver;
    int m_requests = 0;
    int m_naks = 0;
    // The byte range of the request being answered, for the faults that depend on it.
    quint16 m_requestAddress = 0;
    int m_requestCount = 0;
    bool m_flooding = false;
    Faults m_faults;

    QElapsedTimer m_started;
    Clock m_clock;
    QList<LogEntry> m_log;
    QIODevice *m_logDevice = nullptr;
};

} // namespace sim
