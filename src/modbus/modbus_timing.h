#pragma once

#include "link/line_settings.h"

#include <QString>
#include <QStringList>

class ModbusPort;

// A slave request as Modbus RTU puts it on the wire: the function code it sends, the size of the
// request and of the answer, and how long they take at the port's line settings.

// 1 "Read coils", 3 "Read holding register", 16 "Write multiply register", 15 "Write coils",
// 4 "Read input register"; 0 for an index that names no function.
int modbusFunctionCode(int function);
// The most coils or registers one request of the function may move: 2000 coils read, 1968
// written, 125 registers read, 123 written.
int modbusQuantityLimit(int function);
// "Read holding register, function 03": what the Function column's index means.
QString modbusFunctionTip(int function);
// The Function cell's list: "0 - Read coils (FC 1)", "1 - Read holding register (FC 3)" ...,
// the index the cell keeps first.
QStringList modbusFunctionChoices();

// Bytes of the request for `count` coils or registers, and of the slave's normal answer (address,
// function, data and the two CRC bytes).
int modbusRequestBytes(int function, int count);
int modbusAnswerBytes(int function, int count);

// The line a port polls on: its speed and parity; its bit number and stop bit where chosen, else
// 8 data bits and 1 stop bit.
LineSettings modbusPortLine(const ModbusPort &port);

// Milliseconds on the wire of a frame of `bytes` characters followed by the 3.5-character
// silence that ends a Modbus RTU frame.
double modbusFrameMs(const LineSettings &line, int bytes);
