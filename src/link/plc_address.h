#pragma once

#include <QtGlobal>

#include <chrono>

// The PLC's memory as this program uses it: every address named once. Byte addresses; a 16-bit
// word lies low byte first.
namespace Addr {
constexpr quint16 CpuType = 0x0E02;     // CPU type word (connection test)
constexpr quint16 SearchStart = 0x2000; // writing 8001 starts a 1-wire bus search
constexpr quint16 ControlWord = 0x2002; // run-time control word after a Modbus port write
constexpr quint16 Uart2Port = 0x2006;   // port settings words
constexpr quint16 Uart1Port = 0x2008;
constexpr quint16 AuxMode = 0x200A;     // auxiliary-port mode word
constexpr quint16 SensorArea = 0x200C;  // 10 bytes per 1-wire sensor
constexpr quint16 Uart1Slaves = 0x2502; // 8 bytes per slave record
constexpr quint16 Uart2Slaves = 0x2902;
constexpr quint16 Bracket = 0x3000;     // configuration write bracket (written)
constexpr quint16 SearchCount = 0x3000; // sensors found by a bus search (read)
constexpr quint16 SearchRoms = 0x3002;  // their ROM codes, 8 bytes each
constexpr quint16 FirmwareUpdate = 0x3010;
constexpr quint16 Restart = 0x3011;
constexpr quint16 Uart1Errors = 0x3600; // error buffers: two blocks of 64 bytes each
constexpr quint16 Uart2Errors = 0x3680;
constexpr quint16 OneWireErrors = 0x3700;
} // namespace Addr

// The words written to the PLC's control and service addresses, and to the bracket.
namespace PlcWord {
constexpr quint16 BracketOpen = 0xFF0F; // travels as "0FFF"
constexpr quint16 BracketClose = 0x0000;
constexpr quint16 RestartPolling = 0x8000; // control word after a master or slave write: "0080"
constexpr quint16 StopPort = 0x0080;       // control word after a "Not use" write: "8000"
constexpr quint16 StartSearch = 0x8001;    // travels as "0180"
constexpr quint16 Restart = 0x497B;        // travels as "7B49"
constexpr quint16 FirmwareUpdate = 0x2A6D; // travels as "6D2A"
} // namespace PlcWord

// How long the PLC gets to answer each kind of request. The wait is an inactivity limit: every
// arrival starts it again.
namespace Timeout {
using std::chrono::milliseconds;
constexpr milliseconds ConnectionTest{100};  // the enquiry and the CPU type
constexpr milliseconds Word{350};            // port and mode words read, aux upload, bus search
constexpr milliseconds OnewireModeWord{450}; // the mode word written in 1-wire master mode
constexpr milliseconds ErrorBlock{550};      // 64-byte error buffer blocks
constexpr milliseconds Data{650};            // configuration data, control words, Modbus upload
constexpr milliseconds Bracket{1000};        // the bracket and the service words
} // namespace Timeout

// Tables travel in pieces of at most this many bytes; a write of several pieces pauses after
// each, so the PLC has stored one before the next comes.
constexpr int PieceBytes = 64;
constexpr std::chrono::milliseconds PiecePause{100};
// The pause after a Modbus port's control word, and before the updater takes the port.
constexpr std::chrono::milliseconds SettlePause{100};
// What the PLC needs to search its 1-wire bus; it does not answer meanwhile.
constexpr std::chrono::milliseconds BusSearchTime{3500};
