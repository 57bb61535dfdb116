#pragma once

#include "common/result.h"
#include "service/conv_library.h"

#include <QString>

class Prompts;

// A single-precision number and its 4 bytes as conv lays them out: byte A, the most significant
// (sign and exponent), first.
struct FloatBytes
{
    float value = 0;
    ConvLibrary::Bytes bytes{};
};

// The orders in which PLCs and Modbus devices put the bytes A B C D of a value into two
// registers: as written (ABCD), words swapped (CDAB), bytes swapped in each word (BADC), and
// all reversed (DCBA).
enum class WordOrder { ABCD, CDAB, BADC, DCBA };
inline constexpr WordOrder AllWordOrders[] = {WordOrder::ABCD, WordOrder::CDAB, WordOrder::BADC,
                                              WordOrder::DCBA};
QString wordOrderName(WordOrder order);

// Eight upper-case hex digits of the bytes in the given order.
QString bytesHex(const ConvLibrary::Bytes &bytes, WordOrder order = WordOrder::ABCD);

// A number as "%.7G" writes it (1.5, 0.1, 1E-05, 3.402823E+38); "inf", "-inf" and "NaN" for the
// values that are no numbers.
QString floatText(float value);

// A decimal text as a single-precision number, its first comma taken for the decimal point.
// "inf", "-inf" and "NaN" are read back as floatText writes them. InputError for a text that is
// no number, and for one outside the single-precision range, which would otherwise turn into
// infinity or zero.
float parseFloatText(const QString &text);

// The 4 bytes of 8 hex digits, upper or lower case. InputError naming the first pair that is no
// hex byte. The length is the caller's to check.
ConvLibrary::Bytes parseHexBytes(const QString &text);

// "To IEEE": the decimal text to its bytes. An empty text shows "Incorrect value for conversion
// to IEEE format!" and gives Invalid; a text that does not convert and a library that cannot be
// loaded throw (InputError, PlatformError).
Result<FloatBytes> toIeee(ConvLibrary &conv, Prompts &prompts, const QString &decimalText);

// "To float": 8 hex digits to the number. Any other length shows "Incorrect value for conversion
// to float format!" and gives Invalid; otherwise as toIeee.
Result<FloatBytes> toFloat(ConvLibrary &conv, Prompts &prompts, const QString &hexText);
