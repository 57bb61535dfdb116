#include "sim/answer_pacer.h"

#include <QStringList>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

namespace sim {

std::optional<double> wireCharTimeUs(const QString &lineSettings)
{
    const QStringList parts = lineSettings.split(QLatin1Char(','));
    if (parts.size() != 4)
        return std::nullopt;
    bool ok = false;
    const int baud = parts[0].trimmed().toInt(&ok);
    if (!ok || baud <= 0)
        return std::nullopt;
    const QString parity = parts[1].trimmed().toUpper();
    if (parity.size() != 1 || !QStringLiteral("NOEMS").contains(parity))
        return std::nullopt;
    const int data = parts[2].trimmed().toInt(&ok);
    if (!ok || data < 5 || data > 9)
        return std::nullopt;
    const QString stopText = parts[3].trimmed();
    double stop = 0;
    if (stopText == QLatin1String("1"))
        stop = 1;
    else if (stopText == QLatin1String("1.5"))
        stop = 1.5;
    else if (stopText == QLatin1String("2"))
        stop = 2;
    else
        return std::nullopt;
    const double bits = 1 + data + (parity == QLatin1String("N") ? 0 : 1) + stop;
    return bits * 1e6 / baud;
}

AnswerPacer::AnswerPacer(PlcModel &model, QObject *parent) : QObject(parent), m_model(model)
{
    m_elapsed.start();
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        // The timer counts whole milliseconds and wakes at the last one before the answer is
        // due; the rest is slept here, so that answers leave on the microsecond.
        if (!m_pieces.isEmpty()) {
            const qint64 early = m_pieces.constFirst().dueUs - nowUs();
            if (early > 0)
                std::this_thread::sleep_for(std::chrono::microseconds(early));
        }
        release();
    });
}

AnswerPacer::~AnswerPacer() = default;

qint64 AnswerPacer::nowUs() const
{
    return m_elapsed.nsecsElapsed() / 1000;
}

void AnswerPacer::wakeAfter(qint64 us)
{
    m_timer.start(static_cast<int>(us / 1000));
}

void AnswerPacer::cancelWake()
{
    m_timer.stop();
}

qint64 AnswerPacer::wireUs(qsizetype characters) const
{
    return std::llround(static_cast<double>(characters) * m_charTimeUs);
}

void AnswerPacer::takeRequests(const QByteArray &bytes)
{
    // The request is whole at the PLC when its last character has crossed the wire.
    m_inFreeUs = std::max(nowUs(), m_inFreeUs) + wireUs(bytes.size());
    for (const PlcModel::Answer &answer : m_model.feedAnswers(bytes)) {
        qint64 start = m_inFreeUs + qint64(answer.delayMs) * 1000;
        for (const QByteArray &piece : answer.pieces) {
            // One wire back: a piece starts once the one before it has gone.
            start = std::max(start, m_outFreeUs);
            m_outFreeUs = start + wireUs(piece.size());
            m_pieces.append(Piece{m_outFreeUs, piece});
            start = m_outFreeUs + qint64(answer.gapMs) * 1000;
        }
    }
    schedule();
}

void AnswerPacer::clear()
{
    m_pieces.clear();
    m_wakePending = false;
    m_inFreeUs = 0;
    m_outFreeUs = 0;
    cancelWake();
}

void AnswerPacer::schedule()
{
    if (m_pieces.isEmpty() || m_wakePending)
        return;
    const qint64 wait = m_pieces.constFirst().dueUs - nowUs();
    m_wakePending = true;
    wakeAfter(std::max<qint64>(wait, 0));
}

void AnswerPacer::release()
{
    m_wakePending = false;
    if (m_pieces.isEmpty())
        return;
    // One piece per tick, even when several are due: each must reach the client as an arrival
    // of its own.
    const QByteArray bytes = m_pieces.takeFirst().bytes;
    schedule();
    Q_EMIT answerReady(bytes);
}

} // namespace sim
