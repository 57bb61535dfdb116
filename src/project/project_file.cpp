#include "project/project_file.h"

#include "common/errors.h"
#include "common/untrusted_text.h"
#include "common/whole_file.h"
#include "modbus/modbus_port.h"
#include "modbus/slave_table.h"
#include "onewire/aux_port.h"
#include "project/cell_conversion.h"

#include <QDir>

#include <algorithm>

Q_LOGGING_CATEGORY(plcProjectLog, "plc.project", QtInfoMsg)

namespace {

using R = ProjectRecord;

// Larger files are refused without being read.
constexpr qint64 MaxProjectFileBytes = 1024 * 1024;

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
        auto addressAt = [&](int c) {
            return cellToAddressWord(t.cell(r, c), cellName(port, r, c));
        };
        SlaveEntry e;
        e.address = byteAt(SlaveColumn::Address);
        e.function = byteAt(SlaveColumn::Function);
        e.numWord = byteAt(SlaveColumn::NumWord);
        e.addressSlave = addressAt(SlaveColumn::AddressSlave);
        e.addressMaster = addressAt(SlaveColumn::AddressMaster);
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

FreshPorts::FreshPorts(const QString &iniPath)
{
    uart1.setStartUpValues(iniPath);
    uart2.setStartUpValues(iniPath);
}

void resetProjectPorts(const ProjectPorts &ports, const QString &iniPath)
{
    // A fresh window's ports, carried over field by field as a project load carries a file's.
    FreshPorts fresh(iniPath);
    ProjectRecord record;
    Fill_project_record(record, fresh.ports());
    Apply_project_record(record, ports);
    // As at start-up, the placeholder rows carry no number.
    ports.uart1.slaves().clearItems();
    ports.uart2.slaves().clearItems();
    ports.aux.sensors().clear();
    ports.aux.setFieldNet(FieldNetSettings{});
}

void writeProjectFile(const QString &path, const ProjectRecord &record)
{
    const QByteArray bytes = record.bytes();
    writeWholeFile(path, bytes);
    qCDebug(plcProjectLog).noquote() << QStringLiteral("wrote %1: %2 bytes")
                                            .arg(QDir::toNativeSeparators(path))
                                            .arg(bytes.size());
}

ProjectRecord readProjectFile(const QString &path)
{
    const QString shown = escapedText(QDir::toNativeSeparators(path));
    try {
        // A record saved in place over a longer file keeps that file's tail: the record is the
        // first 15040 bytes, and the tail is dropped at the next save. A file far larger is no
        // project.
        const QByteArray bytes =
            readWholeFile(path, MaxProjectFileBytes,
                          QStringLiteral("a project file holds %1").arg(R::Size))
                .left(R::Size);
        if (const QString fault = projectRecordFault(bytes); !fault.isEmpty())
            throw InputError(QStringLiteral("%1: %2").arg(shown, fault));
        qCDebug(plcProjectLog).noquote()
            << QStringLiteral("read %1: %2 bytes").arg(shown).arg(bytes.size());
        return ProjectRecord::fromBytes(bytes);
    } catch (const CommandError &e) {
        qCDebug(plcProjectLog).noquote()
            << QStringLiteral("refused %1: %2").arg(shown, e.description());
        throw;
    }
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
    // The extension the filter offers and project files carry.
    c.defaultSuffix = QStringLiteral("dpc");
    c.startFolder = startFolder;
    return c;
}

namespace {
// The file chosen in the chooser of "Save config" or "Load config"; nothing (and the message of
// a cancelled choice) when the user cancelled.
std::optional<QString> chooseProject(Prompts &prompts, bool save, const QString &startFolder)
{
    const FileChoice choice = projectFileChoice(save ? QStringLiteral("Save PLC configuration")
                                                     : QStringLiteral("Load PLC configuration"),
                                                startFolder);
    const auto path = save ? prompts.chooseFileToSave(choice) : prompts.chooseFileToOpen(choice);
    if (!path)
        prompts.message(cancelledChoiceMessage());
    return path;
}
} // namespace

Result<QString> Save_project(Prompts &prompts, ProjectRecord &memory, const ProjectPorts &ports,
                             const QString &startFolder)
{
    const auto path = chooseProject(prompts, true, startFolder);
    if (!path)
        return ended(Outcome::Cancelled);
    Fill_project_record(memory, ports);
    writeProjectFile(*path, memory);
    return Result(*path);
}

Result<QString> Load_project(Prompts &prompts, ProjectRecord &memory, const ProjectPorts &ports,
                             const QString &startFolder)
{
    const auto path = chooseProject(prompts, false, startFolder);
    if (!path)
        return ended(Outcome::Cancelled);
    loadProjectFile(*path, memory, ports);
    return Result(*path);
}

void loadProjectFile(const QString &path, ProjectRecord &memory, const ProjectPorts &ports)
{
    memory = readProjectFile(path);
    Apply_project_record(memory, ports);
}
