// Fuzz target: a project's JSON text form. Whatever the text, the import either names its faults
// or builds a sound record whose tables pass the checks of a write, and the record's own text
// form reads back as the same record.
#include "project/project_json.h"
#include "common/errors.h"
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

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));
    ProjectRecord record;
    try {
        record = projectRecordFromJson(text);
    } catch (const InputError &e) {
        if (e.description().isEmpty())
            __builtin_trap();
        return 0;
    }
    if (!projectRecordFault(record.bytes()).isEmpty())
        __builtin_trap();
    ModbusPort uart1(ModbusPortInfo::uart1()), uart2(ModbusPortInfo::uart2());
    AuxPort aux;
    Apply_project_record(record, {uart1, uart2, aux});
    if (Check_grid(uart1.slaves()) || Check_grid(uart2.slaves()) ||
        Check_grid_1w(aux.sensors().sensors()))
        __builtin_trap();
    if (!(projectRecordFromJson(projectJson(record)) == record))
        __builtin_trap();
    return 0;
}
