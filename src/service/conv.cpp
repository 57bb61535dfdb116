#include "service/conv.h"

#include <bit>
#include <cstdint>

void float_to_byte_array(unsigned char *buffer, int reserved, float value)
{
    (void)reserved;
    const auto bits = std::bit_cast<std::uint32_t>(value);
    buffer[0] = static_cast<unsigned char>(bits >> 24);
    buffer[1] = static_cast<unsigned char>(bits >> 16);
    buffer[2] = static_cast<unsigned char>(bits >> 8);
    buffer[3] = static_cast<unsigned char>(bits);
}

float to_real(const unsigned char *buffer, int reserved)
{
    (void)reserved;
    const std::uint32_t bits = std::uint32_t(buffer[0]) << 24 | std::uint32_t(buffer[1]) << 16 |
                               std::uint32_t(buffer[2]) << 8 | std::uint32_t(buffer[3]);
    return std::bit_cast<float>(bits);
}
