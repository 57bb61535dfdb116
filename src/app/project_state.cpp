#include "app/project_state.h"

#include "common/text_table.h"
#include "modbus/modbus_port.h"
#include "onewire/aux_port.h"

#include <QFileInfo>

void ProjectState::watch(ModbusPort &port)
{
    connect(&port, &ModbusPort::settingsChanged, this, &ProjectState::markChanged);
    connect(&port, &ModbusPort::modeSelected, this, &ProjectState::markChanged);
    watchTable(port.slaves());
}

void ProjectState::watch(AuxPort &port)
{
    connect(&port, &AuxPort::modeChanged, this, &ProjectState::markChanged);
    // The Field Net line settings are not kept in a project file: a save would not keep them.
    watchTable(port.sensors());
}

void ProjectState::watchTable(TextTable &table)
{
    onTableChange(table, this, [this] { markChanged(); });
}

void ProjectState::markChanged()
{
    if (m_changed)
        return;
    m_changed = true;
    Q_EMIT stateChanged();
}

void ProjectState::setSaved(const QString &file)
{
    m_changed = false;
    m_file = file;
    Q_EMIT stateChanged();
}

void ProjectState::setUnchanged()
{
    if (!m_changed)
        return;
    m_changed = false;
    Q_EMIT stateChanged();
}

QString ProjectState::description() const
{
    const QString name =
        m_file.isEmpty() ? QStringLiteral("New project") : QFileInfo(m_file).fileName();
    return m_changed ? name + QStringLiteral(", changed") : name;
}
