#pragma once

#include "sim/plc_model.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>

#include <optional>

namespace sim {

// The time one character takes on a serial line with these settings ("9600,N,7,1": a start
// bit, the data bits, a parity bit unless N, the stop bits), in microseconds; nothing when the
// text is not of that form.
std::optional<double> wireCharTimeUs(const QString &lineSettings);

// Hands request bytes to a PlcModel and releases its answers on time, one piece per timer tick,
// in the order the requests came: the PLC answers one request after the other, so an answer held
// back delays the ones behind it. Shared by the in-process line and the pty server. Its time is
// real time unless a subclass brings a clock of its own. With a wire (setCharTimeUs) a request
// counts from its last character's arrival at the PLC and an answer is released when its last
// character would have crossed the wire, one character after the other in each direction, so a
// pseudo-terminal takes as long as a real line.
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
    // Microseconds per character on the wire; 0 (the default): no wire, answers are released
    // as soon as the PLC has them.
    void setCharTimeUs(double us) { m_charTimeUs = us; }
    double charTimeUs() const { return m_charTimeUs; }

Q_SIGNALS:
    void answerReady(const QByteArray &bytes);

protected:
    // Microseconds on a monotonic scale.
    virtual qint64 nowUs() const;
    // release() is to run us from now; a new call replaces the one before.
    virtual void wakeAfter(qint64 us);
    virtual void cancelWake();
    void release();

private:
    struct Piece
    {
        qint64 dueUs = 0;
        QByteArray bytes;
    };
    void schedule();
    qint64 wireUs(qsizetype characters) const;

    PlcModel &m_model;
    QElapsedTimer m_elapsed;
    QTimer m_timer;
    bool m_wakePending = false;
    QList<Piece> m_pieces;
    double m_charTimeUs = 0;
    // When the wire in each direction is free again.
    qint64 m_inFreeUs = 0;
    qint64 m_outFreeUs = 0;
};

} // namespace sim
