#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <optional>

// Hex texts as they travel to and from the PLC: upper-case digits, 16-bit words low byte first.

// "0F" for 15: two upper-case digits.
QString byteHex(quint8 value);
// "03C0" for 0xC003: the word's four digits with the two pairs swapped (low byte first).
QString wordLineHex(quint16 value);
// "C003" for 0xC003: four digits, most significant first (addresses).
QString wordHex(quint16 value);

// Data of a block-read answer (STX first): byte n, or the 16-bit word whose low byte is byte 2k.
// Digits that are not upper-case hex, or an answer too short, read as 0, as the PLC's own tools
// read them.
quint8 answerByte(const QByteArray &answer, int n);
quint16 answerWord(const QByteArray &answer, int k);

// Decimal text of a cell or box to a whole number, rounding halves to the even neighbour
// ("2.5" gives 2, "3.5" gives 4). Nothing when the text is not a number.
std::optional<double> parseDecimal(const QString &text);
std::optional<qint64> roundHalfEven(const QString &text);
