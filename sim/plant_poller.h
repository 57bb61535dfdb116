#pragma once

#include "sim/modbus_poll.h"
#include "sim/plant.h"
#include "sim/plc_model.h"

#include <QList>
#include <QObject>
#include <QString>

#include <array>
#include <functional>
#include <memory>

class QIODevice;

namespace sim {

// What the simulated PLC does with its configuration while it runs: a UART that is a Modbus
// master polls its slave table row after row over its Modbus line, again and again, and notes
// each row's outcome in the port's error buffer; a 1-wire master reads its sensors and notes the
// missing ones in the 1-wire error buffer. The plant decides what the field devices answer.
//
// The configuration is taken from the PLC's memory whenever a write has left the configuration
// bracket closed; a port whose settings or table changed starts afresh with a cleared error
// buffer. A new plant (the file mended) keeps the error buffers, so a row that fails before and
// succeeds after shows the past error as inactive.
class PlantPoller : public QObject
{
    Q_OBJECT
public:
    using LineFactory = std::function<std::unique_ptr<ModbusLine>()>;
    // Calls fire once, ms milliseconds from now, from the event loop. The poller never cancels
    // a call; it ignores those that come too late to matter.
    using CallAfter = std::function<void(int ms, std::function<void()> fire)>;

    // Registers of the PLC's own memory that the Modbus rows and the sensors read into and
    // write from, and its bits for the coil functions.
    static constexpr int MasterRegisters = 8000;
    static constexpr int MasterBits = 3072;
    // A 1-wire sensor's conversion time: the sensors are read this often.
    static constexpr int SensorPeriodMs = 750;

    PlantPoller(PlcModel &model, LineFactory lines, QObject *parent = nullptr);
    ~PlantPoller() override;

    // Real-time QTimer calls unless set.
    void setCallAfter(CallAfter callAfter) { m_callAfter = std::move(callAfter); }
    // One line per poll and per sensor read, with the values (not owned; nullptr: none).
    void setPlantLog(QIODevice *device) { m_plantLog = device; }

    void setPlant(const Plant &plant);
    const Plant &plant() const { return m_plant; }

    // Reads the configuration from the PLC's memory and starts, restarts or stops what it names.
    // Called by itself after writes; call it once after filling the memory at start.
    void reconfigure();

    quint16 masterRegister(int index) const { return m_registers.value(index); }
    bool masterBit(int index) const { return m_bits.value(index); }
    // Polls finished on a UART (1 or 2) since the start; for benchmarks and tests.
    qint64 pollsDone(int uart) const { return m_ports[uart == 2 ? 1 : 0].pollsDone; }
    // A line of a UART could not be opened: why; empty when it could or is not wanted.
    QString lineError(int uart) const { return m_ports[uart == 2 ? 1 : 0].lineError; }

Q_SIGNALS:
    // A row's outcome changed its error byte (slot counted from 1).
    void errorChanged(int uart, int slot, quint8 errorByte);

private:
    struct Row
    {
        int slave = 0;
        int count = 0;
        int slaveAddress = 0;
        int masterAddress = 0;
        int function = 0;
        int timeoutMs = 0;
    };
    struct Port
    {
        int uart = 1;
        quint16 word = 0;
        QByteArray records;
        QList<Row> rows;
        std::unique_ptr<ModbusLine> line;
        int next = 0;
        int generation = 0;
        qint64 pollsDone = 0;
        QString lineError;
    };

    void restartPort(Port &port, bool clearErrors);
    void pollNext(Port &port, int generation);
    // sent: the values a write row sent.
    void finishPoll(Port &port, int generation, int rowIndex, const PollOutcome &outcome,
                    const QList<quint16> &sent);
    void readSensors(int generation);
    quint8 errorByte(const Port &port, int rowIndex, const PollOutcome &outcome) const;
    void writePlantLog(const QString &line);
    void callAfter(int ms, std::function<void()> fire);
    void afterWrite(quint16 address, int count);

    PlcModel &m_model;
    LineFactory m_lines;
    CallAfter m_callAfter;
    Plant m_plant;
    std::array<Port, 2> m_ports;
    QByteArray m_sensorConfig;
    int m_sensorGeneration = 0;
    QList<int> m_sensorMisses;
    QList<quint16> m_registers;
    QList<bool> m_bits;
    bool m_reconfigurePending = false;
    QIODevice *m_plantLog = nullptr;
};

} // namespace sim
