#pragma once

#include "link/serial_line.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <optional>

namespace Ctl {
constexpr char STX = 0x02;
constexpr char ETX = 0x03;
constexpr char ENQ = 0x05;
constexpr char ACK = 0x06;
constexpr char NAK = 0x15;
} // namespace Ctl

// The answer to a write or a control character.
struct WriteAnswer
{
    enum class Kind { Accepted, Refused, NoAnswer };
    Kind kind = Kind::NoAnswer;
    // The first character received; 0x16 when nothing came.
    int code = 0x16;

    bool accepted() const { return kind == Kind::Accepted; }
    // The answer code as the PLC's documentation writes it: "6", "15", "16".
    QString codeText() const { return QString::number(code, 16).toUpper(); }
};

// One serial line to the PLC and its answer timer: builds request frames, sends each once and
// waits for its answer. The wait is an inactivity limit, restarted by every arrival, spent in a
// local event loop so the window keeps painting while the PLC thinks.
class PlcLink : public QObject
{
    Q_OBJECT
public:
    explicit PlcLink(SerialLine &line, QObject *parent = nullptr);
    ~PlcLink() override;

    SerialLine &line() { return m_line; }

    // Block read ("E00"): the answer exactly as collected, extra characters of the last arrival
    // included, or nothing when it did not complete in time.
    std::optional<QByteArray> Read_plc_block(int timeoutMs, const QString &address,
                                             const QString &count);
    // Block write ("E11" or "E10"): data is two hex digits per byte, already in line order.
    WriteAnswer Write_plc_block(int timeoutMs, const QString &command, const QString &address,
                                const QString &count, const QString &data);
    // Word read ("0"): the 16-bit word (0 when its digits are not upper-case hex), or nothing.
    std::optional<quint16> Read_plc_word(int timeoutMs, const QString &address);
    // One control character alone (ENQ): the first character answered, or NoAnswer.
    WriteAnswer Send_control_char(int timeoutMs, int code);

    // Value of an upper-case hex text; 0 when any character is not '0'-'9' or 'A'-'F', and for
    // the empty text.
    static int Hex_to_int(QStringView text);
    // The frames, as they go on the line.
    static QByteArray blockReadFrame(const QString &address, const QString &count);
    static QByteArray blockWriteFrame(const QString &command, const QString &address,
                                      const QString &count, const QString &data);
    static QByteArray wordReadFrame(const QString &address);
    // Two hex digits: the byte sum of everything after STX up to and including ETX.
    static QByteArray checksum(const QByteArray &afterStx);

    // A transfer (several exchanges started by one command) is running on this link.
    bool busy() const { return m_transfers > 0; }
    // Ends the running transfer: a wait ends at once and the exchange throws TransferAborted;
    // between exchanges, the next exchange or pause throws it before anything is sent.
    void abort();
    // A pause inside a transfer (through the application's clock) that an abort cuts short.
    void pause(int ms);

Q_SIGNALS:
    void busyChanged(bool busy);
    // Every frame sent and every arrival, for the trace of the command line.
    void frameSent(const QByteArray &frame);
    void bytesReceived(const QByteArray &bytes);

private:
    friend class LinkTransfer;
    struct Outcome
    {
        QByteArray collected;
        bool complete = false;
    };
    // Sends once and collects until awaited characters are there or the line stays silent for
    // timeoutMs. awaited < 0 means "at least one".
    Outcome exchange(const QByteArray &frame, int timeoutMs, int awaited);
    // Waits ms while dropping whatever arrives.
    void settle(int ms);
    // Runs a wait's event loop until it quits; throws when the line broke or the transfer was
    // aborted meanwhile.
    void runWait(class QEventLoop &loop);
    void beginTransfer();
    void endTransfer();

    SerialLine &m_line;
    int m_transfers = 0;
    bool m_waiting = false;
    bool m_abortRequested = false;
    int m_settleMs = 0; // set after an unanswered request
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

// Applies section "COM" of set.ini to the line: settings text and port number. The line is not
// opened. A value outside its list leaves its field out, and the line refuses the text.
void Open_com_port(SerialLine &line, const QString &iniPath);
// The settings text section "COM" describes.
QString comSettingsText(const QString &iniPath);
