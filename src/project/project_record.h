#pragma once

#include <QByteArray>
#include <QString>

#include <array>

// One row of a Modbus slave table as the project file holds it (9 bytes).
struct SlaveEntry
{
    quint8 address = 0;
    quint8 function = 0;
    quint8 numWord = 0;
    quint16 addressSlave = 0; // addresses take the whole 16 bits, 0 to 65535
    quint16 addressMaster = 0;
    qint16 timeout = 0;
    friend bool operator==(const SlaveEntry &, const SlaveEntry &) = default;
};

// One row of the 1-wire sensor table as the project file holds it (11 bytes).
struct SensorEntry
{
    std::array<quint8, 8> rom{};
    qint16 reg = 0;
    friend bool operator==(const SensorEntry &, const SensorEntry &) = default;
};

// The project file: one record of 15040 bytes, little-endian, no padding. Four port blocks
// (UART 1, UART 2, the auxiliary port, one never used) and three reserved 8-byte texts.
//
// The record is kept as its bytes, and every field is read and written in place: a save
// overwrites only the fields it uses, so whatever else a loaded file held is written back as it
// was.
class ProjectRecord
{
public:
    static constexpr int Size = 15040;
    static constexpr int BlockSize = 3754;
    static constexpr int Entries = 129; // room in a block; at most 128 are used
    static constexpr int MaxItems = 128;
    static constexpr int SlaveEntrySize = 9;
    static constexpr int SensorEntrySize = 11;
    enum Block { Uart1 = 0, Uart2 = 1, Aux = 2, Unused = 3 };

    // Offsets inside a block: the entries, the two counts, then one byte each from the slave-mode
    // address to the stop bit, then the slave-mode timeout (a float).
    static constexpr int SlavesOffset = 0, SensorsOffset = 1161;
    static constexpr int SlaveCountOffset = 3741, SensorCountOffset = 3742;
    static constexpr int SlaveAddressOffset = 3744, ModeOffset = 3745, SpeedOffset = 3746,
                         ParityOffset = 3747, BitNumberOffset = 3748, StopBitOffset = 3749;
    static constexpr int SlaveTimeoutOffset = 3750;
    // The three reserved 8-byte texts after the blocks.
    static constexpr int ReservedTextsOffset = 15016;

    ProjectRecord(); // all zeros, as after start-up
    // Takes the bytes of a file; nothing is checked here (see projectRecordFault).
    static ProjectRecord fromBytes(const QByteArray &bytes);
    const QByteArray &bytes() const { return m_bytes; }

    SlaveEntry slave(Block block, int index) const;
    void setSlave(Block block, int index, const SlaveEntry &entry);
    SensorEntry sensor(Block block, int index) const;
    void setSensor(Block block, int index, const SensorEntry &entry);

    quint8 byteField(Block block, int offset) const;
    void setByteField(Block block, int offset, quint8 value);
    float slaveTimeout(Block block) const;
    void setSlaveTimeout(Block block, float value);

    // The three reserved texts: eight blanks each when written by this program.
    void blankReservedTexts();

    friend bool operator==(const ProjectRecord &, const ProjectRecord &) = default;

private:
    int at(Block block, int offset) const { return int(block) * BlockSize + offset; }
    qint16 int16At(int pos) const;
    void setInt16At(int pos, qint16 value);

    QByteArray m_bytes;
};

// What is wrong with a record read from a file, for the user: a size other than 15040 bytes, a
// count above 128, a mode or list index outside its list, a slave-mode timeout that is not a
// whole number. An empty text for a sound record.
QString projectRecordFault(const QByteArray &bytes);
