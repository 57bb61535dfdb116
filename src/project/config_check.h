#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class AuxPort;
class ModbusPort;
class ProjectRecord;
struct ProjectPorts;

// The check of a whole configuration, for the mistakes that lie between cells: requests that fill
// the same PLC memory, Modbus limits, duplicates, timeouts shorter than the answer takes on the
// wire, ROM codes whose CRC fails. It only tells; the writes refuse what they refuse by
// themselves.

enum class FindingSeverity { Warning, Note };
enum class FindingPort { Uart1, Uart2, Onewire };

struct Finding
{
    FindingSeverity severity = FindingSeverity::Warning;
    FindingPort port = FindingPort::Uart1;
    int row = 0;     // the slave or sensor, from 1; 0 for the port as a whole
    int column = -1; // the table's column (SlaveColumn, SensorTable::Column); -1 for none
    QString text;
    friend bool operator==(const Finding &, const Finding &) = default;
};

QString severityText(FindingSeverity severity); // "warning", "note"
QString findingPortKey(FindingPort port);       // "uart1", "uart2", "1wire"
QString findingPortName(FindingPort port);      // "UART 1", "UART 2", "1-wire"
QString findingColumnName(const Finding &f);    // "Address master", "Byte 7"; empty for none
QString findingPlace(const Finding &f);         // "UART 1, row 3, Address master"
// warning<TAB>uart1<TAB>row 3<TAB>Address master<TAB>text; "-" for no row or column.
QString findingLine(const Finding &f);
// The findings as a JSON array of objects: severity, port, row and column (null for none), text.
QByteArray findingsJson(const QList<Finding> &findings);
int warningCount(const QList<Finding> &findings);
// "2 warnings", "1 warning", "no warnings".
QString warningCountText(int warnings);

// Only what a write sends is checked: the slave tables of ports in master mode, the sensor table
// when the auxiliary port is a 1-wire master. Findings come port by port, row by row.
QList<Finding> checkConfiguration(const ModbusPort &uart1, const ModbusPort &uart2,
                                  const AuxPort &aux);
QList<Finding> checkConfiguration(const ProjectPorts &ports);
// A project record, through ports as a load would fill them.
QList<Finding> checkConfiguration(const ProjectRecord &record);
