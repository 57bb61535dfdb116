#pragma once

#include "common/result.h"
#include "link/transfer_steps.h"
#include "transfer/port_compare.h"

#include <QList>
#include <QString>

#include <optional>

class AuxPort;
class ModbusPort;
struct AuxPortConfig;
struct ProjectPorts;

// How one port's "Write to PLC" ended, for the status bar and the command line: the write itself
// and, when verify was asked and the write ran to its end, what reading the port back found.
struct PortWriteReport
{
    QString port;
    WriteReport write;
    // Nothing when no read-back ran; otherwise its differences, or how the read failed.
    std::optional<Result<QList<PortDifference>>> verify;
    // The description of a platform failure that ended the command (filled by its boundary).
    QString error;

    // The read-back ran and found the PLC holding what was written.
    bool verified() const { return verify && verify->done() && verify->value().isEmpty(); }
    // The read-back found differences or could not read the port.
    bool verifyFailed() const { return verify && !verified(); }
    QList<PortDifference> differences() const;
};

// How one port's upload ended.
struct PortReadReport
{
    QString port;
    Outcome outcome = Outcome::Done;
    PlcFailure failure;
    QString error; // as in PortWriteReport

    // Takes over how an upload's result ended.
    template <typename T> void endedAs(const Result<T> &result)
    {
        outcome = result.outcome();
        failure = result.failure();
    }
};

// Reads a port as its upload does, into a model of its own (never the caller's), and compares it
// with ours. The upload's messages and progress are shown as the upload shows them.
QCoro::Task<Result<QList<PortDifference>>>
readAndCompareModbusPort(PlcLink &link, QString iniPath, Prompts &prompts, const ModbusPort &ours);
QCoro::Task<Result<QList<PortDifference>>>
readAndCompareAuxPort(PlcLink &link, QString iniPath, Prompts &prompts, const AuxPortConfig &ours,
                      FieldNetLine fieldNet = FieldNetLine::Compared);

// "Write to PLC" of a port, followed when verify is asked and the write ran to its end by reading
// the port back and comparing. The write's frames are exactly those without verify. The report
// (its port named already) is filled as the write goes. Port: a ModbusPort or an AuxPortConfig.
template <typename Port>
QCoro::Task<> writePortVerified(PlcLink &link, QString iniPath, Prompts &prompts, const Port &port,
                                bool verify, PortWriteReport &report,
                                Confirmation confirmation = Confirmation::Ask);

// The ports of a project, in the order they are written.
enum class ProjectPort { Uart1, Uart2, Aux };

// How writing a whole project ended: Invalid or Cancelled before anything was sent, otherwise the
// outcome of the last port written; one report for each port written.
struct ProjectWriteReport
{
    Outcome outcome = Outcome::Done;
    QList<PortWriteReport> ports;
    // Every verify's differences, in port order.
    QList<PortDifference> differences() const;
    bool verifyFailed() const;
};

// "Load to PLC" and the command line's `write`: checks every chosen port first (a fault anywhere
// shows its message and sends nothing), asks once "You are shure for download configuration to
// the PLC ? ", then writes the chosen ports in project order, each with verify when asked. A port
// that does not run to its end stops the rest. The report is filled as the writes go.
QCoro::Task<> writeProject(PlcLink &link, QString iniPath, Prompts &prompts,
                           const ProjectPorts &ports, QList<ProjectPort> chosen, bool verify,
                           ProjectWriteReport &report);

// "Compare with PLC": reads the three ports into memory and compares each with ours. A port that
// cannot be read ends it (its message shown).
QCoro::Task<Result<QList<PortDifference>>>
compareWithPlc(PlcLink &link, QString iniPath, Prompts &prompts, const ProjectPorts &ours,
               FieldNetLine fieldNet = FieldNetLine::Compared);
