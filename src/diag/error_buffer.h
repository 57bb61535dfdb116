#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <optional>

class TextTable;

// The PLC's error buffers: one error byte per slave slot (Modbus) or per sensor (1-wire), their
// decoding into the two text columns of the diagnostics grids, and how the grids show them.

// The two text columns of one error byte. A description of std::nullopt is a code without a text
// of its own: its cell is left unwritten.
struct ErrorText
{
    QString type;
    std::optional<QString> description;
    friend bool operator==(const ErrorText &, const ErrorText &) = default;
};

// One slot of a buffer as read: its number (1-based), its byte and the byte decoded.
struct ErrorEntry
{
    int slot = 0;
    quint8 byte = 0;
    ErrorText text;
};

// Modbus error byte of slave slot `slot` (1-based) on UART `port` (1 or 2).
ErrorText Decode_error_byte(quint8 b, int slot, int port);
// 1-wire error byte of sensor `sensor` (1-based).
ErrorText Decode_onewire_error_byte(quint8 b, int sensor);

// The number of slots a buffer holds, from the status word in front of it; std::nullopt when the
// port keeps no buffer, and the grid is then left as it is.
// Modbus port settings word: only a master (bits 15 and 14) keeps one; count in bits 0 to 7.
std::optional<int> modbusSlaveCount(quint16 portWord);
// Auxiliary-port mode word: read in every mode; count in bits 0 to 7 for a 1-wire master (bits 15
// and 14), else in bits 0 to 6.
int onewireSensorCount(quint16 modeWord);

// What tells the three buffers apart: where they are, how many slots count, how a byte reads.
struct ErrorBufferLayout
{
    QString name;        // the port: "UART 1", "1-wire"
    quint16 wordAddress; // the status word in front of the buffer
    quint16 buffer;      // slots 1 to 64, then slots 65 to 128
    std::function<std::optional<int>(quint16 word)> slotCount;
    std::function<ErrorText(quint8 b, int slot)> decode;
};
ErrorBufferLayout modbusErrorBuffer(int port);
ErrorBufferLayout onewireErrorBuffer();

constexpr int MaxErrorSlots = 128;
constexpr int ErrorBlockSlots = 64;

// Header formats of MB_grid and MB_grid2, and of W1_grid.
QString modbusDiagHeader();
QString onewireDiagHeader();

// Shows a read in a diagnostics grid: rows 1 to n hold the slots, and the row after them holds
// only its own number. A read of no slots keeps row 1 as it was and removes the rest.
void showErrorEntries(TextTable &grid, const QList<ErrorEntry> &entries);
