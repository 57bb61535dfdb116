#include "sim/sim_line.h"

#include "common/clock.h"
#include "common/errors.h"

#include <QTimer>

#include <utility>

namespace sim {

// Answers paced by the line's clock, so that tests on a clock of their own see the PLC's delays
// and the program's timeouts on one time scale.
class SimulatedLine::ClockPacer final : public AnswerPacer
{
public:
    ClockPacer(PlcModel &model, Clock &clock) : AnswerPacer(model), m_clock(clock) {}

protected:
    qint64 nowUs() const override { return m_clock.nowMs() * 1000; }
    void wakeAfter(qint64 us) override
    {
        // Never early: a clock of whole milliseconds rounds up.
        m_wake = m_clock.callAfter(static_cast<int>((us + 999) / 1000), [this] { release(); });
    }
    void cancelWake() override { m_wake.reset(); }

private:
    Clock &m_clock;
    std::unique_ptr<ClockTimer> m_wake;
};

SimulatedLine::SimulatedLine(QObject *parent)
    : SimulatedLine(std::make_unique<PlcModel>(), nullptr, nullptr, parent)
{}

SimulatedLine::SimulatedLine(Clock &clock, QObject *parent)
    : SimulatedLine(std::make_unique<PlcModel>(), nullptr, &clock, parent)
{}

SimulatedLine::SimulatedLine(PlcModel &model, QObject *parent)
    : SimulatedLine(nullptr, &model, nullptr, parent)
{}

SimulatedLine::SimulatedLine(PlcModel &model, Clock &clock, QObject *parent)
    : SimulatedLine(nullptr, &model, &clock, parent)
{}

SimulatedLine::SimulatedLine(std::unique_ptr<PlcModel> ownModel, PlcModel *model, Clock *clock,
                             QObject *parent)
    : SerialLine(parent), m_ownClock(clock ? nullptr : std::make_unique<SteadyClock>()),
      m_clock(clock ? *clock : *m_ownClock), m_ownModel(std::move(ownModel)),
      m_model(model ? *model : *m_ownModel), m_pacer(std::make_unique<ClockPacer>(m_model, m_clock))
{
    // The PLC's own sense of time (how long a bus search takes) runs on the same clock; a PLC
    // shared with other lines keeps the clock it has unless this line was given one.
    if (m_ownModel)
        m_model.setClock([this] { return m_clock.nowMs(); });
    else if (clock)
        m_model.setClock([clock] { return clock->nowMs(); });
    connect(m_pacer.get(), &AnswerPacer::answerReady, this, &SimulatedLine::deliver);
}

SimulatedLine::~SimulatedLine() = default;

QString SimulatedLine::describe() const
{
    return QStringLiteral("%1 (simulated PLC)").arg(SerialLine::describe());
}

void SimulatedLine::open()
{
    if (m_open)
        throw PlatformError(QStringLiteral("%1: the port is already open").arg(describe()));
    if (!m_openFailure.isEmpty())
        throw PlatformError(m_openFailure);
    m_open = true;
    clearBroken();
    ++m_openCount;
    m_received.clear();
}

void SimulatedLine::close()
{
    m_open = false;
    // Answers still on their way are lost with the port, as on a real line.
    m_pacer->clear();
    m_received.clear();
}

void SimulatedLine::send(const QByteArray &bytes)
{
    if (!m_open)
        throw PlatformError(QStringLiteral("%1: the port is not open").arg(describe()));
    m_sentBytes += bytes;
    m_sends.append(bytes);
    m_pacer->setCharTimeUs(m_wireTiming ? settings().bitsPerCharacter() * 1e6 / settings().baudRate
                                        : 0.0);
    if (m_breakCountdown > 0 && --m_breakCountdown == 0) {
        QTimer::singleShot(0, this, [this] {
            if (m_open)
                breakLine(m_breakDescription);
        });
        return;
    }
    m_pacer->takeRequests(bytes);
    QTimer::singleShot(0, this, [this] {
        if (m_open)
            Q_EMIT sent();
    });
}

QByteArray SimulatedLine::takeReceived()
{
    return std::exchange(m_received, {});
}

void SimulatedLine::breakLine(const QString &description)
{
    close();
    reportBroken(description);
}

void SimulatedLine::breakOnSend(int sends, const QString &description)
{
    m_breakCountdown = sends;
    m_breakDescription = description;
}

void SimulatedLine::clearSent()
{
    m_sentBytes.clear();
    m_sends.clear();
}

void SimulatedLine::deliver(const QByteArray &bytes)
{
    if (!m_open)
        return;
    m_received += bytes;
    Q_EMIT received();
}

} // namespace sim
