#include "link/plc_link.h"

#include "common/clock.h"
#include "common/errors.h"
#include "common/hex_text.h"
#include "link/com_setting.h"

#include <QScopeGuard>

#include <algorithm>
#include <cmath>
#include <coroutine>
#include <utility>

using std::chrono::milliseconds;

QByteArray commandText(WriteCommand command)
{
    return command == WriteCommand::Configuration ? QByteArrayLiteral("E11")
                                                  : QByteArrayLiteral("E10");
}

QString answerMessage(AnswerKind kind)
{
    switch (kind) {
    case AnswerKind::Refused:
        return QStringLiteral("Wrong answer from PLC");
    case AnswerKind::NoAnswer:
        return QStringLiteral("Answer timeout from PLC");
    case AnswerKind::Damaged:
        return QStringLiteral("Damaged answer from PLC");
    case AnswerKind::Accepted:
        break;
    }
    return {};
}

// The end of one wait of a link: fired once by whatever ends it (an answer, a deadline, a broken
// line, an abort, the line's turn). The awaiting coroutine is resumed from the event loop, never
// inside the call that fired the end, so no sender is destroyed while it still runs. A wait whose
// link went away is orphaned: it never resumes, since everything after it refers to the link.
class LinkWait
{
public:
    void end()
    {
        if (m_ended)
            return;
        m_ended = true;
        if (m_waiter && !m_orphaned) {
            QMetaObject::invokeMethod(
                &m_context,
                [this] {
                    if (!m_orphaned)
                        std::exchange(m_waiter, nullptr).resume();
                },
                Qt::QueuedConnection);
        }
    }
    bool ended() const { return m_ended; }
    // Also ended: what would still end it (an arrival, a deadline) finds it over.
    void orphan()
    {
        m_orphaned = true;
        m_ended = true;
    }

    // What co_await takes: the wait itself stays where it was made.
    struct Awaiter
    {
        LinkWait *wait;
        bool await_ready() const noexcept { return wait->m_ended; }
        void await_suspend(std::coroutine_handle<> waiter) noexcept { wait->m_waiter = waiter; }
        void await_resume() const noexcept {}
    };
    Awaiter finished() { return {this}; }

private:
    bool m_ended = false;
    bool m_orphaned = false;
    std::coroutine_handle<> m_waiter;
    QObject m_context;
};

PlcLink::PlcLink(SerialLine &line, Clock &clock, FrameTap &tap, QObject *parent)
    : QObject(parent), m_line(line), m_clock(clock), m_tap(tap)
{}

PlcLink::~PlcLink()
{
    // A command still suspended on this link cannot go on without it.
    for (LinkWait *wait : std::as_const(m_lineQueue))
        wait->orphan();
    for (LinkWait *wait : std::as_const(m_idleWaiters))
        wait->orphan();
    if (m_wait)
        m_wait->orphan();
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

std::optional<QByteArray> PlcLink::frameData(const QByteArray &answer, int dataBytes)
{
    const int etx = 1 + 2 * dataBytes;
    if (answer.size() < etx + 3 || answer.at(0) != Ctl::STX || answer.at(etx) != Ctl::ETX)
        return std::nullopt;
    const QString digits = QString::fromLatin1(answer.mid(1, 2 * dataBytes));
    const QByteArray sum = answer.mid(etx + 1, 2);
    for (const QChar c : digits + QString::fromLatin1(sum)) {
        if (hexDigit(c) < 0)
            return std::nullopt;
    }
    if (sum != checksum(answer.mid(1, etx)))
        return std::nullopt;
    return hexBytes(digits);
}

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
    // A wait or a pause ends at once; anywhere else between two exchanges the request holds
    // until the next exchange or pause, which then ends the transfer before anything is sent.
    if (m_wait || m_transfers > 0 || m_lineTaken)
        m_abortRequested = true;
    // The drain after a command is not cut short: it keeps a late answer from the next opening.
    if (m_wait && m_abortRequested && (m_waitWatch & Abort))
        m_wait->end();
}

void PlcLink::throwIfAborted()
{
    if (m_abortRequested) {
        // Outside a transfer nothing else would take the request back.
        if (m_transfers == 0)
            m_abortRequested = false;
        throw TransferAborted();
    }
}

QCoro::Task<> PlcLink::await(LinkWait &wait, int watch)
{
    QString failure;
    QObject scope; // the connections go with the wait
    if (watch & LineFailure) {
        connect(&m_line, &SerialLine::failed, &scope, [&](const QString &why) {
            failure = why;
            wait.end();
        });
    }
    LinkWait *const outer = std::exchange(m_wait, &wait);
    const int outerWatch = std::exchange(m_waitWatch, watch);
    const auto restore = qScopeGuard([&] {
        m_wait = outer;
        m_waitWatch = outerWatch;
    });
    const bool abortable = watch & Abort;
    if (!(abortable && m_abortRequested))
        co_await wait.finished();
    if (abortable)
        throwIfAborted();
    if (!failure.isEmpty())
        throw PlatformError(failure);
}

QCoro::Task<> PlcLink::takeLine()
{
    if (m_lineTaken) {
        // Kept in the queue until resumed: a link that goes meanwhile orphans it.
        LinkWait turn;
        m_lineQueue.append(&turn);
        co_await turn.finished();
        m_lineQueue.removeOne(&turn);
        // The request before this one handed the line over.
    }
    m_lineTaken = true;
}

void PlcLink::releaseLine()
{
    if (m_lineQueue.isEmpty())
        m_lineTaken = false;
    else
        m_lineQueue.first()->end(); // the line passes straight to the next request
}

QCoro::Task<> PlcLink::pause(milliseconds duration)
{
    throwIfAborted();
    LinkWait wait;
    const auto end = m_clock.pauseEnds(static_cast<int>(duration.count()), [&wait] { wait.end(); });
    co_await await(wait, Abort);
}

QCoro::Task<> PlcLink::openLine()
{
    if (m_line.isOpen())
        co_return;
    throwIfAborted();
    if (!m_line.opening())
        m_line.open();
    if (m_line.isOpen())
        co_return;
    LinkWait wait;
    QObject scope;
    connect(&m_line, &SerialLine::opened, &scope, [&wait] { wait.end(); });
    try {
        co_await await(wait);
    } catch (...) {
        m_line.close();
        throw;
    }
}

bool PlcLink::drainPending() const
{
    return m_settle.count() > 0 && m_line.isOpen();
}

QCoro::Task<> PlcLink::closeLine(Drain drain)
{
    if (drain == Drain::No) {
        m_settle = milliseconds(0);
        m_line.close();
        co_return;
    }
    co_await drainAndClose(true);
}

QCoro::Task<> PlcLink::drainAndClose(bool abortable)
{
    co_await takeLine();
    const auto release = qScopeGuard([this] { releaseLine(); });
    const milliseconds quiet = std::exchange(m_settle, milliseconds(0));
    if (quiet.count() > 0 && m_line.isOpen()) {
        try {
            co_await settle(quiet, abortable ? Abort | LineFailure : LineFailure);
        } catch (const TransferAborted &) {
            m_line.close();
            throw;
        } catch (const PlatformError &) {
            // A line that breaks while draining is closed all the same.
        }
    }
    m_line.close();
}

void PlcLink::expectLateBytes(milliseconds timeout)
{
    m_settle = std::clamp(timeout, milliseconds(100), milliseconds(1000));
}

void PlcLink::beginTransfer(const QString &name)
{
    if (++m_transfers == 1) {
        m_transfer = m_tap.newTransfer();
        LinkEvent started = tapEvent(LinkEvent::Kind::TransferStarted);
        started.name = name;
        started.startedAt = QTime::currentTime();
        m_tap.publish(started);
        Q_EMIT busyChanged(true);
    }
}

void PlcLink::endTransfer()
{
    if (--m_transfers == 0) {
        m_abortRequested = false;
        m_transfer = 0;
        for (LinkWait *waiter : std::as_const(m_idleWaiters))
            waiter->end();
        Q_EMIT busyChanged(false);
    }
}

void PlcLink::finishTransfer()
{
    if (!drainPending()) {
        m_settle = milliseconds(0);
        m_line.close();
        endTransfer();
        return;
    }
    // Left to the event loop: the command that ended does not wait for the quiet line, but the
    // link stays busy until the line is closed.
    drainThenEnd();
}

QCoro::Task<> PlcLink::drainThenEnd()
{
    try {
        co_await drainAndClose(false);
    } catch (...) {
        // Nobody awaits this drain: whatever ends it, the line is closed and the link free.
        m_line.close();
    }
    endTransfer();
}

QCoro::Task<> PlcLink::idle()
{
    while (m_transfers > 0) {
        // Kept in the list until resumed: a link that goes meanwhile orphans it.
        LinkWait wait;
        m_idleWaiters.append(&wait);
        co_await wait.finished();
        m_idleWaiters.removeOne(&wait);
    }
}

LinkEvent PlcLink::tapEvent(LinkEvent::Kind kind) const
{
    LinkEvent event;
    event.kind = kind;
    event.link = this;
    event.port = m_line.describe();
    event.transfer = m_transfer;
    event.atMs = m_clock.nowMs();
    return event;
}

void PlcLink::tap(LinkEvent::Kind kind, const QByteArray &bytes, milliseconds timeout) const
{
    LinkEvent event = tapEvent(kind);
    event.bytes = bytes;
    event.timeout = timeout;
    m_tap.publish(event);
}

void PlcLink::drop(const QByteArray &late) const
{
    if (!late.isEmpty())
        tap(LinkEvent::Kind::Dropped, late);
}

QCoro::Task<PlcLink::Collected> PlcLink::exchange(QByteArray frame, milliseconds timeout,
                                                  int awaited, Awaiting awaiting)
{
    co_await takeLine();
    const auto release = qScopeGuard([this] { releaseLine(); });
    throwIfAborted();
    if (!m_line.isOpen()) {
        const QString broken = m_line.brokenReason();
        throw PlatformError(broken.isEmpty()
                                ? QStringLiteral("%1: the port is not open").arg(m_line.describe())
                                : broken);
    }

    // A late answer to an earlier request must not count towards this one: after a request went
    // unanswered, let the line fall quiet before the next one, then drop what is queued.
    if (m_settle.count() > 0) {
        co_await settle(m_settle, Abort | LineFailure);
        m_settle = milliseconds(0);
    }
    drop(m_line.takeReceived());

    // The frame needs time to leave at the line's speed; the answer timeout starts after that.
    const double bitsPerChar = m_line.settings().bitsPerCharacter();
    const auto sendingMs = static_cast<qint64>(
        std::ceil(frame.size() * bitsPerChar * 1000.0 / m_line.settings().baudRate));
    const qint64 timeoutMs = timeout.count();

    Collected collected;
    bool noise = false;
    LinkWait wait;
    QObject scope; // the connections go with the exchange
    std::unique_ptr<ClockTimer> deadline;
    auto arm = [&](qint64 ms) {
        deadline = m_clock.callAfter(static_cast<int>(ms), [&wait] { wait.end(); });
    };
    auto take = [&] {
        // What comes after the wait ended belongs to no answer: the next request drops it.
        if (wait.ended())
            return;
        const QByteArray arrived = m_line.takeReceived();
        if (arrived.isEmpty())
            return;
        tap(LinkEvent::Kind::Received, arrived);
        collected.bytes += arrived;
        // Noise before an answer is no part of it, and does not count as the PLC answering: a
        // frame starts with STX; a single character is ACK, NAK, STX or 0x16 (silence's code).
        qsizetype start = collected.bytes.size();
        if (awaiting == Awaiting::Frame) {
            if (const qsizetype stx = frameStart(collected.bytes, awaited); stx >= 0)
                start = stx;
        } else {
            start = std::find_if(collected.bytes.cbegin(), collected.bytes.cend(),
                                 [&](char c) { return startsAnswer(c, awaiting); }) -
                    collected.bytes.cbegin();
        }
        noise = noise || start > 0;
        collected.bytes.remove(0, start);
        if (collected.bytes.isEmpty())
            return;
        // A write answered with STX waits for the whole frame, or for what shows it is none.
        const bool whole = awaiting == Awaiting::Character && collected.bytes.at(0) == Ctl::STX
                               ? frameState(collected.bytes) != FrameState::Partial
                               : collected.bytes.size() >= awaited;
        if (whole) {
            collected.complete = true;
            deadline.reset();
            wait.end();
        } else {
            arm(timeoutMs); // inactivity limit: every arrival starts a full interval
        }
    };
    connect(&m_line, &SerialLine::received, &scope, take);
    connect(&m_line, &SerialLine::sent, &scope, [&] {
        if (collected.bytes.isEmpty() && !wait.ended())
            arm(timeoutMs + sendingMs);
    });

    // Armed here as well, generously, in case the line never reports the frame as sent.
    arm(timeoutMs + 2 * sendingMs + 1000);
    tap(LinkEvent::Kind::Sent, frame, timeout);
    bool waitEnded = false;
    const auto cutShort = qScopeGuard([&] {
        if (!waitEnded) {
            LinkEvent cut = tapEvent(LinkEvent::Kind::CutShort);
            cut.aborted = m_abortRequested;
            m_tap.publish(cut);
            // The answer may still come: it must not reach the next request.
            expectLateBytes(timeout);
        }
    });
    m_line.send(frame);
    take();
    if (!collected.complete)
        co_await await(wait);
    deadline.reset();
    collected.noiseOnly = !collected.complete && noise;
    waitEnded = true;
    tap(collected.complete ? LinkEvent::Kind::Answered : LinkEvent::Kind::Unanswered, {}, timeout);
    if (!collected.complete)
        expectLateBytes(timeout);
    co_return collected;
}

QCoro::Task<> PlcLink::settle(milliseconds quiet, int watch)
{
    m_line.discardPending();
    LinkWait wait;
    QObject scope;
    const int quietMs = static_cast<int>(quiet.count());
    std::unique_ptr<ClockTimer> deadline = m_clock.callAfter(quietMs, [&wait] { wait.end(); });
    // A peer that never falls quiet is not waited for beyond this.
    const auto giveUp = m_clock.callAfter(5 * quietMs, [&wait] { wait.end(); });
    connect(&m_line, &SerialLine::received, &scope, [&] {
        if (wait.ended())
            return;
        drop(m_line.takeReceived());
        deadline = m_clock.callAfter(quietMs, [&wait] { wait.end(); });
    });
    co_await await(wait, watch);
}

QCoro::Task<PlcRead<QByteArray>> PlcLink::readFrame(QByteArray frame, milliseconds timeout,
                                                    int dataBytes, int attempts)
{
    for (int attempt = 1;; ++attempt) {
        const Collected c = co_await exchange(frame, timeout, 2 * dataBytes + 4, Awaiting::Frame);
        if (!c.complete)
            co_return PlcRead<QByteArray>{c.noiseOnly ? AnswerKind::Damaged : AnswerKind::NoAnswer,
                                          {}};
        if (auto data = frameData(c.bytes, dataBytes))
            co_return PlcRead<QByteArray>{AnswerKind::Accepted, *data};
        // The rest of a damaged answer may still be on its way: it must not count towards the
        // next one.
        expectLateBytes(timeout);
        if (attempt >= attempts)
            co_return PlcRead<QByteArray>{AnswerKind::Damaged, {}};
    }
}

QCoro::Task<PlcRead<QByteArray>> PlcLink::Read_plc_block(milliseconds timeout, quint16 address,
                                                         quint8 count, Reading reading)
{
    co_return co_await readFrame(blockReadFrame(address, count), timeout, count,
                                 reading == Reading::OnceMore ? 2 : 1);
}

PlcLink::FrameState PlcLink::frameState(const QByteArray &fromStx)
{
    // No answer is longer than a frame of 255 data bytes; a longer run of digits is a flood.
    constexpr qsizetype MostDigits = 2 * 255;
    qsizetype etx = 1;
    while (etx < fromStx.size() && hexDigit(QLatin1Char(fromStx.at(etx))) >= 0)
        ++etx;
    if (etx - 1 > MostDigits)
        return FrameState::Damaged;
    if (etx == fromStx.size())
        return FrameState::Partial;
    if (fromStx.at(etx) != Ctl::ETX)
        return FrameState::Damaged;
    if (fromStx.size() < etx + 3)
        return FrameState::Partial;
    return fromStx.mid(etx + 1, 2) == checksum(fromStx.mid(1, etx)) ? FrameState::Sound
                                                                    : FrameState::Damaged;
}

qsizetype PlcLink::frameStart(const QByteArray &collected, int awaited)
{
    qsizetype start = collected.indexOf(Ctl::STX);
    for (qsizetype next; start >= 0 && (next = collected.indexOf(Ctl::STX, start + 1)) >= 0 &&
                         next - start < awaited;)
        start = next;
    return start;
}

WriteAnswer PlcLink::answerOf(const QByteArray &collected, bool complete, bool noiseOnly)
{
    WriteAnswer a;
    if (noiseOnly)
        a.kind = AnswerKind::Damaged;
    // STX promises a frame: one that breaks off, or is not sound, is no acceptance.
    if (!collected.isEmpty() && collected.at(0) == Ctl::STX) {
        a.code = Ctl::STX;
        a.kind = complete && frameState(collected) == FrameState::Sound ? AnswerKind::Accepted
                                                                        : AnswerKind::Damaged;
        return a;
    }
    if (!complete || collected.isEmpty())
        return a;
    a.code = static_cast<unsigned char>(collected.at(0));
    switch (a.code) {
    case Ctl::ACK:
        a.kind = AnswerKind::Accepted;
        break;
    case Ctl::NAK:
        a.kind = AnswerKind::Refused;
        break;
    case 0x16: // cannot be told from silence, whose code it is
        a.kind = AnswerKind::NoAnswer;
        break;
    default:
        a.kind = AnswerKind::Damaged;
    }
    return a;
}

bool PlcLink::startsAnswer(char c, Awaiting awaiting)
{
    if (awaiting == Awaiting::Frame)
        return c == Ctl::STX;
    return c == Ctl::ACK || c == Ctl::NAK || c == Ctl::STX || c == 0x16;
}

QCoro::Task<WriteAnswer> PlcLink::characterAnswer(QByteArray request, milliseconds timeout)
{
    const Collected c = co_await exchange(std::move(request), timeout, 1, Awaiting::Character);
    const WriteAnswer answer = answerOf(c.bytes, c.complete, c.noiseOnly);
    // The rest of a damaged answer may still be on its way: it must not reach the next request.
    if (c.complete && answer.kind == AnswerKind::Damaged)
        expectLateBytes(timeout);
    co_return answer;
}

QCoro::Task<WriteAnswer> PlcLink::Write_plc_block(milliseconds timeout, WriteCommand command,
                                                  quint16 address, QByteArray data)
{
    co_return co_await characterAnswer(blockWriteFrame(command, address, data), timeout);
}

QCoro::Task<WriteAnswer> PlcLink::Send_control_char(milliseconds timeout, char code)
{
    co_return co_await characterAnswer(QByteArray(1, code), timeout);
}

QCoro::Task<PlcRead<quint16>> PlcLink::Read_plc_word(milliseconds timeout, quint16 address)
{
    const PlcRead<QByteArray> data = co_await readFrame(wordReadFrame(address), timeout, 2, 2);
    co_return PlcRead<quint16>{data.kind, wordAt(data.value, 0)};
}

LinkTransfer::LinkTransfer(PlcLink &link, const QString &iniPath, const QString &name,
                           Settings settings)
    : m_link(link)
{
    if (m_link.busy()) {
        throw PlatformError(QStringLiteral("%1: another transfer with the PLC is running")
                                .arg(m_link.line().describe()));
    }
    m_link.beginTransfer(name);
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
    m_link.finishTransfer();
}

QCoro::Task<> LinkTransfer::open()
{
    co_await m_link.openLine();
}

QCoro::Task<> LinkTransfer::close(PlcLink::Drain drain)
{
    co_await m_link.closeLine(drain);
}
