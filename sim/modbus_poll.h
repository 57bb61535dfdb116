#pragma once

#include "sim/plant.h"

#include <QList>
#include <QString>

#include <functional>

namespace sim {

// One request the simulated PLC's Modbus master sends to a slave, and what came of it.
struct ModbusPoll
{
    int slave = 1;                            // Modbus address
    ModbusTable table = ModbusTable::Holding; // Coils, Input or Holding
    bool write = false;                       // Coils and Holding only
    int address = 0;                          // first coil or register in the slave
    int count = 1;
    QList<quint16> values; // a write's registers, or its coils as 0 and 1
    int timeoutMs = 100;   // the row's answer timeout
};

struct PollOutcome
{
    enum class Kind {
        Answered,  // a good answer; values holds what a read returned
        Exception, // the slave refused: exceptionCode
        NoAnswer,  // nothing arrived within the timeout
        Garbled    // bytes arrived within the timeout, but no frame the master could accept
    };
    Kind kind = Kind::NoAnswer;
    int exceptionCode = 0;
    QList<quint16> values; // registers, or coils and discrete inputs as 0 and 1
};

// The Modbus line of one UART between the PLC's master and the plant's slaves.
class ModbusLine
{
public:
    using Done = std::function<void(const PollOutcome &)>;
    virtual ~ModbusLine() = default;
    // Opens the line at this speed (bit/s) and parity ('N', 'E' or 'O', 8 data bits, 1 stop bit)
    // with these slaves on it. False, with the reason in *error, when it cannot.
    virtual bool open(const QList<PlantSlave> &slaves, int baudRate, char parity,
                      QString *error) = 0;
    virtual void close() = 0;
    // Sends one request. done runs exactly once, later, from the event loop (never from within
    // poll()), unless the line is closed or destroyed first. One poll at a time.
    virtual void poll(const ModbusPoll &request, Done done) = 0;
};

} // namespace sim
