#include "project/table_csv.h"

#include "common/csv.h"
#include "common/errors.h"
#include "common/untrusted_text.h"
#include "modbus/modbus_port.h"
#include "modbus/slave_table.h"
#include "onewire/aux_encoding.h"
#include "onewire/aux_port.h"
#include "project/project_file.h"

#include <algorithm>

namespace {

TextTable &tableOf(ProjectTable table, const ProjectPorts &ports)
{
    switch (table) {
    case ProjectTable::Uart1:
        return ports.uart1.slaves();
    case ProjectTable::Uart2:
        return ports.uart2.slaves();
    case ProjectTable::Sensors:
        break;
    }
    return ports.aux.sensors();
}

QStringList trimmedTitles(const TextTable &table)
{
    QStringList titles;
    for (const QString &t : table.titles())
        titles << t.trimmed();
    return titles;
}

[[noreturn]] void lineFault(int line, const QString &what)
{
    throw InputError(QStringLiteral("line %1: %2").arg(line).arg(what));
}

// The rows of a CSV text, each with its cells in the table's column order (the number column
// left empty), and the line each starts on.
struct CsvRows
{
    QList<QStringList> rows;
    QList<int> lines;
    // The line of a row counted from 1; a row beyond the last is on the last line.
    int lineOf(int row) const { return lines.value(row - 1, lines.isEmpty() ? 1 : lines.last()); }
};

// No table has near as many columns: the fields of a line beyond these are counted, not kept.
constexpr qsizetype MostFields = 256;

// Reads no further than one row beyond mostRows, which is enough to name the fault of too many.
CsvRows csvRows(const QByteArray &csv, const QStringList &titles, int mostRows)
{
    CsvReader reader(csv);
    auto blank = [](const CsvRecord &r) {
        return r.fieldCount == r.fields.size() &&
               std::all_of(r.fields.begin(), r.fields.end(),
                           [](const QString &f) { return f.trimmed().isEmpty(); });
    };
    CsvRecord header;
    while (header.fieldCount == 0 || blank(header)) {
        if (reader.atEnd()) {
            throw InputError(QStringLiteral("the text is empty: its first line must name the "
                                            "columns (%1)")
                                 .arg(titles.join(QStringLiteral(", "))));
        }
        header = reader.next(MostFields);
    }
    if (header.fieldCount > MostFields) {
        lineFault(header.line,
                  QStringLiteral("%1 columns, at most %2").arg(header.fieldCount).arg(MostFields));
    }
    QList<int> columnOf; // table column of each field, -1 for a column without a title
    for (const QString &field : header.fields) {
        // Spreadsheets often add empty columns at the right.
        if (field.trimmed().isEmpty()) {
            columnOf << -1;
            continue;
        }
        const auto title = std::find_if(titles.begin(), titles.end(), [&](const QString &t) {
            return t.compare(field.trimmed(), Qt::CaseInsensitive) == 0;
        });
        if (title == titles.end()) {
            lineFault(header.line, QStringLiteral("unknown column %1; the columns are %2")
                                       .arg(quotedText(field), titles.join(QStringLiteral(", "))));
        }
        const int column = int(title - titles.begin());
        if (columnOf.contains(column))
            lineFault(header.line, QStringLiteral("the column \"%1\" comes twice").arg(*title));
        columnOf << column;
    }
    // The number column is written anew; every other one must be there.
    for (int c = 1; c < titles.size(); ++c) {
        if (!columnOf.contains(c))
            lineFault(header.line, QStringLiteral("no column \"%1\"").arg(titles[c]));
    }

    CsvRows out;
    while (!reader.atEnd() && out.rows.size() <= mostRows) {
        const CsvRecord record = reader.next(columnOf.size());
        if (blank(record))
            continue;
        if (record.fieldCount != columnOf.size()) {
            lineFault(record.line, QStringLiteral("%1 fields, the header line has %2")
                                       .arg(record.fieldCount)
                                       .arg(columnOf.size()));
        }
        QStringList cells(titles.size());
        for (int i = 0; i < columnOf.size(); ++i) {
            const int column = columnOf[i];
            const QString value = record.fields[i].trimmed();
            if (column < 0 && !value.isEmpty())
                lineFault(
                    record.line,
                    QStringLiteral("%1 stands in a column without a title").arg(quotedText(value)));
            if (column <= 0)
                continue;
            if (value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r'))) {
                lineFault(
                    record.line,
                    QStringLiteral("the \"%1\" field holds a line break").arg(titles[column]));
            }
            cells[column] = value;
        }
        out.rows << cells;
        out.lines << record.line;
    }
    return out;
}

void importSlaves(TextTable &table, const CsvRows &csv)
{
    TextTable checked(slaveTableHeader());
    checked.setItems(csv.rows);
    // Too many rows is the first thing the check finds: named at the first row too many.
    const int countFaultRow = MaxSlaves + 1;
    try {
        if (const auto error = Check_grid(checked)) {
            lineFault(csv.lineOf(csv.rows.size() > MaxSlaves ? countFaultRow : error->row),
                      gridErrorMessage(*error));
        }
    } catch (const GridCellError &e) {
        lineFault(csv.lineOf(e.row()), e.description());
    }
    table.setItems(csv.rows);
    table.renumber(true);
}

void importSensors(SensorTable &table, const CsvRows &csv)
{
    QList<SensorRow> sensors;
    for (const QStringList &cells : csv.rows) {
        SensorRow s;
        for (int k = 0; k < 8; ++k)
            s.rom[size_t(k)] = cells[SensorTable::FirstByteColumn + k];
        s.reg = cells[SensorTable::RegisterColumn];
        sensors << s;
    }
    if (const auto fault = Check_grid_1w(sensors)) {
        const bool tooMany = sensors.size() > SensorTable::MaxSensors;
        lineFault(csv.lineOf(tooMany ? SensorTable::MaxSensors + 1 : fault->row),
                  sensorFaultMessage(*fault));
    }
    table.setSensors(sensors);
}

// Each table's name on the command line and caption, in the order of ProjectTable.
struct TableNames
{
    ProjectTable table;
    const char *name;
    const char *caption;
};
constexpr TableNames Tables[] = {
    {ProjectTable::Uart1, "uart1", "UART 1 slave table"},
    {ProjectTable::Uart2, "uart2", "UART 2 slave table"},
    {ProjectTable::Sensors, "sensors", "1-wire sensor table"},
};

} // namespace

std::optional<ProjectTable> projectTableNamed(const QString &name)
{
    for (const TableNames &t : Tables) {
        if (name == QLatin1String(t.name))
            return t.table;
    }
    return std::nullopt;
}

QString projectTableCaption(ProjectTable table)
{
    for (const TableNames &t : Tables) {
        if (t.table == table)
            return QLatin1String(t.caption);
    }
    return {};
}

bool projectTableFilled(ProjectTable table, const ProjectPorts &ports)
{
    return tableOf(table, ports).itemCount() > 0;
}

QByteArray projectTableCsv(ProjectTable table, const ProjectPorts &ports)
{
    const TextTable &t = tableOf(table, ports);
    QList<QStringList> rows{trimmedTitles(t)};
    for (int r = 0; r < t.itemCount(); ++r)
        rows << t.rowCells(r);
    return writeCsv(rows);
}

void importProjectTableCsv(ProjectTable table, const QByteArray &csv, const ProjectPorts &ports)
{
    TextTable &target = tableOf(table, ports);
    const int mostRows = table == ProjectTable::Sensors ? SensorTable::MaxSensors : MaxSlaves;
    try {
        const CsvRows rows = csvRows(csv, trimmedTitles(target), mostRows);
        if (table == ProjectTable::Sensors)
            importSensors(ports.aux.sensors(), rows);
        else
            importSlaves(target, rows);
    } catch (const InputError &e) {
        qCDebug(plcProjectLog).noquote()
            << "CSV for the" << projectTableCaption(table) << "refused:" << e.description();
        throw;
    }
    qCDebug(plcProjectLog).noquote() << "CSV taken into the" << projectTableCaption(table) << ":"
                                     << target.itemCount() << "rows";
}
