#include "diag/error_buffer_read.h"

#include "common/hex_text.h"
#include "common/prompts.h"
#include "common/text_table.h"
#include "link/config_bracket.h"
#include "link/plc_link.h"

#include <algorithm>

namespace {

constexpr int WordTimeoutMs = 350;
constexpr int BlockTimeoutMs = 550;

} // namespace

ErrorBufferReading fetchErrorBuffer(PlcLink &link, const QString &iniPath, Prompts &prompts,
                                    const ErrorBufferSpec &layout)
{
    ErrorBufferReading reading;
    LinkTransfer transfer(link, iniPath);
    transfer.open();

    // A silent PLC must not read as zeros: that would show every slot as "No error".
    auto timedOut = [&] {
        transfer.close();
        prompts.message(answerMessage(WriteAnswer{WriteAnswer::Kind::NoAnswer}));
        reading.outcome = Outcome::PlcFailed;
        reading.entries.clear();
        return reading;
    };

    const auto wordAnswer =
        link.Read_plc_block(WordTimeoutMs, layout.wordAddress, QStringLiteral("02"));
    if (!wordAnswer)
        return timedOut();
    const std::optional<int> word = layout.slotCount(answerWord(*wordAnswer, 0));
    if (!word)
        return reading;
    reading.inUse = true;
    const int count = std::clamp(*word, 0, MaxErrorSlots); // two blocks are all there is

    const QString blocks[] = {layout.firstBlock, layout.secondBlock};
    for (int block = 0; block * ErrorBlockSlots < count; ++block) {
        const auto answer =
            link.Read_plc_block(BlockTimeoutMs, blocks[block], byteHex(ErrorBlockSlots));
        if (!answer)
            return timedOut();
        const int first = block * ErrorBlockSlots + 1;
        const int last = qMin(count, first + ErrorBlockSlots - 1);
        for (int slot = first; slot <= last; ++slot) {
            const quint8 b = answerByte(*answer, slot - first);
            reading.entries.append({slot, b, layout.decode(b, slot)});
        }
    }
    return reading;
}

Outcome readErrorBuffer(PlcLink &link, const QString &iniPath, Prompts &prompts,
                        const ErrorBufferSpec &layout, TextTable &grid)
{
    const ErrorBufferReading reading = fetchErrorBuffer(link, iniPath, prompts, layout);
    if (reading.outcome == Outcome::Done && reading.inUse)
        showErrorEntries(grid, reading.entries);
    return reading.outcome;
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
