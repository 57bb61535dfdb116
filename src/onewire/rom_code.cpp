#include "onewire/rom_code.h"

#include "common/hex_text.h"
#include "onewire/aux_encoding.h"

#include <utility>

std::optional<RomBytes> romBytes(const RomTexts &rom)
{
    RomBytes bytes{};
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto b = romByte(rom[i]);
        if (!b)
            return std::nullopt;
        bytes[i] = *b;
    }
    return bytes;
}

quint8 romCrc8(const RomBytes &rom)
{
    // Bit by bit, least significant first: 0x8C is the polynomial reflected.
    quint8 crc = 0;
    for (size_t i = 0; i < 7; ++i) {
        crc ^= rom[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? quint8((crc >> 1) ^ 0x8C) : quint8(crc >> 1);
    }
    return crc;
}

QString romCrcFault(const RomTexts &rom)
{
    const auto bytes = romBytes(rom);
    if (!bytes)
        return {};
    const quint8 crc = romCrc8(*bytes);
    if (crc == (*bytes)[7])
        return {};
    return QStringLiteral("CRC is %1, byte 7 holds %2: a byte is mistyped")
        .arg(byteHex(crc), byteHex((*bytes)[7]));
}

QString romFamilyName(quint8 family)
{
    static constexpr std::pair<quint8, const char *> Families[] = {
        {0x28, "a DS18B20 temperature sensor"}, {0x10, "a DS18S20 temperature sensor"},
        {0x22, "a DS1822 temperature sensor"},  {0x3B, "a MAX31850 thermocouple converter"},
        {0x26, "a DS2438 battery monitor"},     {0x01, "a serial number only (no reading)"},
    };
    for (const auto &[code, name] : Families) {
        if (code == family)
            return QLatin1String(name);
    }
    return QStringLiteral("unknown family");
}

QString romFamilyText(const RomTexts &rom)
{
    const auto family = romByte(rom[0]);
    if (!family)
        return {};
    return QStringLiteral("family %1: %2").arg(byteHex(*family), romFamilyName(*family));
}

QString romCellRule(const RomTexts &rom, int byte)
{
    const QString own = sensorCellRule({rom, QString()}, SensorTable::FirstByteColumn + byte);
    return own.isEmpty() ? romCrcFault(rom) : own;
}
