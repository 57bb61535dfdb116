#include "common/hex_text.h"

#include <QLocale>

#include <cmath>

QString byteHex(quint8 value)
{
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

QString wordHex(quint16 value)
{
    return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0')).toUpper();
}

QString wordLineHex(quint16 value)
{
    return byteHex(static_cast<quint8>(value & 0xFF)) + byteHex(static_cast<quint8>(value >> 8));
}

namespace {
int strictHex(const QByteArray &digits)
{
    int v = 0;
    for (const char c : digits) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return 0;
        v = v * 16 + d;
    }
    return v;
}
} // namespace

quint8 answerByte(const QByteArray &answer, int n)
{
    const QByteArray digits = answer.mid(1 + 2 * n, 2);
    return digits.size() == 2 ? static_cast<quint8>(strictHex(digits)) : 0;
}

quint16 answerWord(const QByteArray &answer, int k)
{
    const QByteArray digits = answer.mid(1 + 4 * k, 4);
    if (digits.size() != 4)
        return 0;
    return static_cast<quint16>(strictHex(digits.mid(2, 2) + digits.left(2)));
}

std::optional<double> parseDecimal(const QString &text)
{
    bool ok = false;
    const double v = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<qint64> roundHalfEven(const QString &text)
{
    const auto v = parseDecimal(text);
    if (!v || std::fabs(*v) > 9.0e15)
        return std::nullopt;
    // nearbyint rounds in the current mode, which is to-nearest-even unless someone changed it.
    return static_cast<qint64>(std::nearbyint(*v));
}
