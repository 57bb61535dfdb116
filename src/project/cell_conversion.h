#pragma once

#include <QString>

// Cells and boxes of the window to the number fields of a project file. Decimal texts are
// rounded to a whole number, halves to the even neighbour. A failure throws InputError naming
// the cell (where) and its text.

quint8 cellToByte(const QString &text, const QString &where);
qint16 cellToInt16(const QString &text, const QString &where);
// A 16-bit field that holds an address, 0 to 65535 (a negative number keeps its 16-bit pattern).
quint16 cellToAddressWord(const QString &text, const QString &where);
// A ROM byte cell: the hex digits (either case) up to the first other character; none is 0.
quint8 romCellToByte(const QString &text, const QString &where);
