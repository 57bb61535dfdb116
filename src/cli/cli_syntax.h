#pragma once

#include <QString>
#include <QStringList>

class QCommandLineParser;

// What the command line accepts and how its help reads, laid out from the table of commands:
// the parser's options, the general help and each command's own, and the checks of a parsed
// command line against the command it names.
namespace Cli {

struct CliCommand;

// The options, --help and --version, and the description --help shows.
void setUpParser(QCommandLineParser &parser);

// Options that take a value, with their dashes: their value is not a command.
const QStringList &valueOptions();

// Options only the command line knows, with their dashes: with one of them the arguments are the
// command line's, whatever else they hold. --port and --line alone open the window on that port.
const QStringList &commandLineOptions();

// The list of commands and what goes with it, as --help shows them below the program's purpose.
QString commandsHelp();

// COMMAND --help: its usage, what it does, the options it takes and whether the port's apply.
QString commandHelp(const CliCommand &command);

// The command the parsed arguments name, when they suit it; otherwise a usage error
// (InputError): no or an unknown command, an option it does not take, an empty --port, the wrong
// number of arguments, several ports for a command that talks to no PLC.
const CliCommand &checkedCommand(const QCommandLineParser &parser);

} // namespace Cli
