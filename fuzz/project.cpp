// Fuzz target: reading a project record. Whatever a file holds, a record that passes the checks
// is applied to the ports and saved back without a failure, and applying what was saved gives
// the same record again.
#include "modbus/modbus_port.h"
#include "onewire/aux_port.h"
#include "project/project_file.h"
#include "project/project_record.h"

#include <QCoreApplication>

#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

namespace {
ProjectRecord savedAgain(const ProjectRecord &record)
{
    ModbusPort uart1(ModbusPortInfo::uart1()), uart2(ModbusPortInfo::uart2());
    AuxPort aux;
    const ProjectPorts ports{uart1, uart2, aux};
    Apply_project_record(record, ports);
    ProjectRecord saved = record;
    Fill_project_record(saved, ports);
    return saved;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // A file's first 15040 bytes are its record; shorter files are refused by the same check.
    const QByteArray bytes(reinterpret_cast<const char *>(data),
                           qsizetype(std::min<std::size_t>(size, ProjectRecord::Size)));
    if (!projectRecordFault(bytes).isEmpty())
        return 0;
    const ProjectRecord once = savedAgain(ProjectRecord::fromBytes(bytes));
    if (!projectRecordFault(once.bytes()).isEmpty() || !(savedAgain(once) == once))
        __builtin_trap();
    return 0;
}
