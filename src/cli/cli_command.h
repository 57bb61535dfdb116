#pragma once

#include <QList>
#include <QString>

#include <QCoroTask>

// The commands of the command line, in one table: what each is called with, what it accepts,
// what its help says and what runs it. The general help, each command's help, the option and
// argument checks and (through --help) the manual page and completion are laid out from it.
namespace Cli {

class Session;

// What runs a command: a task that ends in its exit status, from what the session holds.
using CliHandler = QCoro::Task<int> (*)(Session &);

// One way of calling a command, as the general help lists it. Both texts keep the line breaks
// they have there: a usage line goes on indented below, the summary in its column.
struct CliForm
{
    const char *usage;   // "write FILE [--only PORT]...\n[--verify]"
    const char *summary; // one line, or a few where the list wraps it
};

// An option only some commands take, and what it does for this one.
struct CliOptionUse
{
    const char *option; // without its dashes
    const char *text;   // "replace an existing file"
};

struct CliCommand
{
    const char *name;
    QList<CliForm> forms;
    int minArguments;
    int maxArguments;
    const char *argumentsText; // "a project file": what "write takes ..." says it takes
    QList<CliOptionUse> options;
    const char *details;  // more on what it does, for its own help; may be empty
    const char *listNote; // a paragraph set under its entry in the general list, or nullptr
    bool talksToPlc;      // so --port, --ports, --line and --trace apply
    bool laysOutPages;    // needs fonts, hence a graphical application
    CliHandler handler;

    bool takes(const QString &option) const;
};

// Every command, in the order the general help lists them.
const QList<CliCommand> &cliCommands();

// The command of that name, or nullptr.
const CliCommand *findCliCommand(const QString &name);

} // namespace Cli
