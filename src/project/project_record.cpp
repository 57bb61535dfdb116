#include "project/project_record.h"

#include <QtEndian>

#include <cmath>
#include <cstring>

ProjectRecord::ProjectRecord() : m_bytes(Size, '\0') {}

ProjectRecord ProjectRecord::fromBytes(const QByteArray &bytes)
{
    ProjectRecord r;
    std::memcpy(r.m_bytes.data(), bytes.constData(), std::min<size_t>(bytes.size(), Size));
    return r;
}

qint16 ProjectRecord::int16At(int pos) const
{
    return qFromLittleEndian<qint16>(m_bytes.constData() + pos);
}

void ProjectRecord::setInt16At(int pos, qint16 value)
{
    qToLittleEndian<qint16>(value, m_bytes.data() + pos);
}

SlaveEntry ProjectRecord::slave(Block block, int index) const
{
    const int p = at(block, SlavesOffset + index * SlaveEntrySize);
    SlaveEntry e;
    e.address = static_cast<quint8>(m_bytes[p]);
    e.function = static_cast<quint8>(m_bytes[p + 1]);
    e.numWord = static_cast<quint8>(m_bytes[p + 2]);
    e.addressSlave = static_cast<quint16>(int16At(p + 3));
    e.addressMaster = static_cast<quint16>(int16At(p + 5));
    e.timeout = int16At(p + 7);
    return e;
}

void ProjectRecord::setSlave(Block block, int index, const SlaveEntry &e)
{
    const int p = at(block, SlavesOffset + index * SlaveEntrySize);
    m_bytes[p] = static_cast<char>(e.address);
    m_bytes[p + 1] = static_cast<char>(e.function);
    m_bytes[p + 2] = static_cast<char>(e.numWord);
    setInt16At(p + 3, static_cast<qint16>(e.addressSlave));
    setInt16At(p + 5, static_cast<qint16>(e.addressMaster));
    setInt16At(p + 7, e.timeout);
}

SensorEntry ProjectRecord::sensor(Block block, int index) const
{
    // The entry's first byte is reserved; the ROM code follows it.
    const int p = at(block, SensorsOffset + index * SensorEntrySize);
    SensorEntry e;
    for (int i = 0; i < 8; ++i)
        e.rom[i] = static_cast<quint8>(m_bytes[p + 1 + i]);
    e.reg = int16At(p + 9);
    return e;
}

void ProjectRecord::setSensor(Block block, int index, const SensorEntry &e)
{
    const int p = at(block, SensorsOffset + index * SensorEntrySize);
    for (int i = 0; i < 8; ++i)
        m_bytes[p + 1 + i] = static_cast<char>(e.rom[i]);
    setInt16At(p + 9, e.reg);
}

quint8 ProjectRecord::byteField(Block block, int offset) const
{
    return static_cast<quint8>(m_bytes[at(block, offset)]);
}

void ProjectRecord::setByteField(Block block, int offset, quint8 value)
{
    m_bytes[at(block, offset)] = static_cast<char>(value);
}

float ProjectRecord::slaveTimeout(Block block) const
{
    return qFromLittleEndian<float>(m_bytes.constData() + at(block, SlaveTimeoutOffset));
}

void ProjectRecord::setSlaveTimeout(Block block, float value)
{
    qToLittleEndian<float>(value, m_bytes.data() + at(block, SlaveTimeoutOffset));
}

void ProjectRecord::blankReservedTexts()
{
    for (int i = 0; i < 24; ++i)
        m_bytes[ReservedTextsOffset + i] = ' ';
}

QString projectRecordFault(const QByteArray &bytes)
{
    if (bytes.size() != ProjectRecord::Size) {
        return QStringLiteral("The file holds %1 bytes; a project file holds exactly %2.")
            .arg(bytes.size())
            .arg(ProjectRecord::Size);
    }
    const ProjectRecord r = ProjectRecord::fromBytes(bytes);
    using R = ProjectRecord;
    // A value from limit up names nothing in its list or table.
    auto beyond = [&](R::Block block, int offset, int limit, const QString &what) -> QString {
        const int v = r.byteField(block, offset);
        if (v < limit)
            return {};
        return QStringLiteral("The file is not a sound project: the %1 is %2 (at most %3).")
            .arg(what)
            .arg(v)
            .arg(limit - 1);
    };
    // The fields of a Modbus port's block in this order; UART 2 keeps the first four only.
    static const struct
    {
        int offset, limit;
        const char *what;
    } modbusFields[] = {{R::SlaveCountOffset, 129, "slave count"},
                        {R::ModeOffset, 3, "mode"},
                        {R::SpeedOffset, 8, "speed"},
                        {R::ParityOffset, 3, "parity"},
                        {R::BitNumberOffset, 3, "bit number"},
                        {R::StopBitOffset, 3, "stop bit"}};
    for (const R::Block b : {R::Uart1, R::Uart2}) {
        const QString port = b == R::Uart1 ? QStringLiteral("UART 1 ") : QStringLiteral("UART 2 ");
        for (int i = 0; i < (b == R::Uart1 ? 6 : 4); ++i) {
            const auto &f = modbusFields[i];
            if (QString fault = beyond(b, f.offset, f.limit, port + QLatin1String(f.what));
                !fault.isEmpty())
                return fault;
        }
    }
    for (const QString &fault :
         {beyond(R::Aux, R::SensorCountOffset, 129, QStringLiteral("1-wire sensor count")),
          beyond(R::Aux, R::ModeOffset, 3, QStringLiteral("auxiliary port mode"))}) {
        if (!fault.isEmpty())
            return fault;
    }
    for (const R::Block b : {R::Uart1, R::Uart2}) {
        const float t = r.slaveTimeout(b);
        if (!std::isfinite(t) || t != std::nearbyint(t) || t < -32768.0f || t > 32767.0f) {
            return QStringLiteral("The file is not a sound project: the UART %1 slave-mode timeout "
                                  "is %2, not a whole number of milliseconds.")
                .arg(b == R::Uart1 ? 1 : 2)
                .arg(double(t));
        }
    }
    return {};
}
