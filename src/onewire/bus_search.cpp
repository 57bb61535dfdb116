#include "onewire/bus_search.h"

#include "common/errors.h"
#include "common/hex_text.h"
#include "common/prompts.h"
#include "link/config_bracket.h"
#include "link/plc_link.h"

#include <algorithm>
#include <limits>

namespace {

constexpr quint16 StartAddress = 0x2000;
constexpr quint16 CountAddress = 0x3000;
constexpr quint16 RomAddress = 0x3002;
constexpr int SensorsPerRead = 8;
constexpr int Timeout = 350;
// What the PLC needs to search its bus; it does not answer meanwhile.
constexpr int SearchMs = 3500;

} // namespace

Outcome searchOnewireBus(PlcLink &link, const QString &iniPath, Prompts &prompts,
                         QList<RomTexts> &found)
{
    found.clear();
    LinkTransfer transfer(link, iniPath);
    transfer.open();

    if (!configWrite(link, prompts, Timeout, QStringLiteral("E10"), wordHex(StartAddress),
                     QStringLiteral("02"), QStringLiteral("0180")))
        return Outcome::PlcFailed;

    link.Read_plc_block(Timeout, wordHex(CountAddress), QStringLiteral("02"));
    link.pause(SearchMs);

    auto timedOut = [&] {
        transfer.close();
        prompts.message(QStringLiteral("Answer timeout from PLC"));
        return Outcome::PlcFailed;
    };
    const auto countAnswer =
        link.Read_plc_block(Timeout, wordHex(CountAddress), QStringLiteral("02"));
    if (!countAnswer)
        return timedOut();
    const int count = answerByte(*countAnswer, 0);

    QList<RomTexts> roms;
    for (int first = 0; first < count; first += SensorsPerRead) {
        const int sensors = std::min(SensorsPerRead, count - first);
        const auto answer =
            link.Read_plc_block(Timeout, wordHex(static_cast<quint16>(RomAddress + 8 * first)),
                                byteHex(static_cast<quint8>(8 * sensors)));
        if (!answer)
            return timedOut();
        const QString data = QString::fromLatin1(answer->mid(1, 16 * sensors));
        for (int s = 0; s < sensors; ++s) {
            RomTexts rom;
            for (int b = 0; b < 8; ++b)
                rom[size_t(b)] = data.mid(16 * s + 2 * b, 2);
            roms.append(rom);
        }
    }
    found = roms;
    return Outcome::Done;
}

namespace {

const QString RangeText = QStringLiteral("a whole decimal number from -32768 to 32767");

} // namespace

void importFoundSensors(SensorTable &table, const QList<RomTexts> &found, SensorImport how,
                        const QString &startAddress)
{
    if (!found.isEmpty()) {
        int first = 0;
        if (how == SensorImport::Append && table.sensorCount() > 0) {
            const QString last = table.cell(table.sensorCount() - 1, SensorTable::RegisterColumn);
            const auto reg = registerNumber(last);
            if (!reg) {
                throw InputError(QStringLiteral("The register \"%1\" of the last sensor in the "
                                                "table is not %2.")
                                     .arg(last, RangeText));
            }
            first = *reg + 2;
        } else {
            const auto reg = registerNumber(startAddress);
            if (!reg) {
                throw InputError(QStringLiteral("The start address \"%1\" is not %2.")
                                     .arg(startAddress, RangeText));
            }
            first = *reg;
        }
        const qint64 lastNeeded = qint64(first) + 2 * (qint64(found.size()) - 1);
        if (lastNeeded > std::numeric_limits<qint16>::max()) {
            throw InputError(QStringLiteral("Numbering %1 sensors from %2 in steps of 2 goes "
                                            "past the last register, 32767.")
                                 .arg(found.size())
                                 .arg(first));
        }

        if (how == SensorImport::Replace)
            table.clear();
        int reg = first;
        for (const RomTexts &rom : found) {
            table.addSensor({rom, QString::number(reg)});
            reg += 2;
        }
    }
    table.renumber();
}
