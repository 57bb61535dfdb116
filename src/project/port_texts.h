#pragma once

#include <QString>
#include <QStringList>

class ModbusPort;
struct SensorRow;
enum class AuxMode : int;

// How a project's choices read in its text forms (show, JSON, the printed sheet): list items by
// their captions, ROM codes as 16 hex digits.

// The item at index, or the empty text for an index outside the list.
QString listItem(const QStringList &list, int index);
QString portModeText(const ModbusPort &port);
QString auxModeText(AuxMode mode);
QString functionText(int function);
// Byte 0 first, upper case.
QString romText(const SensorRow &row);
// "115200 bit/s, parity None, 8 data bits, stop bits 1": data and stop bits only when chosen.
QString lineSettingsText(const ModbusPort &port);
