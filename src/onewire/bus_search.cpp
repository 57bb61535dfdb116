#include "onewire/bus_search.h"

#include "common/errors.h"
#include "common/hex_text.h"
#include "common/prompts.h"
#include "common/rows_text.h"
#include "link/plc_address.h"
#include "link/transfer_steps.h"

#include <QHash>

#include <algorithm>
#include <limits>

QCoro::Task<Result<QList<RomTexts>>> searchOnewireBus(PlcLink &link, QString iniPath,
                                                      Prompts &prompts)
{
    LinkTransfer transfer(link, iniPath, QStringLiteral("Search 1-wire"));
    co_await transfer.open();

    // The failure carries its message: the window's status bar names it too.
    const WriteAnswer started = co_await link.Write_plc_block(
        Timeout::Word, WriteCommand::RunTime, Addr::SearchStart, wordBytes(PlcWord::StartSearch));
    if (!started.accepted())
        co_return ended(co_await plcFailed(link, prompts, started.kind));

    // The PLC is still busy with the request: this first answer is not used.
    co_await link.Read_plc_block(Timeout::Word, Addr::SearchCount, 2, PlcLink::Reading::Once);
    co_await link.pause(BusSearchTime);

    const auto count = co_await link.Read_plc_block(Timeout::Word, Addr::SearchCount, 2);
    if (!count)
        co_return ended(co_await plcFailed(link, prompts, count.kind));
    const int found = static_cast<quint8>(count->at(0));
    const auto roms =
        co_await readPieces(link, Addr::SearchRoms, RomCodeBytes * found, Timeout::Word);
    if (!roms)
        co_return ended(co_await plcFailed(link, prompts, roms.kind));

    QList<RomTexts> codes;
    for (int s = 0; s < found; ++s) {
        RomTexts rom;
        for (int b = 0; b < RomCodeBytes; ++b)
            rom[size_t(b)] = byteHex(static_cast<quint8>(roms->at(RomCodeBytes * s + b)));
        codes.append(rom);
    }
    co_return Result(codes);
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

namespace {

// The same code however it was typed: "0a", "0A" and " A" are one byte.
QString romKey(const RomTexts &rom)
{
    QString key;
    for (const QString &b : rom)
        key += b.trimmed().toUpper().rightJustified(2, QLatin1Char('0')) + QLatin1Char('|');
    return key;
}

} // namespace

QString alreadyInTableNote(const QList<SensorRow> &before, const QList<RomTexts> &found)
{
    QHash<QString, int> rowOf;
    for (qsizetype r = before.size() - 1; r >= 0; --r)
        rowOf.insert(romKey(before[r].rom), int(r) + 1);
    QList<int> rows;
    int already = 0;
    for (const RomTexts &rom : found) {
        const auto at = rowOf.constFind(romKey(rom));
        if (at == rowOf.constEnd())
            continue;
        ++already;
        if (!rows.contains(*at))
            rows << *at;
    }
    if (already == 0)
        return {};
    std::sort(rows.begin(), rows.end());
    return QObject::tr("%1 of the %2 found %3 already in %4")
        .arg(already)
        .arg(found.size())
        .arg(already == 1 ? QStringLiteral("was") : QStringLiteral("were"), rowsText(rows));
}
