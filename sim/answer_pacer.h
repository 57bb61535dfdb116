#pragma once

#include "sim/plc_model.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>

namespace sim {

// Hands request bytes to a PlcModel and releases its answers on time, one piece per timer tick,
// in the order the requests came: the PLC answers one request after the other, so an answer held
// back delays the ones behind it. Shared by the in-process line and the pty server. Its time is
// real time unless a subclass brings a clock of its own.
class AnswerPacer : public QObject
{
    Q_OBJECT
public:
    explicit AnswerPacer(PlcModel &model, QObject *parent = nullptr);
    ~AnswerPacer() override;

    PlcModel &model() { return m_model; }
    void takeRequests(const QByteArray &bytes);
    // Forgets the answers not yet released (the line was closed).
    void clear();
    bool idle() const { return m_pieces.isEmpty(); }

Q_SIGNALS:
    void answerReady(const QByteArray &bytes);

protected:
    // Milliseconds on a monotonic scale.
    virtual qint64 nowMs() const;
    // release() is to run ms from now; a new call replaces the one before.
    virtual void wakeAfter(int ms);
    virtual void cancelWake();
    void release();

private:
    struct Piece
    {
        qint64 dueMs = 0;
        QByteArray bytes;
    };
    void schedule();

    PlcModel &m_model;
    QElapsedTimer m_elapsed;
    QTimer m_timer;
    bool m_wakePending = false;
    QList<Piece> m_pieces;
};

} // namespace sim
