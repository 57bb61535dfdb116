#include "diag/error_buffer_read.h"

#include "common/hex_text.h"
#include "link/plc_address.h"
#include "link/transfer_steps.h"

#include <algorithm>

QCoro::Task<Result<ErrorBufferReading>> fetchErrorBuffer(PlcLink &link, QString iniPath,
                                                         Prompts &prompts, ErrorBufferLayout layout)
{
    LinkTransfer transfer(link, iniPath, QStringLiteral("Read error buffer, ") + layout.name);
    co_await transfer.open();

    // A silent PLC must not read as zeros: that would show every slot as "No error".
    const auto word = co_await readStatusWord(link, layout.wordAddress);
    if (!word)
        co_return ended(co_await plcFailed(link, prompts, word.kind));
    const std::optional<int> inBuffer = layout.slotCount(*word);
    ErrorBufferReading reading;
    if (!inBuffer)
        co_return Result(reading);
    reading.inUse = true;
    // The buffer is read in whole blocks of 64 slots; two blocks are all there is.
    const int count = std::clamp(*inBuffer, 0, MaxErrorSlots);
    const int blocks = (count + ErrorBlockSlots - 1) / ErrorBlockSlots;
    const auto bytes =
        co_await readPieces(link, layout.buffer, blocks * ErrorBlockSlots, Timeout::ErrorBlock);
    if (!bytes)
        co_return ended(co_await plcFailed(link, prompts, bytes.kind));
    for (int slot = 1; slot <= count; ++slot) {
        const auto b = static_cast<quint8>(bytes->at(slot - 1));
        reading.entries.append({slot, b, layout.decode(b, slot)});
    }
    co_return Result(reading);
}

QCoro::Task<Outcome> readErrorBuffer(PlcLink &link, QString iniPath, Prompts &prompts,
                                     ErrorBufferLayout layout, TextTable &grid)
{
    const auto reading = co_await fetchErrorBuffer(link, iniPath, prompts, std::move(layout));
    if (reading && reading->inUse)
        showErrorEntries(grid, reading->entries);
    co_return reading.outcome();
}

QCoro::Task<Outcome> Read_modbus_buffer(PlcLink &link, QString iniPath, Prompts &prompts, int port,
                                        TextTable &grid)
{
    return readErrorBuffer(link, std::move(iniPath), prompts, modbusErrorBuffer(port), grid);
}

QCoro::Task<Outcome> Read_onewire_buffer(PlcLink &link, QString iniPath, Prompts &prompts,
                                         TextTable &grid)
{
    return readErrorBuffer(link, std::move(iniPath), prompts, onewireErrorBuffer(), grid);
}
