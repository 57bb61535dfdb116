#include "common/hex_text.h"

#include <QLocale>

#include <cmath>

int hexDigit(QChar c, HexCase letters)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    if (letters == HexCase::Either && u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return -1;
}

quint32 Hex_to_int(QStringView text)
{
    quint32 value = 0;
    for (const QChar c : text) {
        const int digit = hexDigit(c);
        if (digit < 0)
            return 0;
        value = value * 16u + static_cast<quint32>(digit);
    }
    return value;
}

QString byteHex(quint8 value)
{
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

QString wordHex(quint16 value)
{
    return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0')).toUpper();
}

QString hexText(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex().toUpper());
}

QByteArray hexBytes(QStringView text)
{
    QByteArray bytes(text.size() / 2, '\0');
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(Hex_to_int(text.mid(2 * i, 2)));
    return bytes;
}

QByteArray wordBytes(quint16 value)
{
    QByteArray bytes(2, '\0');
    bytes[0] = static_cast<char>(value & 0xFF);
    bytes[1] = static_cast<char>(value >> 8);
    return bytes;
}

quint16 wordAt(const QByteArray &bytes, int at)
{
    auto byte = [&](int i) {
        return i >= 0 && i < bytes.size() ? static_cast<quint8>(bytes[i]) : quint8(0);
    };
    return static_cast<quint16>(byte(at) | byte(at + 1) << 8);
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
