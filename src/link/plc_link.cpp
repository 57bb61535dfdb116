#include "link/plc_link.h"

#include "common/clock.h"
#include "common/errors.h"
#include "link/ini_file.h"

#include <QEventLoop>
#include <QScopeGuard>
#include <QTimer>

#include <algorithm>
#include <cmath>

PlcLink::PlcLink(SerialLine &line, QObject *parent) : QObject(parent), m_line(line) {}

PlcLink::~PlcLink()
{
    abort();
}

int PlcLink::Hex_to_int(QStringView text)
{
    int value = 0;
    for (const QChar c : text) {
        int digit;
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            digit = c.unicode() - '0';
        else if (c >= QLatin1Char('A') && c <= QLatin1Char('F'))
            digit = c.unicode() - 'A' + 10;
        else
            return 0;
        // Wraps like the 32-bit original for absurdly long texts instead of overflowing.
        value = static_cast<int>(static_cast<unsigned>(value) * 16u + static_cast<unsigned>(digit));
    }
    return value;
}

QByteArray PlcLink::checksum(const QByteArray &afterStx)
{
    unsigned sum = 0;
    for (const char c : afterStx)
        sum += static_cast<unsigned char>(c);
    return QByteArray::number(sum & 0xFF, 16).toUpper().rightJustified(2, '0');
}

namespace {
QByteArray framed(const QByteArray &body)
{
    const QByteArray afterStx = body + Ctl::ETX;
    return Ctl::STX + afterStx + PlcLink::checksum(afterStx);
}
} // namespace

QByteArray PlcLink::blockReadFrame(const QString &address, const QString &count)
{
    return framed("E00" + address.toLatin1() + count.toLatin1());
}

QByteArray PlcLink::blockWriteFrame(const QString &command, const QString &address,
                                    const QString &count, const QString &data)
{
    return framed(command.toLatin1() + address.toLatin1() + count.toLatin1() + data.toLatin1());
}

QByteArray PlcLink::wordReadFrame(const QString &address)
{
    return framed("0" + address.toLatin1() + "02");
}

void PlcLink::abort()
{
    // Between two exchanges (in a pause) the request holds until the next exchange or pause,
    // which then ends the transfer before anything more is sent.
    if (m_waiting || m_transfers > 0)
        m_abortRequested = true;
    if (m_loop)
        m_loop->quit();
}

void PlcLink::pause(int ms)
{
    if (m_abortRequested)
        throw TransferAborted();
    appClock().pause(ms);
    if (m_abortRequested)
        throw TransferAborted();
}

void PlcLink::beginTransfer()
{
    if (++m_transfers == 1)
        Q_EMIT busyChanged(true);
}

void PlcLink::endTransfer()
{
    if (--m_transfers == 0) {
        m_abortRequested = false;
        Q_EMIT busyChanged(false);
    }
}

PlcLink::Outcome PlcLink::exchange(const QByteArray &frame, int timeoutMs, int awaited)
{
    if (m_waiting) {
        throw PlatformError(QStringLiteral("%1: another exchange with the PLC is still waiting")
                                .arg(m_line.describe()));
    }
    if (m_abortRequested)
        throw TransferAborted();
    if (!m_line.isOpen())
        throw PlatformError(QStringLiteral("%1: the port is not open").arg(m_line.describe()));

    // A late answer to an earlier request must not count towards this one: after a request went
    // unanswered, let the line fall quiet before the next one, then drop what is queued.
    if (m_settleMs > 0) {
        settle(m_settleMs);
        m_settleMs = 0;
    }
    m_line.takeReceived();

    // The frame needs time to leave at the line's speed; the answer timeout starts after that.
    const double bitsPerChar = m_line.settings().bitsPerCharacter();
    const int sendingMs = static_cast<int>(
        std::ceil(frame.size() * bitsPerChar * 1000.0 / m_line.settings().baudRate));

    Outcome outcome;
    const int need = awaited < 0 ? 1 : awaited;

    // Everything connected to the loop is disconnected when the loop goes.
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    auto take = [&] {
        const QByteArray arrived = m_line.takeReceived();
        if (arrived.isEmpty())
            return;
        Q_EMIT bytesReceived(arrived);
        outcome.collected += arrived;
        if (outcome.collected.size() >= need) {
            outcome.complete = true;
            loop.quit();
        } else {
            timer.start(timeoutMs); // inactivity limit: every arrival starts a full interval
        }
    };
    connect(&m_line, &SerialLine::received, &loop, take);
    connect(&m_line, &SerialLine::sent, &loop, [&] {
        if (outcome.collected.isEmpty())
            timer.start(timeoutMs + sendingMs);
    });

    // Started here as well, generously, in case the line never reports the frame as sent.
    timer.start(timeoutMs + 2 * sendingMs + 1000);
    Q_EMIT frameSent(frame);
    m_line.send(frame);
    take();
    if (!outcome.complete)
        runWait(loop);
    if (!outcome.complete)
        m_settleMs = std::clamp(timeoutMs, 100, 1000);
    return outcome;
}

void PlcLink::runWait(QEventLoop &loop)
{
    QString failure;
    connect(&m_line, &SerialLine::failed, &loop, [&](const QString &why) {
        failure = why;
        loop.quit();
    });
    m_waiting = true;
    m_loop = &loop;
    const auto restore = qScopeGuard([this] {
        m_waiting = false;
        m_loop = nullptr;
    });
    if (!m_abortRequested)
        loop.exec();
    if (m_abortRequested)
        throw TransferAborted();
    if (!failure.isEmpty())
        throw PlatformError(failure);
}

void PlcLink::settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    connect(&m_line, &SerialLine::received, &loop, [this] { m_line.takeReceived(); });
    runWait(loop);
}

std::optional<QByteArray> PlcLink::Read_plc_block(int timeoutMs, const QString &address,
                                                  const QString &count)
{
    // The awaited length is formed in 16 bits, as the PLC's own tools do.
    const int awaited = static_cast<quint16>(Hex_to_int(count) * 2 + 4);
    Outcome o = exchange(blockReadFrame(address, count), timeoutMs, awaited);
    if (!o.complete)
        return std::nullopt;
    return o.collected;
}

namespace {
WriteAnswer answerOf(const QByteArray &collected, bool complete)
{
    WriteAnswer a;
    if (!complete || collected.isEmpty())
        return a;
    a.code = static_cast<unsigned char>(collected.at(0));
    // A received 0x16 cannot be told from silence; it counts as no answer, as it always did.
    a.kind = a.code == 0x15   ? WriteAnswer::Kind::Refused
             : a.code == 0x16 ? WriteAnswer::Kind::NoAnswer
                              : WriteAnswer::Kind::Accepted;
    return a;
}
} // namespace

WriteAnswer PlcLink::Write_plc_block(int timeoutMs, const QString &command, const QString &address,
                                     const QString &count, const QString &data)
{
    const Outcome o = exchange(blockWriteFrame(command, address, count, data), timeoutMs, 1);
    return answerOf(o.collected, o.complete);
}

WriteAnswer PlcLink::Send_control_char(int timeoutMs, int code)
{
    const Outcome o = exchange(QByteArray(1, static_cast<char>(code & 0xFF)), timeoutMs, 1);
    return answerOf(o.collected, o.complete);
}

std::optional<quint16> PlcLink::Read_plc_word(int timeoutMs, const QString &address)
{
    const Outcome o = exchange(wordReadFrame(address), timeoutMs, 8);
    if (!o.complete)
        return std::nullopt;
    const QString digits = QString::fromLatin1(o.collected.mid(1, 4));
    // Low byte first on the line.
    const QString swapped = digits.mid(2, 2) + digits.left(2);
    return static_cast<quint16>(Hex_to_int(swapped));
}

LinkTransfer::LinkTransfer(PlcLink &link, const QString &iniPath, Settings settings) : m_link(link)
{
    if (m_link.busy()) {
        throw PlatformError(QStringLiteral("%1: another transfer with the PLC is running")
                                .arg(m_link.line().describe()));
    }
    m_link.beginTransfer();
    m_link.m_settleMs = 0; // a fresh opening of the port starts with an empty queue
    try {
        if (settings == Settings::FromIni)
            Open_com_port(m_link.line(), iniPath);
    } catch (...) {
        m_link.endTransfer();
        throw;
    }
}

LinkTransfer::~LinkTransfer()
{
    m_link.line().close();
    m_link.endTransfer();
}

void LinkTransfer::open()
{
    if (!m_link.line().isOpen())
        m_link.line().open();
}

void LinkTransfer::close()
{
    m_link.line().close();
}

QString comSettingsText(const QString &iniPath)
{
    static const char *const speeds[] = {"9600,", "19200,", "38400,", "57600,", "115200,"};
    static const char *const parities[] = {"N,", "O,", "E,"};
    static const char *const bits[] = {"7,", "8,", "9,"};
    static const char *const stops[] = {"1", "1.5", "2"};
    const QString com = QStringLiteral("COM");
    QString text;
    auto append = [&](const char *key, const char *const *table, int size) {
        const int v = readIniNumber(iniPath, com, QLatin1String(key));
        if (v >= 0 && v < size)
            text += QLatin1String(table[v]);
    };
    append("Speed", speeds, 5);
    append("Parity", parities, 3);
    append("Bit_num", bits, 3);
    append("Stop_bit", stops, 3);
    return text;
}

void Open_com_port(SerialLine &line, const QString &iniPath)
{
    if (!line.settingsPinned())
        line.setSettings(comSettingsText(iniPath));
    if (!line.portPinned()) {
        line.setPortNumber(
            readIniNumber(iniPath, QStringLiteral("COM"), QStringLiteral("Port_num")) + 1);
    }
}
