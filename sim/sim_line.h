#pragma once

#include "link/serial_line.h"
#include "sim/answer_pacer.h"
#include "sim/plc_model.h"

#include <QByteArray>
#include <QString>

#include <memory>

class Clock;

namespace sim {

// A SerialLine with the simulated PLC at its other end, in the same process: what the link sends
// goes to a PlcModel, whose answers come back through the event loop with the model's delays,
// pieces and silences. For tests: it can refuse to open, break, and records everything sent.
class SimulatedLine final : public SerialLine
{
    Q_OBJECT
public:
    // With a PLC of its own. Its answers are paced by clock (a test's own clock, to be on one
    // time scale with the link's timeouts), or by real time when none is given.
    explicit SimulatedLine(QObject *parent = nullptr);
    explicit SimulatedLine(Clock &clock, QObject *parent = nullptr);
    // With a PLC shared with other lines (the main window's and a dialog's link reach one PLC).
    explicit SimulatedLine(PlcModel &model, QObject *parent = nullptr);
    SimulatedLine(PlcModel &model, Clock &clock, QObject *parent = nullptr);
    ~SimulatedLine() override;

    PlcModel &model() { return m_model; }

    QString describe() const override;
    void open() override;
    void close() override;
    bool isOpen() const override { return m_open; }
    void send(const QByteArray &bytes) override;
    QByteArray takeReceived() override;

    // Every later open() fails with this description (PlatformError); an empty text lets them
    // succeed again.
    void setOpenFailure(const QString &description) { m_openFailure = description; }
    // Closes the line and emits failed(description) now.
    void breakLine(const QString &description);
    // The sends-th send() from now is not delivered: the line breaks instead, through the event
    // loop, as a real port reports it. 0 disarms.
    void breakOnSend(int sends, const QString &description);

    // Answers held back by the time the request and the answer take on a real wire at the
    // line's settings, as well as by the PLC's own delays. Off by default.
    void setWireTiming(bool on) { m_wireTiming = on; }

    // Every byte handed to send() since construction or clearSent(), and the sends one by one.
    QByteArray sentBytes() const { return m_sentBytes; }
    const QList<QByteArray> &sends() const { return m_sends; }
    void clearSent();
    int openCount() const { return m_openCount; }

private:
    SimulatedLine(std::unique_ptr<PlcModel> ownModel, PlcModel *model, Clock *clock,
                  QObject *parent);
    void deliver(const QByteArray &bytes);

    class ClockPacer;
    std::unique_ptr<Clock> m_ownClock;
    Clock &m_clock;
    std::unique_ptr<PlcModel> m_ownModel;
    PlcModel &m_model;
    std::unique_ptr<AnswerPacer> m_pacer;
    bool m_open = false;
    bool m_wireTiming = false;
    QByteArray m_received;
    QString m_openFailure;
    int m_breakCountdown = 0;
    QString m_breakDescription;
    QByteArray m_sentBytes;
    QList<QByteArray> m_sends;
    int m_openCount = 0;
};

} // namespace sim
