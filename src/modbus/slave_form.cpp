#include "modbus/slave_form.h"

#include "common/hex_text.h"
#include "modbus/modbus_port.h"
#include "modbus/slave_table.h"

#include <limits>
#include <optional>

namespace {

SlaveForm defaults(const QString &address)
{
    SlaveForm form;
    form.address = address;
    form.function = SlaveFunction::ReadHoldingRegister;
    form.numWord = QStringLiteral("100");
    form.addressMaster = QStringLiteral("0");
    form.timeout = QStringLiteral("100");
    form.addressSlave = QStringLiteral("0");
    return form;
}

const QString FreshAddAddress = QStringLiteral("3");
const QString FreshModifyAddress = QStringLiteral("2");

// Reads cells of one grid row as whole numbers and remembers the first that does not convert.
class RowReader
{
public:
    RowReader(const TextTable &table, int row) : m_table(table), m_row(row) {}

    qint64 whole(int column, qint64 low = std::numeric_limits<qint64>::min(),
                 qint64 high = std::numeric_limits<qint64>::max())
    {
        const QString typed = text(column);
        const auto value = roundHalfEven(typed);
        if (value && *value >= low && *value <= high)
            return *value;
        if (m_unreadable.isEmpty()) {
            const QString title =
                TextTable::splitHeader(slaveTableHeader()).value(column).trimmed();
            m_unreadable = QStringLiteral("Row %1, column [%2] holds \"%3\", which the dialog "
                                          "cannot show; it starts with the defaults instead.")
                               .arg(m_row)
                               .arg(title, typed);
        }
        return 0;
    }
    QString text(int column) const { return m_table.cell(m_row - 1, column); }
    const QString &unreadable() const { return m_unreadable; }

private:
    const TextTable &m_table;
    int m_row;
    QString m_unreadable;
};

} // namespace

SlaveFormStart startSlaveForm(SlaveFormMode mode, const TextTable &table, int selectedRow)
{
    const int slaves = table.itemCount();
    const bool adding = mode == SlaveFormMode::Add;
    SlaveFormStart start;

    // Nothing selected yet, or no slave to copy from: the defaults, for what becomes slave 1.
    if (selectedRow == 0 || slaves == 0) {
        start.form = defaults(adding ? FreshAddAddress : FreshModifyAddress);
        start.form.slaveNumber = QStringLiteral("1");
        start.selectedRow = selectedRow == 0 || !adding ? 1 : selectedRow;
        return start;
    }

    // Adding copies the last slave; modifying the selected one, or the last one when the
    // placeholder (or a row no longer there) is selected.
    const int row = adding || selectedRow > slaves ? slaves : selectedRow;
    start.selectedRow = adding ? selectedRow : row;
    RowReader cells(table, row);
    SlaveForm form;
    form.slaveNumber = QString::number(row);
    form.address = QString::number(cells.whole(SlaveColumn::Address));
    form.function = static_cast<int>(
        cells.whole(SlaveColumn::Function, 0, static_cast<int>(PortLists::functions().size()) - 1));
    form.numWord = cells.text(SlaveColumn::NumWord);
    form.timeout = cells.text(SlaveColumn::Timeout);
    if (adding) {
        // The request that follows the last one, in both address spaces.
        const qint64 count = cells.whole(SlaveColumn::NumWord);
        form.addressMaster = QString::number(cells.whole(SlaveColumn::AddressMaster) + count);
        form.addressSlave = QString::number(cells.whole(SlaveColumn::AddressSlave) + count);
    } else {
        form.addressMaster = QString::number(cells.whole(SlaveColumn::AddressMaster));
        form.addressSlave = QString::number(cells.whole(SlaveColumn::AddressSlave));
    }
    if (!cells.unreadable().isEmpty()) {
        form = defaults(FreshAddAddress);
        form.slaveNumber = QString::number(row);
        start.unreadable = cells.unreadable();
    }
    start.form = form;
    return start;
}

SlaveFormCheck checkSlaveForm(const SlaveForm &form)
{
    SlaveFormCheck check;
    auto wrong = [&](const QString &typed) {
        check.wrongValue = QStringLiteral("You put wrong value  ") + typed;
        return check;
    };
    // The fields in the order they are checked: whole numbers with halves to even, above their
    // low (or from it, when lowIncluded) and below their high.
    const struct
    {
        const QString &text;
        qint64 low;
        bool lowIncluded;
        qint64 high;
    } fields[] = {{form.address, 0, false, 255},
                  {form.addressSlave, 0, true, 65535},
                  {form.numWord, 0, false, 255},
                  {form.addressMaster, 0, true, 65535}};
    qint64 value[4] = {};
    for (int i = 0; i < 4; ++i) {
        const auto &f = fields[i];
        const auto v = roundHalfEven(f.text);
        if (!v || !(f.lowIncluded ? *v >= f.low : *v > f.low) || *v >= f.high)
            return wrong(f.text);
        value[i] = *v;
    }
    // The timeout is taken as it stands, fractions included.
    const auto timeout = parseDecimal(form.timeout);
    if (!timeout || !(*timeout > 0 && *timeout < 65535))
        return wrong(form.timeout);

    check.cells = {QString::number(value[0]),      QString::number(value[2]),
                   QString::number(value[1]),      QString::number(value[3]),
                   QString::number(form.function), QString::number(*timeout, 'g', 12)};
    return check;
}

int Update_grid(TextTable &table, SlaveFormMode mode, int selectedRow, const QStringList &cells)
{
    if (mode == SlaveFormMode::Add || selectedRow < 1 || selectedRow > table.itemCount()) {
        const int row = table.appendItem(QStringList{QStringLiteral("1")} + cells);
        table.renumber(true);
        return row + 1;
    }
    for (int c = 0; c < cells.size() && c < SlaveColumn::Count - 1; ++c)
        table.setCell(selectedRow - 1, SlaveColumn::Address + c, cells[c]);
    return selectedRow;
}

bool deleteSlaveRow(TextTable &table, int selectedRow)
{
    if (!table.removeItem(selectedRow - 1))
        return false;
    table.renumber(true);
    return true;
}
