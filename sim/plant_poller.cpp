#include "sim/plant_poller.h"

#include <QCoreApplication>
#include <QFileDevice>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

constexpr int MostRows = 128;
constexpr int ErrorBufferSize = 128;
constexpr std::array<int, 8> Speeds = {9600, 19200, 38400, 57600, 115200, 187500, 256000, 500000};

// The error bytes the diagnostics decode: bit 7 set, the code below it.
constexpr quint8 InactiveError = 0x80;
constexpr quint8 IllegalAddress = 0x81;
constexpr quint8 IllegalArgument = 0x82;
constexpr quint8 ReceiveError = 0x83;
constexpr quint8 TimeoutError = 0x84;
constexpr quint8 ExecuteError = 0x86;
constexpr quint8 NoDevice = 0xE0;

constexpr quint16 portWordAddress(int uart)
{
    return uart == 2 ? Addr::Uart2Port : Addr::Uart1Port;
}
constexpr quint16 recordsAddress(int uart)
{
    return uart == 2 ? Addr::Uart2Slaves : Addr::Uart1Slaves;
}
constexpr quint16 errorsAddress(int uart)
{
    return uart == 2 ? Addr::Uart2Errors : Addr::Uart1Errors;
}

bool isMaster(quint16 word)
{
    return (word & 0xC000) == 0xC000;
}

int rowCount(quint16 word)
{
    return isMaster(word) ? std::min<int>(word & 0xFF, MostRows) : 0;
}

int le16(const QByteArray &bytes, int at)
{
    return static_cast<quint8>(bytes.at(at)) | static_cast<quint8>(bytes.at(at + 1)) << 8;
}

const char *functionName(int function)
{
    static const char *const names[] = {"read coils", "read holding", "write holding",
                                        "write coils", "read input"};
    return function >= 0 && function < 5 ? names[function] : "unknown function";
}

QString valuesText(const QList<quint16> &values)
{
    QStringList parts;
    for (const quint16 v : values)
        parts.append(QString::number(v));
    return parts.join(QLatin1Char(' '));
}

// A sensor record keeps the ROM code's bytes in pairs, the odd byte first.
RomCode recordRom(const QByteArray &record)
{
    RomCode rom{};
    for (int b = 0; b < 8; ++b)
        rom[size_t(b)] = static_cast<quint8>(record.at(b ^ 1));
    return rom;
}

QString romText(const RomCode &rom)
{
    QString text;
    for (const quint8 b : rom)
        text += QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
    return text;
}

} // namespace

PlantPoller::PlantPoller(PlcModel &model, LineFactory lines, QObject *parent)
    : QObject(parent), m_model(model), m_lines(std::move(lines)), m_registers(MasterRegisters, 0),
      m_bits(MasterBits, false)
{
    m_ports[0].uart = 1;
    m_ports[1].uart = 2;
    // The PLC's registers start with a value of their own, so that what a write function sends
    // can be told from what the slave held.
    for (int i = 0; i < MasterRegisters; ++i)
        m_registers[i] = static_cast<quint16>(i);
    m_model.setWriteObserver([this](quint16 address, int count) { afterWrite(address, count); });
}

PlantPoller::~PlantPoller()
{
    m_model.setWriteObserver(nullptr);
    for (Port &port : m_ports) {
        ++port.generation;
        port.line.reset();
    }
}

void PlantPoller::callAfter(int ms, std::function<void()> fire)
{
    if (m_callAfter) {
        m_callAfter(ms, std::move(fire));
        return;
    }
    QTimer::singleShot(ms, Qt::PreciseTimer, this, std::move(fire));
}

void PlantPoller::afterWrite(quint16, int)
{
    // The configuration counts once the bracket is closed again: a table written in pieces is
    // taken whole, never half old and half new.
    if (m_model.bracketOpen() || m_reconfigurePending)
        return;
    m_reconfigurePending = true;
    callAfter(0, [this] {
        m_reconfigurePending = false;
        reconfigure();
    });
}

void PlantPoller::setPlant(const Plant &plant)
{
    m_plant = plant;
    m_model.setBusSensors(plant.presentSensors());
    for (Port &port : m_ports) {
        if (port.line || !port.lineError.isEmpty())
            restartPort(port, false);
    }
}

void PlantPoller::reconfigure()
{
    for (Port &port : m_ports) {
        const quint16 word = m_model.word(portWordAddress(port.uart));
        const QByteArray records = m_model.memory(recordsAddress(port.uart), 8 * rowCount(word));
        if (word == port.word && records == port.records)
            continue;
        // Polling a configuration starts from a clean buffer: what it holds is then all this
        // plant's doing.
        port.word = word;
        port.records = records;
        restartPort(port, true);
    }

    const quint16 aux = m_model.word(Addr::AuxMode);
    const int sensors = isMaster(aux) ? std::min<int>(aux & 0xFF, MostRows) : 0;
    const QByteArray sensorConfig =
        m_model.memory(Addr::AuxMode, 2) + m_model.memory(Addr::SensorArea, 10 * sensors);
    if (sensorConfig != m_sensorConfig) {
        m_model.setErrorBuffer(PlcModel::ErrorBuffer::OneWire, {});
        m_sensorConfig = sensorConfig;
        m_sensorMisses = QList<int>(sensors, 0);
        const int generation = ++m_sensorGeneration;
        if (sensors > 0)
            callAfter(0, [this, generation] { readSensors(generation); });
    }
}

void PlantPoller::restartPort(Port &port, bool clearErrors)
{
    const int generation = ++port.generation;
    port.line.reset();
    port.lineError.clear();
    port.rows.clear();
    port.next = 0;
    if (clearErrors)
        m_model.setMemory(errorsAddress(port.uart), QByteArray(ErrorBufferSize, '\0'));
    const int n = rowCount(port.word);
    if (n == 0)
        return;
    for (int i = 0; i < n; ++i) {
        const QByteArray r = port.records.mid(8 * i, 8);
        const int last = le16(r, 6);
        port.rows.append(Row{static_cast<quint8>(r.at(0)), static_cast<quint8>(r.at(1)), le16(r, 2),
                             le16(r, 4), last >> 12, last & 0xFFF});
    }
    const int speed = Speeds[(port.word >> 8) & 7];
    const int parityIndex = (port.word >> 11) & 3;
    const char parity = parityIndex == 0 ? 'O' : parityIndex == 1 ? 'E' : 'N';
    port.line = m_lines();
    QString error;
    if (!port.line->open(m_plant.slaves(port.uart), speed, parity, &error)) {
        port.line.reset();
        port.lineError = error;
        m_model.note(
            QStringLiteral("uart%1: the Modbus line cannot open: %2").arg(port.uart).arg(error));
        return;
    }
    m_model.note(QStringLiteral("uart%1: polling %2 rows at %3 bit/s, parity %4")
                     .arg(port.uart)
                     .arg(n)
                     .arg(speed)
                     .arg(QLatin1Char(parity)));
    callAfter(0, [this, &port, generation] { pollNext(port, generation); });
}

void PlantPoller::pollNext(Port &port, int generation)
{
    if (generation != port.generation || port.rows.isEmpty() || !port.line)
        return;
    const int index = port.next;
    const Row &row = port.rows.at(index);

    ModbusPoll request;
    request.slave = row.slave;
    request.address = row.slaveAddress;
    request.count = row.count;
    request.timeoutMs = row.timeoutMs;
    switch (row.function) {
    case 0:
        request.table = ModbusTable::Coils;
        break;
    case 1:
        request.table = ModbusTable::Holding;
        break;
    case 2:
        request.table = ModbusTable::Holding;
        request.write = true;
        for (int i = 0; i < row.count; ++i)
            request.values.append(m_registers.value(row.masterAddress + i));
        break;
    case 3:
        request.table = ModbusTable::Coils;
        request.write = true;
        for (int i = 0; i < row.count; ++i)
            request.values.append(m_bits.value(row.masterAddress + i) ? 1 : 0);
        break;
    case 4:
        request.table = ModbusTable::Input;
        break;
    default:
        break;
    }

    // A row the master cannot send at all fails without touching the line.
    std::optional<PollOutcome> refused;
    if (row.function > 4)
        refused = PollOutcome{PollOutcome::Kind::Exception, 1, {}};
    else if (row.count == 0 || row.slave == 0 || row.slave > 247)
        refused = PollOutcome{PollOutcome::Kind::Exception, 3, {}};
    if (refused) {
        callAfter(0, [this, &port, generation, index, outcome = *refused] {
            finishPoll(port, generation, index, outcome, {});
        });
        return;
    }
    port.line->poll(request, [this, &port, generation, index,
                              sent = request.values](const PollOutcome &outcome) {
        finishPoll(port, generation, index, outcome, sent);
    });
}

quint8 PlantPoller::errorByte(const Port &port, int rowIndex, const PollOutcome &outcome) const
{
    switch (outcome.kind) {
    case PollOutcome::Kind::Answered: {
        // A row that answers again keeps the mark of its past error.
        const QByteArray before = m_model.memory(errorsAddress(port.uart) + rowIndex, 1);
        return before.isEmpty() || before.at(0) == 0 ? 0 : InactiveError;
    }
    case PollOutcome::Kind::Exception:
        return outcome.exceptionCode == 2   ? IllegalAddress
               : outcome.exceptionCode == 3 ? IllegalArgument
                                            : ExecuteError;
    case PollOutcome::Kind::Garbled:
        return ReceiveError;
    case PollOutcome::Kind::NoAnswer:
        break;
    }
    return TimeoutError;
}

void PlantPoller::finishPoll(Port &port, int generation, int rowIndex, const PollOutcome &outcome,
                             const QList<quint16> &sent)
{
    if (generation != port.generation || rowIndex >= port.rows.size())
        return;
    const Row &row = port.rows.at(rowIndex);
    ++port.pollsDone;

    const quint8 byte = errorByte(port, rowIndex, outcome);
    const auto at = static_cast<quint16>(errorsAddress(port.uart) + rowIndex);
    const bool changed = static_cast<quint8>(m_model.memory(at, 1).at(0)) != byte;
    m_model.setMemory(at, QByteArray(1, static_cast<char>(byte)));

    const bool read = row.function == 0 || row.function == 1 || row.function == 4;
    if (outcome.kind == PollOutcome::Kind::Answered && read) {
        for (int i = 0; i < outcome.values.size(); ++i) {
            const int to = row.masterAddress + i;
            if (row.function == 0 && to < MasterBits)
                m_bits[to] = outcome.values.at(i) != 0;
            else if (row.function != 0 && to < MasterRegisters)
                m_registers[to] = outcome.values.at(i);
        }
    }

    QString what;
    switch (outcome.kind) {
    case PollOutcome::Kind::Answered:
        what = read ? valuesText(outcome.values) : QStringLiteral("written");
        break;
    case PollOutcome::Kind::Exception:
        what = QStringLiteral("refused, exception %1").arg(outcome.exceptionCode);
        break;
    case PollOutcome::Kind::NoAnswer:
        what = QStringLiteral("no answer within %1 ms").arg(row.timeoutMs);
        break;
    case PollOutcome::Kind::Garbled:
        what = QStringLiteral("no valid frame within %1 ms").arg(row.timeoutMs);
        break;
    }
    const QString poll = QStringLiteral("uart%1 slot %2 slave %3 %4 %5..%6")
                             .arg(port.uart)
                             .arg(rowIndex + 1)
                             .arg(row.slave)
                             .arg(QLatin1String(functionName(row.function)))
                             .arg(row.slaveAddress)
                             .arg(row.slaveAddress + row.count - 1);
    writePlantLog(sent.isEmpty()
                      ? QStringLiteral("%1 -> %2").arg(poll, what)
                      : QStringLiteral("%1 <- %2 -> %3").arg(poll, valuesText(sent), what));
    if (changed) {
        m_model.note(
            QStringLiteral("%1: error byte %2")
                .arg(poll, QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper()));
        Q_EMIT errorChanged(port.uart, rowIndex + 1, byte);
    }

    port.next = (rowIndex + 1) % static_cast<int>(port.rows.size());
    if (port.next != 0) {
        pollNext(port, generation);
        return;
    }
    // A rest between passes, at least a millisecond, so that a table the master refuses
    // whole does not spin.
    callAfter(std::max(m_plant.cycleMs, 1),
              [this, &port, generation] { pollNext(port, generation); });
}

void PlantPoller::readSensors(int generation)
{
    if (generation != m_sensorGeneration)
        return;
    const int n = static_cast<int>(m_sensorMisses.size());
    QByteArray errors(n, '\0');
    for (int i = 0; i < n; ++i) {
        const QByteArray record = m_sensorConfig.mid(2 + 10 * i, 10);
        const RomCode rom = recordRom(record);
        const int reg = le16(record, 8);
        const auto sensor =
            std::find_if(m_plant.sensors.cbegin(), m_plant.sensors.cend(),
                         [&](const PlantSensor &s) { return !s.absent && s.rom == rom; });
        QString what;
        if (sensor != m_plant.sensors.cend()) {
            m_sensorMisses[i] = 0;
            // Tenths of a degree, as the PLC keeps temperatures.
            const auto value = static_cast<qint16>(std::lround(sensor->celsius * 10));
            if (reg < MasterRegisters)
                m_registers[reg] = static_cast<quint16>(value);
            what = QStringLiteral("%1 °C -> D%2 = %3").arg(sensor->celsius).arg(reg).arg(value);
        } else {
            // The error number counts the reads in a row that found nothing.
            m_sensorMisses[i] = std::min(m_sensorMisses[i] + 1, 31);
            errors[i] = static_cast<char>(NoDevice | m_sensorMisses[i]);
            what = QStringLiteral("no device");
        }
        writePlantLog(
            QStringLiteral("onewire sensor %1 %2 -> %3").arg(i + 1).arg(romText(rom), what));
    }
    m_model.setErrorBuffer(PlcModel::ErrorBuffer::OneWire, errors);
    callAfter(SensorPeriodMs, [this, generation] { readSensors(generation); });
}

void PlantPoller::writePlantLog(const QString &line)
{
    if (!m_plantLog)
        return;
    m_plantLog->write(QStringLiteral("%1 ms  %2\n").arg(m_model.now(), 9).arg(line).toUtf8());
    if (auto *file = qobject_cast<QFileDevice *>(m_plantLog))
        file->flush();
}

} // namespace sim
