// Fuzz target: the CSV reader and the tables read from it. The first byte picks the table. Text
// that reads is written and read back to the same fields; an import either names its fault (with
// nothing in it that could steer a terminal) and leaves the table empty, or fills it with rows that
// pass the table's check and travel through CSV unchanged.
#include "project/table_csv.h"
#include "common/csv.h"
#include "common/errors.h"
#include "common/untrusted_text.h"
#include "modbus/modbus_port.h"
#include "modbus/slave_table.h"
#include "onewire/aux_encoding.h"
#include "onewire/aux_port.h"
#include "project/project_file.h"

#include <QCoreApplication>

#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

namespace {
struct Ports
{
    ModbusPort uart1{ModbusPortInfo::uart1()};
    ModbusPort uart2{ModbusPortInfo::uart2()};
    AuxPort aux;
    ProjectPorts ports() { return {uart1, uart2, aux}; }
    QList<QStringList> items() const
    {
        return uart1.slaves().items() + uart2.slaves().items() + aux.sensors().items();
    }
};

QList<QStringList> fieldsOf(const QList<CsvRecord> &records)
{
    QList<QStringList> fields;
    for (const CsvRecord &r : records)
        fields << r.fields;
    return fields;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const auto table = ProjectTable(data[0] % 3);
    const QByteArray csv(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    try {
        const QList<QStringList> fields = fieldsOf(readCsv(csv));
        if (fieldsOf(readCsv(writeCsv(fields))) != fields)
            __builtin_trap();
    } catch (const InputError &) {
    }

    Ports p;
    try {
        importProjectTableCsv(table, csv, p.ports());
    } catch (const InputError &e) {
        if (!p.items().isEmpty() || escapedText(e.description(), true) != e.description())
            __builtin_trap();
        return 0;
    }
    if (Check_grid(p.uart1.slaves()) || Check_grid(p.uart2.slaves()) ||
        Check_grid_1w(p.aux.sensors().sensors()))
        __builtin_trap();
    Ports again;
    importProjectTableCsv(table, projectTableCsv(table, p.ports()), again.ports());
    if (again.items() != p.items())
        __builtin_trap();
    return 0;
}
