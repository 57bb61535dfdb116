#pragma once

#include <QList>
#include <QString>

class ModbusPort;
struct AuxPortConfig;

// One field in which two configurations of a port differ: "ours" is what the window or a file
// holds (or what was just written), "plc" what was read from the PLC.
struct PortDifference
{
    QString port;  // "UART 1", "UART 2", "1-wire"
    int slot = 0;  // the slave or sensor, from 1; 0 for the port's own settings
    QString field; // "Mode", "Speed", "Timeout", "Byte 3" ...
    QString ours;
    QString plc;

    // "UART 1, slot 3, Timeout"
    QString place() const;
    // "UART 1, slot 3, Timeout: written 300, PLC holds 44" for oursVerb "written".
    QString text(const QString &oursVerb) const;
    friend bool operator==(const PortDifference &, const PortDifference &) = default;
};

// The fields of a Modbus port the PLC keeps, compared: the mode; in master mode speed, parity,
// the number of slaves and every cell of the slaves both hold; in slave mode speed, parity and
// the port's own address. Numbers are compared as the write sends them (halves rounded to even).
// What the PLC does not keep (bit number, stop bit, the slave-mode timeout, a master's own
// address) is never a difference.
QList<PortDifference> compareModbusPort(const ModbusPort &ours, const ModbusPort &plc);

// Whether ours holds Field Net line settings worth comparing: a project file keeps none.
enum class FieldNetLine { Compared, NotKnown };

// The same for the auxiliary port: the mode; for a 1-wire master the number of sensors and every
// ROM byte and register both hold; for Field Net its four line settings when ours knows them.
QList<PortDifference> compareAuxPort(const AuxPortConfig &ours, const AuxPortConfig &plc,
                                     FieldNetLine fieldNet = FieldNetLine::Compared);

// The message a verify that found differences shows: the first 20 of them, one a line, and how
// many more there are.
QString verifyFailedMessage(const QList<PortDifference> &differences);
