#include "link/line_settings.h"

#include "common/errors.h"

#include <QStringList>

namespace {
[[noreturn]] void refuse(const QString &text, const QString &why)
{
    throw PlatformError(QStringLiteral("Invalid line settings \"%1\": %2 (expected speed, parity, "
                                       "data bits and stop bits, such as 9600,N,8,1)")
                            .arg(text, why));
}
} // namespace

LineSettings LineSettings::parse(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        refuse(text, QStringLiteral("it has %1 of the 4 fields").arg(parts.size()));
    LineSettings s;
    bool ok = false;
    s.baudRate = parts[0].trimmed().toInt(&ok);
    if (!ok || s.baudRate <= 0)
        refuse(text, QStringLiteral("\"%1\" is not a speed").arg(parts[0]));

    const QString parity = parts[1].trimmed().toUpper();
    if (parity == QLatin1String("N"))
        s.parity = Parity::None;
    else if (parity == QLatin1String("O"))
        s.parity = Parity::Odd;
    else if (parity == QLatin1String("E"))
        s.parity = Parity::Even;
    else if (parity == QLatin1String("M"))
        s.parity = Parity::Mark;
    else if (parity == QLatin1String("S"))
        s.parity = Parity::Space;
    else
        refuse(text, QStringLiteral("\"%1\" is not a parity (N, O, E, M or S)").arg(parts[1]));

    s.dataBits = parts[2].trimmed().toInt(&ok);
    if (!ok || s.dataBits < 4 || s.dataBits > 9)
        refuse(text, QStringLiteral("\"%1\" is not a number of data bits").arg(parts[2]));

    const QString stop = parts[3].trimmed();
    if (stop == QLatin1String("1"))
        s.stopBits = StopBits::One;
    else if (stop == QLatin1String("1.5"))
        s.stopBits = StopBits::OneAndHalf;
    else if (stop == QLatin1String("2"))
        s.stopBits = StopBits::Two;
    else
        refuse(text, QStringLiteral("\"%1\" is not a number of stop bits (1, 1.5 or 2)").arg(stop));
    return s;
}

QString LineSettings::text() const
{
    static const char *const parities[] = {"N", "O", "E", "M", "S"};
    static const char *const stops[] = {"1", "1.5", "2"};
    return QStringLiteral("%1,%2,%3,%4")
        .arg(baudRate)
        .arg(QLatin1String(parities[static_cast<int>(parity)]))
        .arg(dataBits)
        .arg(QLatin1String(stops[static_cast<int>(stopBits)]));
}

double LineSettings::bitsPerCharacter() const
{
    const double stop = stopBits == StopBits::One ? 1.0 : stopBits == StopBits::Two ? 2.0 : 1.5;
    return 1.0 + dataBits + (parity == Parity::None ? 0.0 : 1.0) + stop;
}
