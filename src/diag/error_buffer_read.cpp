#include "diag/error_buffer_read.h"

#include "common/hex_text.h"
#include "link/plc_address.h"
#include "link/transfer_steps.h"

#include <algorithm>

Result<ErrorBufferReading> fetchErrorBuffer(PlcLink &link, const QString &iniPath, Prompts &prompts,
                                            const ErrorBufferLayout &layout)
{
    LinkTransfer transfer(link, iniPath, QStringLiteral("Read error buffer, ") + layout.name);
    transfer.open();

    // A silent PLC must not read as zeros: that would show every slot as "No error".
    const auto word = readStatusWord(link, layout.wordAddress);
    if (!word)
        return ended(plcFailed(link, prompts, word.kind));
    const std::optional<int> inBuffer = layout.slotCount(*word);
    ErrorBufferReading reading;
    if (!inBuffer)
        return Result(reading);
    reading.inUse = true;
    // The buffer is read in whole blocks of 64 slots; two blocks are all there is.
    const int count = std::clamp(*inBuffer, 0, MaxErrorSlots);
    const int blocks = (count + ErrorBlockSlots - 1) / ErrorBlockSlots;
    const auto bytes =
        readPieces(link, layout.buffer, blocks * ErrorBlockSlots, Timeout::ErrorBlock);
    if (!bytes)
        return ended(plcFailed(link, prompts, bytes.kind));
    for (int slot = 1; slot <= count; ++slot) {
        const auto b = static_cast<quint8>(bytes->at(slot - 1));
        reading.entries.append({slot, b, layout.decode(b, slot)});
    }
    return Result(reading);
}

Outcome readErrorBuffer(PlcLink &link, const QString &iniPath, Prompts &prompts,
                        const ErrorBufferLayout &layout, TextTable &grid)
{
    const auto reading = fetchErrorBuffer(link, iniPath, prompts, layout);
    if (reading && reading->inUse)
        showErrorEntries(grid, reading->entries);
    return reading.outcome();
}

Outcome Read_modbus_buffer(PlcLink &link, const QString &iniPath, Prompts &prompts, int port,
                           TextTable &grid)
{
    return readErrorBuffer(link, iniPath, prompts, modbusErrorBuffer(port), grid);
}

Outcome Read_onewire_buffer(PlcLink &link, const QString &iniPath, Prompts &prompts,
                            TextTable &grid)
{
    return readErrorBuffer(link, iniPath, prompts, onewireErrorBuffer(), grid);
}
