#include "transfer/plc_verify.h"

#include "common/prompts.h"
#include "modbus/modbus_port.h"
#include "modbus/modbus_upload.h"
#include "modbus/modbus_write.h"
#include "onewire/aux_port.h"
#include "onewire/aux_transfer.h"
#include "project/project_file.h"

#include <algorithm>
#include <type_traits>

QList<PortDifference> PortWriteReport::differences() const
{
    return verify && verify->done() ? verify->value() : QList<PortDifference>();
}

QList<PortDifference> ProjectWriteReport::differences() const
{
    QList<PortDifference> all;
    for (const PortWriteReport &port : ports)
        all += port.differences();
    return all;
}

bool ProjectWriteReport::verifyFailed() const
{
    return std::any_of(ports.cbegin(), ports.cend(),
                       [](const PortWriteReport &port) { return port.verifyFailed(); });
}

Result<QList<PortDifference>> readAndCompareModbusPort(PlcLink &link, const QString &iniPath,
                                                       Prompts &prompts, const ModbusPort &ours)
{
    const auto uploaded = uploadModbusPort(link, iniPath, prompts, ours.info());
    if (!uploaded)
        return Result<QList<PortDifference>>::endedAs(uploaded);
    ModbusPort held(ours.info());
    applyUploadedPort(held, *uploaded);
    return Result(compareModbusPort(ours, held));
}

Result<QList<PortDifference>> readAndCompareAuxPort(PlcLink &link, const QString &iniPath,
                                                    Prompts &prompts, const AuxPortConfig &ours,
                                                    FieldNetLine fieldNet)
{
    const auto uploaded = uploadAuxPort(link, iniPath, prompts);
    if (!uploaded)
        return Result<QList<PortDifference>>::endedAs(uploaded);
    AuxPort held;
    applyUploadedAux(held, *uploaded);
    return Result(compareAuxPort(ours, held.config(), fieldNet));
}

template <typename Port>
void writePortVerified(PlcLink &link, const QString &iniPath, Prompts &prompts, const Port &port,
                       bool verify, PortWriteReport &report, Confirmation confirmation)
{
    constexpr bool modbus = std::is_same_v<Port, ModbusPort>;
    if constexpr (modbus)
        writeModbusPort(link, iniPath, prompts, port, report.write, confirmation);
    else
        writeAuxPort(link, iniPath, prompts, port, report.write, confirmation);
    if (!verify || report.write.outcome != Outcome::Done)
        return;
    // Marked as begun first: a failure thrown while reading back ends a write that went through.
    report.verify = ended(Outcome::Cancelled);
    if constexpr (modbus)
        report.verify = readAndCompareModbusPort(link, iniPath, prompts, port);
    else
        report.verify = readAndCompareAuxPort(link, iniPath, prompts, port);
}
template void writePortVerified(PlcLink &, const QString &, Prompts &, const ModbusPort &, bool,
                                PortWriteReport &, Confirmation);
template void writePortVerified(PlcLink &, const QString &, Prompts &, const AuxPortConfig &, bool,
                                PortWriteReport &, Confirmation);

void writeProject(PlcLink &link, const QString &iniPath, Prompts &prompts,
                  const ProjectPorts &ports, const QList<ProjectPort> &chosen, bool verify,
                  ProjectWriteReport &report)
{
    const AuxPortConfig aux = ports.aux.config();
    auto check = [&](ProjectPort p) {
        switch (p) {
        case ProjectPort::Uart1:
            return checkModbusPort(ports.uart1, prompts);
        case ProjectPort::Uart2:
            return checkModbusPort(ports.uart2, prompts);
        case ProjectPort::Aux:
            break;
        }
        return checkAuxPort(aux, prompts);
    };

    report = {};
    // A fault anywhere sends nothing at all, so the PLC is never left with some ports written.
    for (const ProjectPort p : chosen) {
        report.outcome = check(p);
        if (report.outcome != Outcome::Done)
            return;
    }
    if (!prompts.question(downloadQuestion(), QString())) {
        report.outcome = Outcome::Cancelled;
        return;
    }
    const auto given = Confirmation::Given;
    for (const ProjectPort p : chosen) {
        report.ports.append(PortWriteReport());
        PortWriteReport &port = report.ports.last();
        switch (p) {
        case ProjectPort::Uart1:
        case ProjectPort::Uart2: {
            const ModbusPort &modbus = p == ProjectPort::Uart1 ? ports.uart1 : ports.uart2;
            port.port = modbus.info().name;
            writePortVerified(link, iniPath, prompts, modbus, verify, port, given);
            break;
        }
        case ProjectPort::Aux:
            port.port = auxPortName();
            writePortVerified(link, iniPath, prompts, aux, verify, port, given);
            break;
        }
        report.outcome = port.write.outcome;
        if (report.outcome != Outcome::Done)
            return;
    }
}

Result<QList<PortDifference>> compareWithPlc(PlcLink &link, const QString &iniPath,
                                             Prompts &prompts, const ProjectPorts &ours,
                                             FieldNetLine fieldNet)
{
    QList<PortDifference> all;
    for (const ModbusPort *port : {&ours.uart1, &ours.uart2}) {
        const auto found = readAndCompareModbusPort(link, iniPath, prompts, *port);
        if (!found)
            return found;
        all += *found;
    }
    const auto found = readAndCompareAuxPort(link, iniPath, prompts, ours.aux.config(), fieldNet);
    if (!found)
        return found;
    return Result(all + *found);
}
