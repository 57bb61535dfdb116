#pragma once

#include "onewire/sensor_table.h"

#include <QString>

#include <array>
#include <optional>

// What a 1-wire ROM code tells by itself: byte 0 names the device family, byte 7 is the CRC-8 of
// bytes 0 to 6 that every device carries, so a mistyped byte shows before the bus is searched.

using RomBytes = std::array<quint8, 8>;

// The eight bytes of the cells, or nothing when one is not two hex digits.
std::optional<RomBytes> romBytes(const RomTexts &rom);
// The 1-wire ROM CRC (Dallas/Maxim, polynomial x^8 + x^5 + x^4 + 1) of bytes 0 to 6.
quint8 romCrc8(const RomBytes &rom);

// "CRC is 34, byte 7 holds 5A: a byte is mistyped"; an empty text for a sound code and for one
// whose bytes do not all read.
QString romCrcFault(const RomTexts &rom);
// "a DS18B20 temperature sensor" for family 28 ..., "unknown family" for a code not listed.
QString romFamilyName(quint8 family);
// "family 28: a DS18B20 temperature sensor"; empty when byte 0 does not read.
QString romFamilyText(const RomTexts &rom);

// The rule a grid draws red on the ROM byte cell `byte` (0 to 7): the byte is not two hex digits,
// or the code's CRC fails; empty for a sound code, whose cells name its family instead.
QString romCellRule(const RomTexts &rom, int byte);
