#include "link/line_settings.h"

#include "common/errors.h"

#include <algorithm>

namespace {

// The parity letters in the order of LineSettings::Parity; a text may also name mark and space.
const char *const ParityLetters[] = {"N", "O", "E", "M", "S"};

[[noreturn]] void refuse(const QString &text, const QString &why)
{
    throw PlatformError(QStringLiteral("Invalid line settings \"%1\": %2 (expected speed, parity, "
                                       "data bits and stop bits, such as 9600,N,8,1)")
                            .arg(text, why));
}

} // namespace

namespace LineChoices {
QStringList speeds()
{
    return {QStringLiteral("9600"),   QStringLiteral("19200"),  QStringLiteral("38400"),
            QStringLiteral("57600"),  QStringLiteral("115200"), QStringLiteral("187500"),
            QStringLiteral("256000"), QStringLiteral("500000")};
}
QStringList portSpeeds()
{
    return speeds().mid(0, 5);
}
QStringList parityLetters()
{
    return {QLatin1String(ParityLetters[0]), QLatin1String(ParityLetters[1]),
            QLatin1String(ParityLetters[2])};
}
QStringList dataBits()
{
    return {QStringLiteral("7"), QStringLiteral("8"), QStringLiteral("9")};
}
QStringList stopBits()
{
    return {QStringLiteral("1"), QStringLiteral("1.5"), QStringLiteral("2")};
}
} // namespace LineChoices

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
    const auto letter = std::find_if(std::begin(ParityLetters), std::end(ParityLetters),
                                     [&](const char *l) { return parity == QLatin1String(l); });
    if (letter == std::end(ParityLetters))
        refuse(text, QStringLiteral("\"%1\" is not a parity (N, O, E, M or S)").arg(parts[1]));
    s.parity = static_cast<Parity>(letter - std::begin(ParityLetters));

    s.dataBits = parts[2].trimmed().toInt(&ok);
    if (!ok || s.dataBits < 4 || s.dataBits > 9)
        refuse(text, QStringLiteral("\"%1\" is not a number of data bits").arg(parts[2]));

    const qsizetype stop = LineChoices::stopBits().indexOf(parts[3].trimmed());
    if (stop < 0) {
        refuse(text, QStringLiteral("\"%1\" is not a number of stop bits (1, 1.5 or 2)")
                         .arg(parts[3].trimmed()));
    }
    s.stopBits = static_cast<StopBits>(stop);
    return s;
}

QString LineSettings::text() const
{
    return QStringLiteral("%1,%2,%3,%4")
        .arg(baudRate)
        .arg(QLatin1String(ParityLetters[static_cast<int>(parity)]))
        .arg(dataBits)
        .arg(LineChoices::stopBits().at(static_cast<int>(stopBits)));
}

double LineSettings::bitsPerCharacter() const
{
    const double stop = stopBits == StopBits::One ? 1.0 : stopBits == StopBits::Two ? 2.0 : 1.5;
    return 1.0 + dataBits + (parity == Parity::None ? 0.0 : 1.0) + stop;
}
