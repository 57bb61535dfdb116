#pragma once

#include "sim/modbus_poll.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

namespace sim {

// A Modbus RTU line on pseudo-terminals (POSIX only): the PLC's master is Qt SerialBus's
// QModbusRtuSerialClient, every plant slave a QModbusRtuSerialServer of its own on a
// pseudo-terminal of its own. A relay between the pseudo-terminals makes them one half-duplex
// bus: what the master sends reaches every slave, what a slave sends reaches the master, one
// character after the other at the line's speed, so a poll takes as long as on a real wire.
// The relay also holds a slave's answers back by its delayMs and damages them when it has noise;
// a slave's answer still held back when the master starts its next request is dropped, as a
// slave cannot talk over the master. Requests that touch a slave's exception range are refused
// with its exception code; addresses outside a table's range are refused by the server itself
// (illegal data address).
//
// A slave's tables start with values of their own: holding and input register a hold a, coil
// and discrete input a is 1 for odd a. Writes change them for as long as the line is open.
class RtuLine final : public QObject, public ModbusLine
{
    Q_OBJECT
public:
    explicit RtuLine(QObject *parent = nullptr);
    ~RtuLine() override;

    bool open(const QList<PlantSlave> &slaves, int baudRate, char parity, QString *error) override;
    void close() override;
    void poll(const ModbusPoll &request, Done done) override;

    bool isOpen() const;
    // A value in a slave's table now; nothing when there is no such slave or address.
    std::optional<quint16> value(int slave, ModbusTable table, int address) const;

Q_SIGNALS:
    // Bytes as they crossed the line: from the master (a request) or from a slave (an answer,
    // after any damage the relay did to it). One signal per stretch of bytes without a pause of
    // 3.5 characters, so one per frame on a quiet line.
    void frameCrossed(bool fromMaster, const QByteArray &bytes);

private:
    class Private;
    std::unique_ptr<Private> d;
};

} // namespace sim
