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

void AnswerPacer::takeRequests(const QByteArray &bytes)
{
    const qint64 now = m_elapsed.elapsed();
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
    m_timer.stop();
}

void AnswerPacer::schedule()
{
    if (m_pieces.isEmpty() || m_timer.isActive())
        return;
    const qint64 wait = m_pieces.constFirst().dueMs - m_elapsed.elapsed();
    m_timer.start(static_cast<int>(std::max<qint64>(wait, 0)));
}

void AnswerPacer::release()
{
    if (m_pieces.isEmpty())
        return;
    // One piece per tick, even when several are due: each must reach the client as an arrival
    // of its own.
    const QByteArray bytes = m_pieces.takeFirst().bytes;
    schedule();
    Q_EMIT answerReady(bytes);
}

} // namespace sim
