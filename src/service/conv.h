#pragma once

// conv: the conversion between a single-precision number and its 4 bytes, a shared library of
// its own that the program loads at run time. Plain C functions, exported by their names.
//
// The 4 bytes are laid out most significant first (sign and exponent in byte 0), the order in
// which IEEE 754 references write a value: 1.5 is 3F C0 00 00. The second argument of both
// functions is reserved and must be 0.

#if defined(_WIN32)
#if defined(CONV_BUILDING)
#define CONV_API __declspec(dllexport)
#else
#define CONV_API __declspec(dllimport)
#endif
#else
#define CONV_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Fills buffer[0..3] with the bytes of value.
CONV_API void float_to_byte_array(unsigned char *buffer, int reserved, float value);
// The number whose bytes stand in buffer[0..3].
CONV_API float to_real(const unsigned char *buffer, int reserved);

typedef void (*conv_float_to_byte_array)(unsigned char *buffer, int reserved, float value);
typedef float (*conv_to_real)(const unsigned char *buffer, int reserved);

#ifdef __cplusplus
}
#endif
