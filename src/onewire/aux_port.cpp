#include "onewire/aux_port.h"

bool FieldNetSettings::isValid() const
{
    auto in = [](int index, int items) { return index >= 0 && index < items; };
    return in(speed, SpeedItems) && in(dataBits, DataBitsItems) && in(parity, ParityItems) &&
           in(stopBits, StopBitsItems);
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
