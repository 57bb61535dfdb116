#pragma once

#include "modbus/modbus_port.h"

#include <QtGlobal>

#include <optional>

// The port settings word: mode in bits 15-14 (11 master, 01 slave), parity position in bits
// 12-11, speed position in bits 10-8, and the slave count (master) or the port's own Modbus
// address (slave) in bits 7-0. "Not use" is the word 0.
quint16 Encode_port_word(PortMode mode, int speed, int parity, int countOrAddress);

// A port settings word read back.
struct PortWord
{
    PortMode mode = PortMode::NotUse;
    int speed = 0;
    int parity = 0;         // 3 names no list entry
    int countOrAddress = 0; // master: slave count; slave: own address
    friend bool operator==(const PortWord &, const PortWord &) = default;
};

// C000-FFFF master, 4000-6FFF slave, 0000 not use; nothing for any other word.
std::optional<PortWord> Decode_port_word(quint16 word);
