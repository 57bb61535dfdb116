#pragma once

#include <QLoggingCategory>
#include <QStringList>

#include <QCoroTask>

// Each command with its arguments and ports, and its exit status:
// QT_LOGGING_RULES="plc.cli.debug=true".
Q_DECLARE_LOGGING_CATEGORY(plcCliLog)

// The command line: the transfers of the window without it. Exit status 0 done; 1 the PLC
// refused or did not answer, or the port failed; 2 bad input (usage, a validation message, an
// unreadable or invalid file, a number that does not convert); 3 compare found differences.
namespace Cli {

// True when the arguments name a command, so no window (and no display) is wanted.
bool isCommandLine(const QStringList &arguments);

// Whether the command lays out pages (report), which takes a QGuiApplication rather than a core
// one.
bool needsGuiApplication(const QStringList &arguments);

// Runs the command in the application's event loop and ends in its exit status; arguments as
// QCoreApplication::arguments(). A core application must exist. Throws nothing the command
// meets: every failure ends in its message and status.
QCoro::Task<int> run(QStringList arguments);

} // namespace Cli
