#include "link/plc_link.h"

#include "common/clock.h"
#include "common/errors.h"
#include "common/hex_text.h"
#include "link/com_setting.h"

#include <QEventLoop>
#include <QScopeGuard>

#include <algorithm>
#include <cmath>

using std::chrono::milliseconds;

QByteArray commandText(WriteCommand command)
{
    return command == WriteCommand::Configuration ? QByteArrayLiteral("E11")
                                                  : QByteArrayLiteral("E10");
}

QString answerMessage(WriteAnswer::Kind kind)
{
    switch (kind) {
    case WriteAnswer::Kind::Refused:
        return QStringLiteral("Wrong answer from PLC");
    case WriteAnswer::Kind::NoAnswer:
        return QStringLiteral("Answer timeout from PLC");
    case WriteAnswer::Kind::Accepted:
        break;
    }
    return {};
}

PlcLink::PlcLink(SerialLine &line, QObject *parent) : QObject(parent), m_line(line) {}

PlcLink::~PlcLink()
{
    abort();
}

QByteArray PlcLink::checksum(const QByteArray &afterStx)
{
    unsigned sum = 0;
    for (const char c : afterStx)
        sum += static_cast<unsigned char>(c);
    return byteHex(static_cast<quint8>(sum & 0xFF)).toLatin1();
}

namespace {
QByteArray framed(const QByteArray &body)
{
    const QByteArray afterStx = body + Ctl::ETX;
    return Ctl::STX + afterStx + PlcLink::checksum(afterStx);
}

QByteArray hex(quint16 address)
{
    return wordHex(address).toLatin1();
}
} // namespace

QByteArray PlcLink::blockReadFrame(quint16 address, quint8 count)
{
    return framed("E00" + hex(address) + byteHex(count).toLatin1());
}

QByteArray PlcLink::blockWriteFrame(WriteCommand command, quint16 address, const QByteArray &data)
{
    return framed(commandText(command) + hex(address) +
                  byteHex(static_cast<quint8>(data.size())).toLatin1() + data.toHex().toUpper());
}

QByteArray PlcLink::wordReadFrame(quint16 address)
{
    return framed("0" + hex(address) + "02");
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

void PlcLink::pause(milliseconds duration)
{
    if (m_abortRequested)
        throw TransferAborted();
    appClock().pause(static_cast<int>(duration.count()));
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

PlcLink::Collected PlcLink::exchange(const QByteArray &frame, milliseconds timeout, int awaited)
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
    if (m_settle.count() > 0) {
        settle(m_settle);
        m_settle = milliseconds(0);
    }
    m_line.takeReceived();

    // The frame needs time to leave at the line's speed; the answer timeout starts after that.
    const double bitsPerChar = m_line.settings().bitsPerCharacter();
    const auto sendingMs = static_cast<qint64>(
        std::ceil(frame.size() * bitsPerChar * 1000.0 / m_line.settings().baudRate));
    const qint64 timeoutMs = timeout.count();

    Collected collected;
    // Everything connected to the loop is disconnected when the loop goes; the deadline goes
    // before the loop does.
    QEventLoop loop;
    std::unique_ptr<ClockTimer> deadline;
    auto arm = [&](qint64 ms) {
        deadline = appClock().callAfter(static_cast<int>(ms), [&loop] { loop.quit(); });
    };
    auto take = [&] {
        const QByteArray arrived = m_line.takeReceived();
        if (arrived.isEmpty())
            return;
        Q_EMIT bytesReceived(arrived);
        collected.bytes += arrived;
        if (collected.bytes.size() >= awaited) {
            collected.complete = true;
            loop.quit();
        } else {
            arm(timeoutMs); // inactivity limit: every arrival starts a full interval
        }
    };
    connect(&m_line, &SerialLine::received, &loop, take);
    connect(&m_line, &SerialLine::sent, &loop, [&] {
        if (collected.bytes.isEmpty())
            arm(timeoutMs + sendingMs);
    });

    // Armed here as well, generously, in case the line never reports the frame as sent.
    arm(timeoutMs + 2 * sendingMs + 1000);
    Q_EMIT frameSent(frame);
    m_line.send(frame);
    take();
    if (!collected.complete)
        runWait(loop);
    deadline.reset();
    if (!collected.complete)
        m_settle = std::clamp(timeout, milliseconds(100), milliseconds(1000));
    return collected;
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
    if (m_abortRequested) {
        // Outside a transfer nothing else would take the request back.
        if (m_transfers == 0)
            m_abortRequested = false;
        throw TransferAborted();
    }
    if (!failure.isEmpty())
        throw PlatformError(failure);
}

void PlcLink::settle(milliseconds duration)
{
    QEventLoop loop;
    const auto deadline =
        appClock().callAfter(static_cast<int>(duration.count()), [&loop] { loop.quit(); });
    connect(&m_line, &SerialLine::received, &loop, [this] { m_line.takeReceived(); });
    runWait(loop);
}

std::optional<QByteArray> PlcLink::Read_plc_block(milliseconds timeout, quint16 address,
                                                  quint8 count)
{
    const Collected c = exchange(blockReadFrame(address, count), timeout, 2 * count + 4);
    if (!c.complete)
        return std::nullopt;
    return hexBytes(QString::fromLatin1(c.bytes.mid(1, 2 * count)));
}

namespace {
WriteAnswer answerOf(const QByteArray &collected, bool complete)
{
    WriteAnswer a;
    if (!complete || collected.isEmpty())
        return a;
    a.code = static_cast<unsigned char>(collected.at(0));
    // A received 0x16 cannot be told from silence, whose code it is; it counts as no answer.
    a.kind = a.code == 0x15   ? WriteAnswer::Kind::Refused
             : a.code == 0x16 ? WriteAnswer::Kind::NoAnswer
                              : WriteAnswer::Kind::Accepted;
    return a;
}
} // namespace

WriteAnswer PlcLink::Write_plc_block(milliseconds timeout, WriteCommand command, quint16 address,
                                     const QByteArray &data)
{
    const Collected c = exchange(blockWriteFrame(command, address, data), timeout, 1);
    return answerOf(c.bytes, c.complete);
}

WriteAnswer PlcLink::Send_control_char(milliseconds timeout, char code)
{
    const Collected c = exchange(QByteArray(1, code), timeout, 1);
    return answerOf(c.bytes, c.complete);
}

std::optional<quint16> PlcLink::Read_plc_word(milliseconds timeout, quint16 address)
{
    const Collected c = exchange(wordReadFrame(address), timeout, 8);
    if (!c.complete)
        return std::nullopt;
    // The word's digits are all or nothing: one that is not upper-case hex makes it 0.
    const QString digits = QString::fromLatin1(c.bytes.mid(1, 4));
    return static_cast<quint16>(Hex_to_int(digits.mid(2, 2) + digits.left(2)));
}

LinkTransfer::LinkTransfer(PlcLink &link, const QString &iniPath, Settings settings) : m_link(link)
{
    if (m_link.busy()) {
        throw PlatformError(QStringLiteral("%1: another transfer with the PLC is running")
                                .arg(m_link.line().describe()));
    }
    m_link.beginTransfer();
    m_link.m_settle = milliseconds(0); // a fresh opening of the port starts with an empty queue
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
