#pragma once

#include "cli/cli_output.h"

#include <QCommandLineOption>
#include <QString>
#include <QStringList>

#include <QCoroTask>

#include <functional>

class QCommandLineParser;

// The command line on several PLCs at once: --port given more than once, or --ports GLOB. Every
// port gets a session of its own in this process (the arguments with that one --port, its own
// line, link, clock, frame tap, prompts and output), all started at once and awaited together,
// so a fault on one port cannot stop the others. Their output comes through line by line with
// the port in front; at the end one summary line per port (port, outcome, time), in the order
// the ports were given, and the worst of their exit statuses: a failure (1) before bad input (2)
// before a difference found (3).
namespace ManyPorts {

// Runs one port's arguments (see portArguments()) to their exit status, its output on output.
// Both must stay until the task ends.
using PortCommand = std::function<QCoro::Task<int>(QStringList arguments, Cli::Output &output)>;

// "--ports GLOB".
QCommandLineOption option();

// The ports named: every --port in order, then the matches of --ports, sorted (a serial
// server's address in --ports is taken as it stands). Throws InputError for a port given twice
// (COM names as set.ini at iniPath maps them, servers by host and TCP port), a pattern that
// matches nothing, or an address that is no sound one.
QStringList ports(const QCommandLineParser &parser, const QString &iniPath);

// True when the command is to run on several ports: more than one --port, or --ports.
bool wanted(const QCommandLineParser &parser);

// The file an upload to file writes for a port: the port's name (COM3, the device's file name,
// or a server's host and TCP port) inserted before the extension, "plc.dpc" giving
// "plc-ttyUSB1.dpc" or "plc-10.0.0.5-4001.dpc".
QString portFile(const QString &file, const QString &port);

// The arguments of one port's run: arguments (program first) without their --port and
// --ports, with "--port port" in front and, for an upload, the port's own file. valueOptions:
// the options that take a value, so their values are not taken for the command's arguments.
QStringList portArguments(const QStringList &arguments, const QStringList &valueOptions,
                          const QString &port);

// Runs the command of arguments, one that talks to a PLC, on every port at once through
// runOnPort and prints their output and summary. InputError, before anything starts, for ports
// that cannot work together (see ports()).
QCoro::Task<int> run(const QStringList &arguments, const QCommandLineParser &parser,
                     const QStringList &valueOptions, const QString &iniPath,
                     PortCommand runOnPort);

} // namespace ManyPorts
