#include "link/port_choice.h"

#include "link/device_map.h"

#include <QCoreApplication>

QString simulatedPlcText()
{
    return QCoreApplication::translate("PortChoice", "Simulated PLC");
}

QString PortChoice::target() const
{
    switch (kind) {
    case Kind::Device:
        return device;
    case Kind::Network:
        return address.text();
    case Kind::Com:
    case Kind::Simulated:
        break;
    }
    return {};
}

QString PortChoice::text() const
{
    switch (kind) {
    case Kind::Com:
        return comName(comNumber);
    case Kind::Device:
    case Kind::Network:
        return target();
    case Kind::Simulated:
        break;
    }
    return simulatedPlcText();
}

std::optional<PortChoice> parsePortText(const QString &typed)
{
    const QString text = typed.trimmed();
    if (text.compare(simulatedPlcText(), Qt::CaseInsensitive) == 0)
        return PortChoice::simulated();
    if (NetworkAddress::looksLikeOne(text)) {
        if (const auto address = NetworkAddress::parse(text))
            return PortChoice::network(*address);
        return std::nullopt;
    }
    if (text.startsWith(QLatin1String("COM"), Qt::CaseInsensitive)) {
        bool ok = false;
        const int number = text.mid(3).toInt(&ok);
        // "COM 3" and "COM+3" are not names the box offers; only the digits follow.
        const bool digits = !text.mid(3).isEmpty() && text.at(3).isDigit();
        if (ok && digits && number >= 1 && number <= 10)
            return PortChoice::com(number);
        return std::nullopt;
    }
    if (text.contains(QLatin1Char('/')) || text.contains(QLatin1Char('\\')))
        return PortChoice::path(text);
    return std::nullopt;
}

QString portTextProblem(const QString &typed)
{
    const QString text = typed.trimmed();
    if (text.isEmpty())
        return QCoreApplication::translate("PortChoice",
                                           "No port given: choose COM1 to COM10, a device path, "
                                           "rfc2217://HOST:PORT, tcp://HOST:PORT or %1")
            .arg(simulatedPlcText());
    if (NetworkAddress::looksLikeOne(text))
        return NetworkAddress::problem(text);
    return QCoreApplication::translate(
               "PortChoice",
               "\"%1\" names no port: choose COM1 to COM10, a device path such as /dev/ttyUSB0, a "
               "serial server such as rfc2217://192.168.1.20:4001 or tcp://192.168.1.20:4001, or "
               "%2")
        .arg(text, simulatedPlcText());
}
