#include "sim/rtu_line.h"

#include <QElapsedTimer>
#include <QModbusDataUnitMap>
#include <QModbusReply>
#include <QModbusRtuSerialClient>
#include <QModbusRtuSerialServer>
#include <QPointer>
#include <QSerialPort>
#include <QSocketNotifier>
#include <QTimer>
#include <QVariant>

#include <algorithm>
#include <deque>
#include <utility>
#include <vector>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {

constexpr qint64 NsPerSecond = 1'000'000'000;
constexpr qint64 NsPerMs = 1'000'000;
// The longest pause inside a request a slave waits through.
constexpr int PieceGapUs = 50'000;

QModbusDataUnit::RegisterType registerType(ModbusTable table)
{
    switch (table) {
    case ModbusTable::Coils:
        return QModbusDataUnit::Coils;
    case ModbusTable::Discrete:
        return QModbusDataUnit::DiscreteInputs;
    case ModbusTable::Input:
        return QModbusDataUnit::InputRegisters;
    case ModbusTable::Holding:
        break;
    }
    return QModbusDataUnit::HoldingRegisters;
}

// One pseudo-terminal: the relay keeps the master end, Qt SerialBus opens the device by name.
class Pty
{
public:
    Pty() = default;
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;
    ~Pty() { close(); }

    bool open(QString *error)
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master < 0)
            return fail(QObject::tr("cannot open a pseudo-terminal"), error);
        if (fcntl(m_master, F_SETFD, FD_CLOEXEC) < 0 ||
            fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK) < 0)
            return fail(QObject::tr("cannot set up the pseudo-terminal"), error);
        if (grantpt(m_master) < 0 || unlockpt(m_master) < 0)
            return fail(QObject::tr("cannot unlock the pseudo-terminal"), error);
        char name[128];
        if (ptsname_r(m_master, name, sizeof name) != 0)
            return fail(QObject::tr("cannot name the pseudo-terminal"), error);
        m_path = QString::fromLocal8Bit(name);
        // Held open by us as long as the line is: with no descriptor left on the device, the
        // master reports a hang-up for good and its notifier would spin. Raw from the start, so
        // nothing is echoed or translated before Qt has set the device up.
        m_hold = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_hold < 0)
            return fail(QObject::tr("cannot open %1").arg(m_path), error);
        termios tio{};
        if (tcgetattr(m_hold, &tio) < 0)
            return fail(QObject::tr("cannot read the settings of %1").arg(m_path), error);
        cfmakeraw(&tio);
        if (tcsetattr(m_hold, TCSANOW, &tio) < 0)
            return fail(QObject::tr("cannot set raw mode on %1").arg(m_path), error);
        return true;
    }

    void close()
    {
        if (m_hold >= 0)
            ::close(m_hold);
        if (m_master >= 0)
            ::close(m_master);
        m_hold = m_master = -1;
    }

    int master() const { return m_master; }
    QString path() const { return m_path; }

    QByteArray readAll() const
    {
        QByteArray bytes;
        char buffer[512];
        for (;;) {
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n > 0)
                bytes.append(buffer, n);
            else if (n < 0 && errno == EINTR)
                continue;
            else
                return bytes;
        }
    }

    // A pty's queue holds kilobytes and every end is read as soon as it has bytes, so a full
    // queue means that end is gone: what does not fit is lost, as on a wire nobody listens to.
    void write(const QByteArray &bytes) const
    {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(m_master, bytes.constData() + done,
                                      static_cast<size_t>(bytes.size() - done));
            if (n > 0)
                done += n;
            else if (n < 0 && errno == EINTR)
                continue;
            else
                return;
        }
    }

private:
    bool fail(const QString &what, QString *error)
    {
        if (error)
            *error =
                QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(errno)));
        close();
        return false;
    }

    int m_master = -1;
    int m_hold = -1;
    QString m_path;
};

// Opens a Qt SerialBus device on a pseudo-terminal with the line's settings.
bool connectOnPty(QModbusDevice &device, const QString &path, int baudRate, QString *error)
{
    device.setConnectionParameter(QModbusDevice::SerialPortNameParameter, path);
    device.setConnectionParameter(QModbusDevice::SerialBaudRateParameter, baudRate);
    // A Linux pseudo-terminal has no parity bit: QSerialPort's attempt to set one is refused
    // (invalid argument), so every device opens without. The line's parity lives on in the
    // relay's character time (11 bits instead of 10).
    device.setConnectionParameter(QModbusDevice::SerialParityParameter, QSerialPort::NoParity);
    device.setConnectionParameter(QModbusDevice::SerialDataBitsParameter, QSerialPort::Data8);
    device.setConnectionParameter(QModbusDevice::SerialStopBitsParameter, QSerialPort::OneStop);
    if (device.connectDevice())
        return true;
    if (error)
        *error = QObject::tr("cannot open %1: %2").arg(path, device.errorString());
    return false;
}

// A plant slave: Qt's server with the slave's tables, refusing requests that touch its
// exception range with the exception's code.
class PlantServer final : public QModbusRtuSerialServer
{
public:
    explicit PlantServer(const PlantSlave &slave) : m_exception(slave.exception)
    {
        setServerAddress(slave.address);
        // Qt's server forgets the start of a request after 3.5 characters without bytes. Here
        // the master only ever sends whole requests, and a pause inside one comes from this
        // process's event loop being late on a busy machine, not from the line: a wide margin
        // keeps such a pause from losing the request.
        setInterFrameDelay(PieceGapUs);
        QModbusDataUnitMap map;
        for (const ModbusTable table : {ModbusTable::Coils, ModbusTable::Discrete,
                                        ModbusTable::Input, ModbusTable::Holding}) {
            const std::optional<AddressRange> &range = slave.range(table);
            if (!range || range->isEmpty())
                continue;
            const bool bits = table == ModbusTable::Coils || table == ModbusTable::Discrete;
            QList<quint16> values;
            values.reserve(range->size());
            for (int a = range->first; a <= range->last; ++a)
                values.append(bits ? quint16(a & 1) : quint16(a));
            map.insert(registerType(table),
                       QModbusDataUnit(registerType(table), range->first, values));
        }
        setMap(map);
    }

protected:
    QModbusResponse processRequest(const QModbusPdu &request) override
    {
        if (m_exception && touchesException(request)) {
            // Built by hand: the code may be any byte, not only those Qt has names for.
            return QModbusResponse(
                QModbusPdu::FunctionCode(request.functionCode() | QModbusPdu::ExceptionByte),
                QByteArray(1, char(m_exception->code)));
        }
        return QModbusRtuSerialServer::processRequest(request);
    }

    // Qt keeps a single coil's write as it came on the line (0xFF00 for on); the slave's coils
    // hold 0 and 1, as after a write of several.
    bool writeData(const QModbusDataUnit &unit) override
    {
        if (unit.registerType() != QModbusDataUnit::Coils)
            return QModbusRtuSerialServer::writeData(unit);
        QModbusDataUnit bits = unit;
        for (qsizetype i = 0; i < bits.valueCount(); ++i)
            bits.setValue(i, bits.value(i) != 0 ? 1 : 0);
        return QModbusRtuSerialServer::writeData(bits);
    }

private:
    bool touchesException(const QModbusPdu &request) const
    {
        std::optional<ModbusTable> table;
        bool single = false;
        switch (request.functionCode()) {
        case QModbusPdu::ReadCoils:
        case QModbusPdu::WriteMultipleCoils:
            table = ModbusTable::Coils;
            break;
        case QModbusPdu::WriteSingleCoil:
            table = ModbusTable::Coils;
            single = true;
            break;
        case QModbusPdu::ReadDiscreteInputs:
            table = ModbusTable::Discrete;
            break;
        case QModbusPdu::ReadInputRegisters:
            table = ModbusTable::Input;
            break;
        case QModbusPdu::ReadHoldingRegisters:
        case QModbusPdu::WriteMultipleRegisters:
            table = ModbusTable::Holding;
            break;
        case QModbusPdu::WriteSingleRegister:
            table = ModbusTable::Holding;
            single = true;
            break;
        default:
            return false;
        }
        if (*table != m_exception->table || request.dataSize() < 4)
            return false;
        quint16 address = 0;
        quint16 count = 0;
        request.decodeData(&address, &count);
        if (single)
            count = 1;
        const AddressRange &range = m_exception->range;
        return !range.isEmpty() && count > 0 && address <= range.last &&
               address + count - 1 >= range.first;
    }

    std::optional<PlantSlave::Exception> m_exception;
};

} // namespace

class RtuLine::Private
{
public:
    explicit Private(RtuLine *q) : q(q)
    {
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, q, [this] { deliver(); });
    }

    struct Slave
    {
        PlantSlave plant;
        Pty pty;
        std::unique_ptr<PlantServer> server;
        std::unique_ptr<QSocketNotifier> notifier;
        // Bytes of its answer to the master's last request read so far.
        int answerBytes = 0;
    };

    // A byte on its way along the line, with the moment its last bit arrives.
    struct Byte
    {
        qint64 dueNs;
        int from; // MasterEnd or the index of a slave
        char value;
    };
    static constexpr int MasterEnd = -1;

    qint64 now() const { return clock.nsecsElapsed(); }
    void readMaster();
    void readSlave(int index);
    void deliver();
    void endFrame();
    void schedule();

    RtuLine *q;
    QTimer timer;
    QElapsedTimer clock;
    Pty master;
    std::unique_ptr<QModbusRtuSerialClient> client;
    std::unique_ptr<QSocketNotifier> masterNotifier;
    std::vector<std::unique_ptr<Slave>> slaves;
    qint64 charNs = 0;
    // 3.5 characters without a byte end a frame.
    qint64 silenceNs = 0;
    std::deque<Byte> line;
    // When the last byte put on the line (delivered or still travelling) ends.
    qint64 lineBusyUntilNs = 0;
    // When the last byte of the master's last request reached the slaves.
    qint64 requestEndNs = 0;
    // The frame crossing now, as delivered so far, and when the last byte delivered arrived.
    QByteArray frame;
    bool frameFromMaster = false;
    qint64 frameLastNs = 0;
    // Frames ended during a delivery, to be signalled at its end.
    QList<std::pair<bool, QByteArray>> crossed;
    // Slave bytes the master has received since the line opened.
    quint64 bytesToMaster = 0;
    // Bumped by close(): answers to polls of an earlier opening are not handed out.
    quint64 generation = 0;
};

void RtuLine::Private::readMaster()
{
    const QByteArray bytes = master.readAll();
    if (bytes.isEmpty())
        return;
    // The master talks: answers still held back by their slaves can no longer be sent, and
    // every slave's next bytes answer this request.
    line.erase(
        std::remove_if(line.begin(), line.end(), [](const Byte &b) { return b.from != MasterEnd; }),
        line.end());
    lineBusyUntilNs = line.empty() ? frameLastNs : line.back().dueNs;
    for (const auto &slave : slaves)
        slave->answerBytes = 0;
    qint64 due = std::max(now(), lineBusyUntilNs);
    for (const char c : bytes) {
        due += charNs;
        line.push_back({due, MasterEnd, c});
    }
    lineBusyUntilNs = due;
    schedule();
}

void RtuLine::Private::readSlave(int index)
{
    Slave &slave = *slaves[size_t(index)];
    QByteArray bytes = slave.pty.readAll();
    if (bytes.isEmpty())
        return;
    // A slave cannot talk over the master: bytes that come while a request is still crossing
    // answer an earlier one, which the master has given up on.
    const bool masterTalking =
        std::any_of(line.begin(), line.end(), [](const Byte &b) { return b.from == MasterEnd; });
    if (masterTalking)
        return;
    if (slave.plant.noise && slave.answerBytes == 0) {
        // The server address: the frame keeps its length and its check fails for certain.
        bytes[0] = char(~bytes[0]);
    }
    slave.answerBytes += int(bytes.size());
    // A slave starts no sooner than the 3.5 characters of silence that end the request.
    const qint64 holdNs = std::max(silenceNs, slave.plant.delayMs * NsPerMs);
    qint64 due = std::max({now(), requestEndNs + holdNs, lineBusyUntilNs});
    for (const char c : bytes) {
        due += charNs;
        line.push_back({due, index, c});
    }
    lineBusyUntilNs = due;
    schedule();
}

void RtuLine::Private::deliver()
{
    const qint64 t = now();
    QByteArray run;
    int runFrom = MasterEnd;
    const auto sendRun = [&] {
        if (run.isEmpty())
            return;
        if (runFrom == MasterEnd) {
            for (const auto &slave : slaves)
                slave->pty.write(run);
        } else {
            master.write(run);
            bytesToMaster += quint64(run.size());
        }
        run.clear();
    };
    while (!line.empty() && line.front().dueNs <= t) {
        const Byte b = line.front();
        line.pop_front();
        const bool fromMaster = b.from == MasterEnd;
        if (!frame.isEmpty() &&
            (fromMaster != frameFromMaster || b.dueNs - charNs - frameLastNs >= silenceNs)) {
            endFrame();
        }
        if (!run.isEmpty() && (b.from != runFrom))
            sendRun();
        run.append(b.value);
        runFrom = b.from;
        frame.append(b.value);
        frameFromMaster = fromMaster;
        frameLastNs = b.dueNs;
        if (fromMaster)
            requestEndNs = b.dueNs;
    }
    sendRun();
    if (!frame.isEmpty() && t - frameLastNs >= silenceNs &&
        (line.empty() || line.front().dueNs - charNs - frameLastNs >= silenceNs)) {
        endFrame();
    }
    schedule();
    // Last, as a receiver may close or delete the line.
    const QList<std::pair<bool, QByteArray>> frames = std::exchange(crossed, {});
    const QPointer<RtuLine> alive(q);
    for (const auto &[fromMaster, bytes] : frames) {
        if (alive)
            Q_EMIT alive->frameCrossed(fromMaster, bytes);
    }
}

void RtuLine::Private::endFrame()
{
    crossed.append({frameFromMaster, std::exchange(frame, {})});
}

void RtuLine::Private::schedule()
{
    qint64 wake = -1;
    if (!line.empty())
        wake = line.front().dueNs;
    if (!frame.isEmpty()) {
        const qint64 frameEnd = frameLastNs + silenceNs;
        wake = wake < 0 ? frameEnd : std::min(wake, frameEnd);
    }
    if (wake < 0) {
        timer.stop();
        return;
    }
    // Whole milliseconds, rounded up: every byte due by then goes out at that wake-up.
    const qint64 waitNs = std::max<qint64>(0, wake - now());
    timer.start(int((waitNs + NsPerMs - 1) / NsPerMs));
}

RtuLine::RtuLine(QObject *parent) : QObject(parent), d(std::make_unique<Private>(this)) {}

RtuLine::~RtuLine()
{
    close();
}

bool RtuLine::isOpen() const
{
    return d->client != nullptr;
}

bool RtuLine::open(const QList<PlantSlave> &slaves, int baudRate, char parity, QString *error)
{
    close();
    if (baudRate <= 0) {
        if (error)
            *error = tr("the speed must be a positive number of bits per second");
        return false;
    }
    if (parity != 'N' && parity != 'E' && parity != 'O') {
        if (error)
            *error = tr("the parity must be N, E or O");
        return false;
    }
    // A start bit, 8 data bits, the parity bit if any and a stop bit.
    d->charNs = (parity == 'N' ? 10 : 11) * NsPerSecond / baudRate;
    d->silenceNs = d->charNs * 7 / 2;
    d->clock.start();
    d->lineBusyUntilNs = d->requestEndNs = d->frameLastNs = 0;

    if (!d->master.open(error))
        return false;
    auto client = std::make_unique<QModbusRtuSerialClient>();
    // A poll gets one chance, as the PLC gives it: a missed answer is the poll's outcome.
    client->setNumberOfRetries(0);
    if (!connectOnPty(*client, d->master.path(), baudRate, error)) {
        d->master.close();
        return false;
    }
    d->client = std::move(client);
    d->masterNotifier =
        std::make_unique<QSocketNotifier>(d->master.master(), QSocketNotifier::Read);
    connect(d->masterNotifier.get(), &QSocketNotifier::activated, this,
            [this] { d->readMaster(); });

    for (const PlantSlave &plant : slaves) {
        auto slave = std::make_unique<Private::Slave>();
        slave->plant = plant;
        slave->server = std::make_unique<PlantServer>(plant);
        if (!slave->pty.open(error) ||
            !connectOnPty(*slave->server, slave->pty.path(), baudRate, error)) {
            close();
            return false;
        }
        slave->notifier =
            std::make_unique<QSocketNotifier>(slave->pty.master(), QSocketNotifier::Read);
        const int index = int(d->slaves.size());
        connect(slave->notifier.get(), &QSocketNotifier::activated, this,
                [this, index] { d->readSlave(index); });
        d->slaves.push_back(std::move(slave));
    }
    return true;
}

void RtuLine::close()
{
    ++d->generation;
    d->timer.stop();
    d->line.clear();
    d->frame.clear();
    d->crossed.clear();
    d->masterNotifier.reset();
    if (d->client) {
        // Aborts an open poll; its answer is not handed out (generation).
        d->client->disconnectDevice();
        d->client.reset();
    }
    for (const auto &slave : d->slaves) {
        slave->notifier.reset();
        slave->server->disconnectDevice();
    }
    d->slaves.clear();
    d->master.close();
}

void RtuLine::poll(const ModbusPoll &request, Done done)
{
    const quint64 generation = d->generation;
    const auto handOut = [this, generation, done](const PollOutcome &outcome) {
        // Always from the event loop, and never once the line has been closed.
        QMetaObject::invokeMethod(
            this,
            [this, generation, done, outcome] {
                if (generation == d->generation)
                    done(outcome);
            },
            Qt::QueuedConnection);
    };
    const quint64 bytesBefore = d->bytesToMaster;
    const auto failed = [this, bytesBefore] {
        PollOutcome outcome;
        outcome.kind = d->bytesToMaster != bytesBefore ? PollOutcome::Kind::Garbled
                                                       : PollOutcome::Kind::NoAnswer;
        return outcome;
    };
    if (!d->client) {
        handOut(failed());
        return;
    }
    const QModbusDataUnit::RegisterType type = registerType(request.table);
    d->client->setTimeout(request.timeoutMs);
    QModbusReply *reply =
        request.write
            ? d->client->sendWriteRequest(QModbusDataUnit(type, request.address, request.values),
                                          request.slave)
            : d->client->sendReadRequest(
                  QModbusDataUnit(type, request.address, quint16(request.count)), request.slave);
    if (!reply) {
        handOut(failed());
        return;
    }
    const bool read = !request.write;
    const qsizetype count = request.count;
    const auto finish = [reply, read, count, handOut, failed] {
        PollOutcome outcome;
        if (reply->error() == QModbusDevice::NoError) {
            outcome.kind = PollOutcome::Kind::Answered;
            // Coils come in whole bytes: the bits past the count are padding.
            if (read)
                outcome.values = reply->result().values().mid(0, count);
        } else if (reply->error() == QModbusDevice::ProtocolError &&
                   !reply->rawResult().data().isEmpty()) {
            // Qt's way of saying the slave refused. The code is read as the byte it is: Qt keeps
            // the function code of an exception sign-extended, which is no valid value of its
            // enumeration.
            outcome.kind = PollOutcome::Kind::Exception;
            outcome.exceptionCode = quint8(reply->rawResult().data().at(0));
        } else {
            outcome = failed();
        }
        reply->deleteLater();
        handOut(outcome);
    };
    if (reply->isFinished())
        finish();
    else
        connect(reply, &QModbusReply::finished, this, finish);
}

std::optional<quint16> RtuLine::value(int slave, ModbusTable table, int address) const
{
    if (address < 0 || address > 0xFFFF)
        return std::nullopt;
    for (const auto &s : d->slaves) {
        quint16 v = 0;
        if (s->plant.address == slave && s->server->data(registerType(table), quint16(address), &v))
            return v;
    }
    return std::nullopt;
}

} // namespace sim
