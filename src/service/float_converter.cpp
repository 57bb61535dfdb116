#include "service/float_converter.h"

#include "common/errors.h"
#include "common/hex_text.h"
#include "common/prompts.h"

#include <QByteArray>

#include <charconv>
#include <cmath>
#include <iterator>
#include <limits>

namespace {
// Where each order takes the bytes A B C D from, and its name.
const struct
{
    int positions[4];
    const char *name;
} Orders[] = {
    {{0, 1, 2, 3}, "ABCD"}, {{2, 3, 0, 1}, "CDAB"}, {{1, 0, 3, 2}, "BADC"}, {{3, 2, 1, 0}, "DCBA"}};
} // namespace

QString wordOrderName(WordOrder order)
{
    return QLatin1String(Orders[static_cast<int>(order)].name);
}

QString bytesHex(const ConvLibrary::Bytes &bytes, WordOrder order)
{
    QString hex;
    for (const int i : Orders[static_cast<int>(order)].positions)
        hex += byteHex(bytes[i]);
    return hex;
}

QString floatText(float value)
{
    if (std::isnan(value))
        return QStringLiteral("NaN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");
    // to_chars writes as printf's "%.7g" does in the C locale, whatever the system's decimal
    // separator is; "%.7G" differs only in the letter of the exponent.
    char text[32];
    const auto end = std::to_chars(std::begin(text), std::end(text), static_cast<double>(value),
                                   std::chars_format::general, 7)
                         .ptr;
    return QString::fromLatin1(text, end - text).toUpper();
}

float parseFloatText(const QString &text)
{
    QString t = text.trimmed();
    const qsizetype comma = t.indexOf(QLatin1Char(','));
    if (comma >= 0)
        t[comma] = QLatin1Char('.');
    // from_chars takes no plus sign; a number may carry one all the same.
    if (t.startsWith(QLatin1Char('+')) && t.size() > 1 && t[1] != QLatin1Char('-'))
        t.remove(0, 1);

    // from_chars rounds the decimal text to the nearest single-precision value directly, in no
    // locale, and reports results that would overflow or underflow.
    const QByteArray digits = t.toUtf8();
    const char *const begin = digits.constData();
    const char *const end = begin + digits.size();
    float value = 0;
    const auto [stop, error] = std::from_chars(begin, end, value);
    if (error == std::errc::result_out_of_range) {
        throw InputError(QStringLiteral("%1 is outside the range of a single-precision number "
                                        "(1.401298E-45 to 3.402823E+38, either sign, or 0)")
                             .arg(text));
    }
    if (error != std::errc() || stop != end || digits.isEmpty())
        throw InputError(QStringLiteral("\"%1\" is not a number").arg(text));
    if (std::isnan(value))
        return std::numeric_limits<float>::quiet_NaN();
    return value;
}

ConvLibrary::Bytes parseHexBytes(const QString &text)
{
    ConvLibrary::Bytes bytes{};
    for (int i = 0; i < 4; ++i) {
        const int high = hexDigit(text.at(2 * i), HexCase::Either);
        const int low = hexDigit(text.at(2 * i + 1), HexCase::Either);
        if (high < 0 || low < 0) {
            throw InputError(
                QStringLiteral("\"%1\" (characters %2 and %3) is not a hexadecimal byte")
                    .arg(text.mid(2 * i, 2))
                    .arg(2 * i + 1)
                    .arg(2 * i + 2));
        }
        bytes[i] = static_cast<quint8>(high * 16 + low);
    }
    return bytes;
}

Result<FloatBytes> toIeee(ConvLibrary &conv, Prompts &prompts, const QString &decimalText)
{
    if (decimalText.isEmpty()) {
        prompts.message(QStringLiteral("Incorrect value for conversion to IEEE format!"));
        return ended(Outcome::Invalid);
    }
    const float value = parseFloatText(decimalText);
    return Result(FloatBytes{value, conv.floatToBytes(value)});
}

Result<FloatBytes> toFloat(ConvLibrary &conv, Prompts &prompts, const QString &hexText)
{
    if (hexText.size() != 8) {
        prompts.message(QStringLiteral("Incorrect value for conversion to float format!"));
        return ended(Outcome::Invalid);
    }
    const ConvLibrary::Bytes bytes = parseHexBytes(hexText);
    return Result(FloatBytes{conv.toReal(bytes), bytes});
}
