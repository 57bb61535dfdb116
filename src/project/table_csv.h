#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

struct ProjectPorts;

// The tables of a project as CSV, for spreadsheets: the header line holds the table's column
// titles, each line below one slave or sensor.
enum class ProjectTable { Uart1, Uart2, Sensors };

// "uart1", "uart2", "sensors" as the command line names them.
std::optional<ProjectTable> projectTableNamed(const QString &name);
// "UART 1 slave table", ...
QString projectTableCaption(ProjectTable table);
// Whether the table holds any row.
bool projectTableFilled(ProjectTable table, const ProjectPorts &ports);

// The table as CSV text: the titles, then the cells of each row as the grid shows them.
QByteArray projectTableCsv(ProjectTable table, const ProjectPorts &ports);

// Replaces the table with the rows of a CSV text, once the whole text has passed: comma or
// semicolon separated, the columns found by their titles (in any order, either case; the number
// column may be left out and is written anew), blank lines skipped, and the rows passing the
// table's own check before a write (Check_grid, Check_grid_1w: its codes and texts). InputError
// naming the line at fault otherwise, and the table is left as it was.
void importProjectTableCsv(ProjectTable table, const QByteArray &csv, const ProjectPorts &ports);
