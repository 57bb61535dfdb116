#include "project/cell_conversion.h"

#include "common/errors.h"
#include "common/hex_text.h"
#include "common/untrusted_text.h"

namespace {
[[noreturn]] void fail(const QString &where, const QString &text, const QString &why)
{
    throw InputError(QStringLiteral("%1: %2 %3").arg(where, quotedText(text), why));
}

qint64 wholeNumber(const QString &text, const QString &where)
{
    const auto v = roundHalfEven(text);
    if (!v)
        fail(where, text, QStringLiteral("is not a number (type mismatch)"));
    return *v;
}
} // namespace

quint8 cellToByte(const QString &text, const QString &where)
{
    const qint64 v = wholeNumber(text, where);
    if (v < 0 || v > 255)
        fail(where, text, QStringLiteral("does not fit 0 to 255 (overflow)"));
    return static_cast<quint8>(v);
}

qint16 cellToInt16(const QString &text, const QString &where)
{
    const qint64 v = wholeNumber(text, where);
    if (v < -32768 || v > 32767)
        fail(where, text, QStringLiteral("does not fit -32768 to 32767 (overflow)"));
    return static_cast<qint16>(v);
}

quint16 cellToAddressWord(const QString &text, const QString &where)
{
    const qint64 v = wholeNumber(text, where);
    if (v < -32768 || v > 65535)
        fail(where, text, QStringLiteral("does not fit 0 to 65535 (overflow)"));
    return static_cast<quint16>(v & 0xFFFF);
}

quint8 romCellToByte(const QString &text, const QString &where)
{
    qint64 v = 0;
    for (const QChar c : text) {
        const int d = hexDigit(c, HexCase::Either);
        if (d < 0)
            break;
        v = v * 16 + d;
        if (v > 0xFF)
            fail(where, text, QStringLiteral("is above FF (overflow)"));
    }
    return static_cast<quint8>(v);
}
