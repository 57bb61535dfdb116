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

QCoro::Task<Result<QList<PortDifference>>>
readAndCompareModbusPort(PlcLink &link, QString iniPath, Prompts &prompts, const ModbusPort &ours)
{
    const auto uploaded = co_await uploadModbusPort(link, iniPath, prompts, ours.info());
    if (!uploaded)
        co_return Result<QList<PortDifference>>::endedAs(uploaded);
    ModbusPort held(ours.info());
    applyUploadedPort(held, *uploaded);
    co_return Result(compareModbusPort(ours, held));
}

QCoro::Task<Result<QList<PortDifference>>> readAndCompareAuxPort(PlcLink &link, QString iniPath,
                                                                 Prompts &prompts,
                                                                 const AuxPortConfig &ours,
                                                                 FieldNetLine fieldNet)
{
    const auto uploaded = co_await uploadAuxPort(link, iniPath, prompts);
    if (!uploaded)
        co_return Result<QList<PortDifference>>::endedAs(uploaded);
    AuxPort held;
    applyUploadedAux(held, *uploaded);
    co_return Result(compareAuxPort(ours, held.config(), fieldNet));
}

template <typename Port>
QCoro::Task<> writePortVerified(PlcLink &link, QString iniPath, Prompts &prompts, const Port &port,
                                bool verify, PortWriteReport &report, Confirmation confirmation)
{
    constexpr bool modbus = std::is_same_v<Port, ModbusPort>;
    if constexpr (modbus)
        co_await writeModbusPort(link, iniPath, prompts, port, report.write, confirmation);
    else
        co_await writeAuxPort(link, iniPath, prompts, port, report.write, confirmation);
    if (!verify || report.write.outcome != Outcome::Done)
        co_return;
    // Marked as begun first: a failure thrown while reading back ends a write that went through.
    report.verify = ended(Outcome::Cancelled);
    if constexpr (modbus)
        report.verify = co_await readAndCompareModbusPort(link, iniPath, prompts, port);
    else
        report.verify = co_await readAndCompareAuxPort(link, iniPath, prompts, port);
}
template QCoro::Task<> writePortVerified(PlcLink &, QString, Prompts &, const ModbusPort &, bool,
                                         PortWriteReport &, Confirmation);
template QCoro::Task<> writePortVerified(PlcLink &, QString, Prompts &, const AuxPortConfig &, bool,
                                         PortWriteReport &, Confirmation);

QCoro::Task<> writeProject(PlcLink &link, QString iniPath, Prompts &prompts,
                           const ProjectPorts &ports, QList<ProjectPort> chosen, bool verify,
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
            co_return;
    }
    if (!prompts.question(downloadQuestion(), QString())) {
        report.outcome = Outcome::Cancelled;
        co_return;
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
            co_await writePortVerified(link, iniPath, prompts, modbus, verify, port, given);
            break;
        }
        case ProjectPort::Aux:
            port.port = auxPortName();
            co_await writePortVerified(link, iniPath, prompts, aux, verify, port, given);
            break;
        }
        report.outcome = port.write.outcome;
        if (report.outcome != Outcome::Done)
            co_return;
    }
}

QCoro::Task<Result<QList<PortDifference>>> compareWithPlc(PlcLink &link, QString iniPath,
                                                          Prompts &prompts,
                                                          const ProjectPorts &ours,
                                                          FieldNetLine fieldNet)
{
    QList<PortDifference> all;
    for (const ModbusPort *port : {&ours.uart1, &ours.uart2}) {
        const auto found = co_await readAndCompareModbusPort(link, iniPath, prompts, *port);
        if (!found)
            co_return found;
        all += *found;
    }
    const auto found =
        co_await readAndCompareAuxPort(link, iniPath, prompts, ours.aux.config(), fieldNet);
    if (!found)
        co_return found;
    co_return Result(all + *found);
}
