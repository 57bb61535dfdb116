#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <optional>

// Hex texts as they travel to and from the PLC (upper-case digits, 16-bit words low byte first),
// and the decimal texts of cells and boxes.

// Value of one hex digit, or -1. The PLC writes and reads upper case only; lower case counts
// where a person typed the digits.
enum class HexCase { UpperOnly, Either };
int hexDigit(QChar c, HexCase letters = HexCase::UpperOnly);

// Value of a text of upper-case hex digits, as the PLC reads it: 0 for the empty text and as
// soon as one character is not '0'-'9' or 'A'-'F'. Digits beyond the eighth wrap around.
quint32 Hex_to_int(QStringView text);

// "0F" for 15: two upper-case digits.
QString byteHex(quint8 value);
// "C003" for 0xC003: four digits, most significant first (addresses).
QString wordHex(quint16 value);
// Two upper-case digits per byte, in order.
QString hexText(const QByteArray &bytes);
// The reverse of hexText; a pair that is not two upper-case hex digits reads as 0, an odd last
// digit is dropped.
QByteArray hexBytes(QStringView text);

// A 16-bit value as it lies in PLC memory and travels on the line: low byte first. 0xC003 is the
// bytes 03 C0 (the text "03C0").
QByteArray wordBytes(quint16 value);
// The 16-bit value whose low byte is bytes[at]; missing bytes read as 0.
quint16 wordAt(const QByteArray &bytes, int at);

// Decimal text of a cell or box to a whole number, rounding halves to the even neighbour
// ("2.5" gives 2, "3.5" gives 4). Nothing when the text is not a number.
std::optional<double> parseDecimal(const QString &text);
std::optional<qint64> roundHalfEven(const QString &text);
