#include "onewire/aux_port.h"

#include "link/line_settings.h"

QStringList auxModeNames()
{
    return {QStringLiteral("1-wire master"), QStringLiteral("Field Net"),
            QStringLiteral("Not use")};
}

QString auxPortName()
{
    return QStringLiteral("1-wire");
}

QStringList FieldNetSettings::speeds()
{
    return LineChoices::portSpeeds();
}

QStringList FieldNetSettings::dataBitsItems()
{
    return LineChoices::dataBits().mid(0, 2);
}

QStringList FieldNetSettings::parities()
{
    return {QStringLiteral("None"), QStringLiteral("Odd"), QStringLiteral("Even")};
}

QStringList FieldNetSettings::stopBitsItems()
{
    return {QStringLiteral("1"), QStringLiteral("2")};
}

bool FieldNetSettings::isValid() const
{
    auto in = [](int index, const QStringList &items) {
        return index >= 0 && index < items.size();
    };
    return in(speed, speeds()) && in(dataBits, dataBitsItems()) && in(parity, parities()) &&
           in(stopBits, stopBitsItems());
}

AuxPort::AuxPort(QObject *parent) : QObject(parent) {}

void AuxPort::setMode(AuxMode mode)
{
    m_mode = mode;
    Q_EMIT modeChanged(mode);
}

void AuxPort::setFieldNet(const FieldNetSettings &settings)
{
    if (m_fieldNet == settings)
        return;
    m_fieldNet = settings;
    Q_EMIT fieldNetChanged(settings);
}

AuxPortConfig AuxPort::config() const
{
    return {m_mode, m_fieldNet, m_sensors.sensors()};
}

void AuxPort::setConfig(const AuxPortConfig &config)
{
    setFieldNet(config.fieldNet);
    m_sensors.setSensors(config.sensors);
    setMode(config.mode);
}
