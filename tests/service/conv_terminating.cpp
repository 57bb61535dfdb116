// A conversion library that ends the 4 bytes with a terminator byte and looks for it when it
// reads them back, as some libraries of its kind do: the program must give it room for that byte.
#include "service/conv.h"

#include <bit>
#include <cstdint>
#include <limits>

void float_to_byte_array(unsigned char *buffer, int, float value)
{
    const auto bits = std::bit_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        buffer[i] = static_cast<unsigned char>(bits >> (24 - 8 * i));
    buffer[4] = 0;
}

float to_real(const unsigned char *buffer, int)
{
    if (buffer[4] != 0)
        return std::numeric_limits<float>::quiet_NaN();
    std::uint32_t bits = 0;
    for (int i = 0; i < 4; ++i)
        bits = bits << 8 | buffer[i];
    return std::bit_cast<float>(bits);
}
