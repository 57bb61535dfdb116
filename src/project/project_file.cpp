#include "project/project_file.h"

#include "common/errors.h"
#include "modbus/modbus_port.h"
#include "modbus/slave_table.h"
#include "onewire/aux_port.h"
#include "project/cell_conversion.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <algorithm>

namespace {

using R = ProjectRecord;

QString cellName(const ModbusPort &port, int row, int column)
{
    const QStringList titles = TextTable::splitHeader(slaveTableHeader());
    return QStringLiteral("%1 slave table, row %2, \"%3\"")
        .arg(port.info().name)
        .arg(row + 1)
        .arg(titles.value(column).trimmed());
}

void fillSlaves(ProjectRecord &record, R::Block block, const ModbusPort &port)
{
    const TextTable &t = port.slaves();
    const int count = std::min(t.itemCount(), R::MaxItems);
    for (int r = 0; r < count; ++r) {
        auto byteAt = [&](int c) { return cellToByte(t.cell(r, c), cellName(port, r, c)); };
        auto wordAt = [&](int c) { return cellToInt16(t.cell(r, c), cellName(port, r, c)); };
        SlaveEntry e;
        e.address = byteAt(SlaveColumn::Address);
        e.function = byteAt(SlaveColumn::Function);
        e.numWord = byteAt(SlaveColumn::NumWord);
        e.addressSlave = wordAt(SlaveColumn::AddressSlave);
        e.addressMaster = wordAt(SlaveColumn::AddressMaster);
        e.timeout = wordAt(SlaveColumn::Timeout);
        record.setSlave(block, r, e);
    }
    record.setByteField(block, R::SlaveCountOffset, static_cast<quint8>(count));
}

void fillPortFields(ProjectRecord &record, R::Block block, const ModbusPort &port, bool lineBits)
{
    record.setByteField(block, R::ModeOffset, static_cast<quint8>(port.mode()));
    record.setByteField(block, R::SpeedOffset, static_cast<quint8>(port.speed()));
    record.setByteField(block, R::ParityOffset, static_cast<quint8>(port.parity()));
    const QString name = port.info().name;
    record.setByteField(block, R::SlaveAddressOffset,
                        cellToByte(port.slaveAddress(), name + QStringLiteral(" \"MB address\"")));
    record.setSlaveTimeout(
        block, cellToInt16(port.slaveTimeout(), name + QStringLiteral(" \"Timeout,[msec]\"")));
    if (lineBits) {
        record.setByteField(block, R::BitNumberOffset, static_cast<quint8>(port.bitNumber()));
        record.setByteField(block, R::StopBitOffset, static_cast<quint8>(port.stopBit()));
    }
}

void applyPort(const ProjectRecord &record, R::Block block, ModbusPort &port, bool lineBits)
{
    QList<QStringList> rows;
    const int count = record.byteField(block, R::SlaveCountOffset);
    for (int k = 0; k < count; ++k) {
        const SlaveEntry e = record.slave(block, k);
        QStringList cells(SlaveColumn::Count);
        cells[SlaveColumn::Address] = QString::number(e.address);
        cells[SlaveColumn::NumWord] = QString::number(e.numWord);
        cells[SlaveColumn::AddressSlave] = QString::number(e.addressSlave);
        cells[SlaveColumn::AddressMaster] = QString::number(e.addressMaster);
        cells[SlaveColumn::Function] = QString::number(e.function);
        cells[SlaveColumn::Timeout] = QString::number(e.timeout);
        rows << cells;
    }
    port.slaves().setItems(rows);
    port.slaves().renumber(true);

    port.setMode(static_cast<PortMode>(record.byteField(block, R::ModeOffset)));
    port.setSpeed(record.byteField(block, R::SpeedOffset));
    port.setParity(record.byteField(block, R::ParityOffset));
    if (lineBits) {
        port.setBitNumber(record.byteField(block, R::BitNumberOffset));
        port.setStopBit(record.byteField(block, R::StopBitOffset));
    }
    port.setSlaveAddress(QString::number(record.byteField(block, R::SlaveAddressOffset)));
    port.setSlaveTimeout(QString::number(qint64(record.slaveTimeout(block))));
}

} // namespace

void Fill_project_record(ProjectRecord &record, const ProjectPorts &ports)
{
    // Filled into a copy: a cell that does not convert leaves the record as it was.
    ProjectRecord r = record;
    r.blankReservedTexts();
    fillSlaves(r, R::Uart1, ports.uart1);
    fillPortFields(r, R::Uart1, ports.uart1, true);
    fillSlaves(r, R::Uart2, ports.uart2);
    fillPortFields(r, R::Uart2, ports.uart2, false);

    const SensorTable &sensors = ports.aux.sensors();
    const int count = std::min(sensors.sensorCount(), R::MaxItems);
    for (int s = 0; s < count; ++s) {
        const SensorRow row = sensors.sensor(s);
        SensorEntry e;
        for (int b = 0; b < 8; ++b) {
            e.rom[b] = romCellToByte(row.rom[b], QStringLiteral("1-wire sensor table, row %1, "
                                                                "\"Byte %2\"")
                                                     .arg(s + 1)
                                                     .arg(b));
        }
        e.reg = cellToInt16(row.reg,
                            QStringLiteral("1-wire sensor table, row %1, \"Dxxxx\"").arg(s + 1));
        r.setSensor(R::Aux, s, e);
    }
    r.setByteField(R::Aux, R::SensorCountOffset, static_cast<quint8>(count));
    r.setByteField(R::Aux, R::ModeOffset, static_cast<quint8>(ports.aux.mode()));
    record = r;
}

void Apply_project_record(const ProjectRecord &record, const ProjectPorts &ports)
{
    applyPort(record, R::Uart1, ports.uart1, true);
    applyPort(record, R::Uart2, ports.uart2, false);

    ports.aux.setMode(static_cast<AuxMode>(record.byteField(R::Aux, R::ModeOffset)));
    QList<SensorRow> rows;
    const int count = record.byteField(R::Aux, R::SensorCountOffset);
    for (int s = 0; s < count; ++s) {
        const SensorEntry e = record.sensor(R::Aux, s);
        SensorRow row;
        for (int b = 0; b < 8; ++b)
            row.rom[b] = QStringLiteral("%1").arg(e.rom[b], 2, 16, QLatin1Char('0')).toUpper();
        row.reg = QString::number(e.reg);
        rows << row;
    }
    ports.aux.sensors().setSensors(rows);
}

void writeProjectFile(const QString &path, const ProjectRecord &record)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(record.bytes()) != record.bytes().size() ||
        !file.commit()) {
        throw PlatformError(QStringLiteral("Cannot write %1: %2")
                                .arg(QDir::toNativeSeparators(path), file.errorString()));
    }
}

ProjectRecord readProjectFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw InputError(QStringLiteral("Cannot read %1: %2")
                             .arg(QDir::toNativeSeparators(path), file.errorString()));
    }
    // Read at most one byte more than a record, so a huge file is not loaded to be refused.
    QByteArray bytes = file.read(R::Size + 1);
    if (file.error() != QFileDevice::NoError) {
        throw InputError(QStringLiteral("Cannot read %1: %2")
                             .arg(QDir::toNativeSeparators(path), file.errorString()));
    }
    QString fault = projectRecordFault(bytes);
    if (bytes.size() > R::Size) {
        fault = QStringLiteral("The file holds %1 bytes; a project file holds exactly %2.")
                    .arg(file.size())
                    .arg(R::Size);
    }
    if (!fault.isEmpty())
        throw InputError(QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), fault));
    return ProjectRecord::fromBytes(bytes);
}

QString cancelledChoiceMessage()
{
    return QStringLiteral("Cancel was selected.");
}

FileChoice projectFileChoice(const QString &title, const QString &startFolder)
{
    FileChoice c;
    c.title = title;
    c.filters = {QStringLiteral("Dravik technology PLC config (*.dpc)"),
                 QStringLiteral("All file (*.*)")};
    // The documented "rfp" contradicts the filter and the files' own extension.
    c.defaultSuffix = QStringLiteral("dpc");
    c.startFolder = startFolder;
    return c;
}

Outcome Save_project(Prompts &prompts, ProjectRecord &memory, const ProjectPorts &ports,
                     const QString &startFolder)
{
    const auto path = prompts.chooseFileToSave(
        projectFileChoice(QStringLiteral("Save PLC configuration"), startFolder));
    if (!path) {
        prompts.message(cancelledChoiceMessage());
        return Outcome::Cancelled;
    }
    Fill_project_record(memory, ports);
    writeProjectFile(*path, memory);
    return Outcome::Done;
}

Outcome Load_project(Prompts &prompts, ProjectRecord &memory, const ProjectPorts &ports,
                     const QString &startFolder)
{
    const auto path = prompts.chooseFileToOpen(
        projectFileChoice(QStringLiteral("Load PLC configuration"), startFolder));
    if (!path) {
        prompts.message(cancelledChoiceMessage());
        return Outcome::Cancelled;
    }
    memory = readProjectFile(*path);
    Apply_project_record(memory, ports);
    return Outcome::Done;
}
