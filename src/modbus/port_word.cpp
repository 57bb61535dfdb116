#include "modbus/port_word.h"

quint16 Encode_port_word(PortMode mode, int speed, int parity, int countOrAddress)
{
    quint16 top = 0;
    switch (mode) {
    case PortMode::Master:
        top = 0xC000;
        break;
    case PortMode::Slave:
        top = 0x4000;
        break;
    case PortMode::NotUse:
        return 0;
    }
    return static_cast<quint16>(top | (parity & 0x3) << 11 | (speed & 0x7) << 8 |
                                (countOrAddress & 0xFF));
}

std::optional<PortWord> Decode_port_word(quint16 word)
{
    if (word == 0)
        return PortWord{PortMode::NotUse, 0, 0, 0};
    PortWord decoded;
    decoded.speed = (word >> 8) & 0x7;
    decoded.parity = (word >> 11) & 0x3;
    decoded.countOrAddress = word & 0xFF;
    if (word >= 0xC000)
        decoded.mode = PortMode::Master;
    else if (word >= 0x4000 && word <= 0x6FFF)
        decoded.mode = PortMode::Slave;
    else
        return std::nullopt;
    return decoded;
}
