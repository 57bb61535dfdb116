#include "sim/answer_pacer.h"

#include <algorithm>

namespace sim {

AnswerPacer::AnswerPacer(PlcModel &model, QObject *parent) : QObject(parent), m_model(model)
{
    m_elapsed.start();
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &AnswerPacer::release);
}

AnswerPacer::~AnswerPacer() = default;

qint64 AnswerPacer::nowMs() const
{
    return m_elapsed.elapsed();
}

void AnswerPacer::wakeAfter(int ms)
{
    m_timer.start(ms);
}

void AnswerPacer::cancelWake()
{
    m_timer.stop();
}

void AnswerPacer::takeRequests(const QByteArray &bytes)
{
    const qint64 now = nowMs();
    for (const PlcModel::Answer &answer : m_model.feedAnswers(bytes)) {
        qint64 due = now + answer.delayMs;
        if (!m_pieces.isEmpty())
            due = std::max(due, m_pieces.constLast().dueMs);
        for (const QByteArray &piece : answer.pieces) {
            m_pieces.append(Piece{due, piece});
            due += answer.gapMs;
        }
    }
    schedule();
}

void AnswerPacer::clear()
{
    m_pieces.clear();
    m_wakePending = false;
    cancelWake();
}

void AnswerPacer::schedule()
{
    if (m_pieces.isEmpty() || m_wakePending)
        return;
    const qint64 wait = m_pieces.constFirst().dueMs - nowMs();
    m_wakePending = true;
    wakeAfter(static_cast<int>(std::max<qint64>(wait, 0)));
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
