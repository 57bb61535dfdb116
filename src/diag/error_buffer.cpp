#include "diag/error_buffer.h"

#include "common/text_table.h"
#include "link/plc_address.h"

#include <array>

namespace {

bool isMaster(quint16 word)
{
    return (word & 0xC000) == 0xC000;
}

// The master's count field is 8 bits wide so that a full table of 128 reads back as 128.
int eightBitCount(quint16 word)
{
    return qMin(word & 0xFF, MaxErrorSlots);
}

} // namespace

ErrorText Decode_error_byte(quint8 b, int slot, int port)
{
    // Codes 9 and 19 and up have no text: their cell stays as it was.
    static const std::array<const char *, 19> descriptions = {
        "",
        "illegal register address ",
        " illegal argument ",
        " receive data error ",
        " timeout error occurred  ",
        "master is busy now ",
        "execute function error ",
        "MBErr 8",
        "MBErr 9",
        nullptr,
        "MBErr 10",
        "MBErr 11",
        "MBErr 12",
        "MBErr 13",
        "MBErr 13",
        "MBErr 14",
        "MBErr 15",
        "MBErr 16",
        "MBErr 17",
    };

    ErrorText text;
    if (b == 0)
        text.type = QStringLiteral("No error");
    else if (b == 0x80)
        text.type = port == 2 && slot > ErrorBlockSlots ? QStringLiteral("Old error")
                                                        : QStringLiteral("Inactive error");
    else
        text.type = QStringLiteral("Active error");

    const int code = b & 0x7F;
    if (code < static_cast<int>(descriptions.size()) && descriptions[code])
        text.description = QString::fromLatin1(descriptions[code]);
    return text;
}

ErrorText Decode_onewire_error_byte(quint8 b, int sensor)
{
    ErrorText text;
    text.type = (b & 0x80) ? QStringLiteral("Active error") : QStringLiteral("No error");

    const QString number = QString::number(b & 0x1F);
    switch (b & 0xE0) {
    case 0x00:
        text.description = QString();
        break;
    case 0xA0:
        text.description = QStringLiteral("General error number :") + number;
        break;
    case 0xC0:
        text.description = QStringLiteral("Timeout error number :") + number;
        break;
    case 0xE0:
        text.description = (sensor > ErrorBlockSlots ? QStringLiteral("No any device error :")
                                                     : QStringLiteral("No device found error :")) +
                           number;
        break;
    default: // 20, 40, 60, 80
        text.description = QStringLiteral("Number of error :") + number;
        break;
    }
    return text;
}

std::optional<int> modbusSlaveCount(quint16 portWord)
{
    if (!isMaster(portWord))
        return std::nullopt;
    return eightBitCount(portWord);
}

int onewireSensorCount(quint16 modeWord)
{
    // In the other modes bit 7 belongs to the Field Net speed, not to a count.
    return isMaster(modeWord) ? eightBitCount(modeWord) : (modeWord & 0x7F);
}

ErrorBufferLayout modbusErrorBuffer(int port)
{
    ErrorBufferLayout layout;
    const bool second = port == 2;
    layout.name = second ? QStringLiteral("UART 2") : QStringLiteral("UART 1");
    layout.wordAddress = second ? Addr::Uart2Port : Addr::Uart1Port;
    layout.buffer = second ? Addr::Uart2Errors : Addr::Uart1Errors;
    layout.slotCount = modbusSlaveCount;
    layout.decode = [port](quint8 b, int slot) { return Decode_error_byte(b, slot, port); };
    return layout;
}

ErrorBufferLayout onewireErrorBuffer()
{
    ErrorBufferLayout layout;
    layout.name = QStringLiteral("1-wire");
    layout.wordAddress = Addr::AuxMode;
    layout.buffer = Addr::OneWireErrors;
    layout.slotCount = [](quint16 word) { return std::optional<int>(onewireSensorCount(word)); };
    layout.decode = Decode_onewire_error_byte;
    return layout;
}

QString modbusDiagHeader()
{
    return QStringLiteral("Slot  |  Errors  type   |   Short descriptions of error    ");
}

QString onewireDiagHeader()
{
    return QStringLiteral("Num |  Errors  type   |   Short descriptions of error ");
}

void showErrorEntries(TextTable &grid, const QList<ErrorEntry> &entries)
{
    grid.setCentred(true);
    if (entries.isEmpty()) {
        const QStringList rowOne = grid.rowCells(0);
        grid.setItems({});
        for (int column = 0; column < grid.columns(); ++column)
            grid.setCell(0, column, rowOne.value(column));
        return;
    }
    // Every slot row is written whole: a code without a text shows an empty description rather
    // than whatever an earlier read left in that row.
    QList<QStringList> rows;
    rows.reserve(entries.size());
    for (const ErrorEntry &entry : entries) {
        rows.append({QString::number(entry.slot), entry.text.type,
                     entry.text.description.value_or(QString())});
    }
    grid.setItems(rows);
    grid.setCell(grid.itemCount(), 0, QString::number(grid.itemCount() + 1));
}
