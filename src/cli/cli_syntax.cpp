#include "cli/cli_syntax.h"

#include "cli/cli_command.h"
#include "cli/cli_session.h"
#include "cli/many_ports.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>

#include <algorithm>

namespace Cli {
namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("Cli", text);
}

const char *const Purpose = QT_TRANSLATE_NOOP(
    "Cli", "Prepares the configuration of the PLC and moves it to and from the PLC over a serial "
           "port.");
const char *const Opening = QT_TRANSLATE_NOOP(
    "Cli", "Without a command it opens the window; with --demo, on a built-in simulated PLC.");
const char *const ManyPortsNote = QT_TRANSLATE_NOOP(
    "Cli", "With --port given more than once, or --ports, a command runs on every port at once: "
           "each\nline it prints starts with its port, an upload writes FILE with the port's name "
           "before the\nextension, and a line per port (port, outcome, time) ends the run.");

// The general list: usages from column 2 (their further lines from column 8), texts from 32.
constexpr int UsageIndent = 2;
constexpr int UsageContinuationIndent = 8;
constexpr int TextColumn = 32;
// A command's own help is wrapped as a terminal shows it.
constexpr int HelpWidth = 79;

// An option of the command line, and where it belongs.
struct CliOption
{
    QCommandLineOption option;
    bool windowToo; // the window takes it as well
    bool forPlc;    // it concerns the port a command talks to the PLC on
};

// "upload, export, import, report: replace an existing file; import-table: a table that holds
// rows.": what the option does, command by command, commands that agree named together. A verb
// the part before begins with is not said again.
QString commandOptionDescription(const char *option)
{
    QList<QPair<QString, QStringList>> uses; // a text, and the commands it is said of
    for (const CliCommand &command : cliCommands()) {
        for (const CliOptionUse &use : command.options) {
            if (qstrcmp(use.option, option) != 0)
                continue;
            const QString text = tr(use.text);
            auto same = std::find_if(uses.begin(), uses.end(),
                                     [&](const auto &u) { return u.first == text; });
            if (same == uses.end())
                uses.append({text, {QLatin1String(command.name)}});
            else
                same->second << QLatin1String(command.name);
        }
    }
    QStringList parts;
    QString verb;
    for (const auto &[text, commands] : std::as_const(uses)) {
        const QString first = text.section(QLatin1Char(' '), 0, 0);
        const QString said = first == verb ? text.section(QLatin1Char(' '), 1) : text;
        verb = first;
        parts << commands.join(QStringLiteral(", ")) + QStringLiteral(": ") + said;
    }
    return parts.join(QStringLiteral("; ")) + QLatin1Char('.');
}

// An option only some commands take.
CliOption commandOption(const char *name, const QString &valueName = {})
{
    return {QCommandLineOption(QLatin1String(name), commandOptionDescription(name), valueName),
            false, false};
}

const QList<CliOption> &cliOptions()
{
    static const QList<CliOption> options = {
        {QCommandLineOption(QStringLiteral("config-dir"), tr("Folder of set.ini."),
                            QStringLiteral("DIR")),
         true, false},
        {QCommandLineOption(QStringLiteral("port"),
                            tr("COM1 to COM10, a device path, or a serial server as "
                               "rfc2217://HOST:PORT or tcp://HOST:PORT (default: set.ini); "
                               "repeatable."),
                            QStringLiteral("PORT")),
         true, true},
        {ManyPorts::option(), false, true},
        {QCommandLineOption(
             QStringLiteral("line"),
             tr("Line settings such as 115200,E,8,1 (default: set.ini section COM)."),
             QStringLiteral("SETTINGS")),
         true, true},
        {QCommandLineOption(QStringLiteral("trace"),
                            tr("Every frame sent and every answer, with times, on stderr.")),
         false, true},
        commandOption("only", QStringLiteral("PORT")),
        commandOption("verify"),
        commandOption("force"),
        commandOption("json"),
        commandOption("csv", QStringLiteral("TABLE")),
        commandOption("log", QStringLiteral("LOG")),
    };
    return options;
}

QString optionName(const CliOption &o)
{
    return o.option.names().constFirst();
}

// Whether some command takes it, so that the others do not.
bool takenByCommands(const QString &option)
{
    const QList<CliCommand> &commands = cliCommands();
    return std::any_of(commands.begin(), commands.end(),
                       [&](const CliCommand &c) { return c.takes(option); });
}

// One entry of the general list: the usage's lines on the left, the text's on the right.
void addListEntry(QString &list, const QStringList &usage, const QStringList &text)
{
    qsizetype next = 0;
    for (qsizetype i = 0; i < usage.size(); ++i) {
        QString line =
            QString(i == 0 ? UsageIndent : UsageContinuationIndent, QLatin1Char(' ')) + usage[i];
        if (line.size() + 2 <= TextColumn && next < text.size())
            line = line.leftJustified(TextColumn) + text[next++];
        list += line + QLatin1Char('\n');
    }
    for (; next < text.size(); ++next)
        list += QString(TextColumn, QLatin1Char(' ')) + text[next] + QLatin1Char('\n');
}

// The words of text in lines of at most HelpWidth characters, each line after indent spaces.
QString wrapped(const QString &text, qsizetype indent = 0)
{
    QString out;
    QString line;
    for (const QString &word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!line.isEmpty() && indent + line.size() + 1 + word.size() > HelpWidth) {
            out += QString(indent, QLatin1Char(' ')) + line + QLatin1Char('\n');
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    if (!line.isEmpty())
        out += QString(indent, QLatin1Char(' ')) + line + QLatin1Char('\n');
    return out;
}

// A list text as a sentence: its lines joined, a capital first, a full stop last.
QString sentence(const char *text)
{
    QString s = tr(text).replace(QLatin1Char('\n'), QLatin1Char(' '));
    if (!s.isEmpty())
        s[0] = s[0].toUpper();
    if (!s.endsWith(QLatin1Char('.')))
        s += QLatin1Char('.');
    return s;
}

} // namespace

void setUpParser(QCommandLineParser &parser)
{
    parser.setApplicationDescription(tr(Purpose) + QStringLiteral("\n\n") + commandsHelp());
    parser.addHelpOption();
    parser.addVersionOption();
    for (const CliOption &o : cliOptions())
        parser.addOption(o.option);
    parser.addPositionalArgument(QStringLiteral("command"), tr("See the commands above."),
                                 QStringLiteral("COMMAND [ARGS]"));
}

const QStringList &valueOptions()
{
    static const QStringList options = [] {
        QStringList out;
        for (const CliOption &o : cliOptions()) {
            if (!o.option.valueName().isEmpty())
                out << QStringLiteral("--") + optionName(o);
        }
        return out;
    }();
    return options;
}

const QStringList &commandLineOptions()
{
    static const QStringList options = [] {
        QStringList out;
        for (const CliOption &o : cliOptions()) {
            if (!o.windowToo)
                out << QStringLiteral("--") + optionName(o);
        }
        return out;
    }();
    return options;
}

QString commandsHelp()
{
    QString list = tr(Opening) + QStringLiteral("\n\ncommands:\n");
    for (const CliCommand &command : cliCommands()) {
        for (qsizetype i = 0; i < command.forms.size(); ++i) {
            const CliForm &form = command.forms[i];
            QStringList text = tr(form.summary).split(QLatin1Char('\n'));
            if (command.listNote && i == command.forms.size() - 1)
                text += tr(command.listNote).split(QLatin1Char('\n'));
            addListEntry(list, QString::fromUtf8(form.usage).split(QLatin1Char('\n')), text);
        }
    }
    return list + QLatin1Char('\n') + tr(ManyPortsNote) + QLatin1Char('\n');
}

QString commandHelp(const CliCommand &command)
{
    QString help;
    QStringList summary;
    for (const CliForm &form : command.forms) {
        help += (help.isEmpty() ? tr("usage:") : tr("   or:")) + QStringLiteral(" plc-config ") +
                tr("[OPTIONS]") + QLatin1Char(' ') +
                QString::fromUtf8(form.usage).replace(QLatin1Char('\n'), QLatin1Char(' ')) +
                QLatin1Char('\n');
        summary << sentence(form.summary);
    }
    help += QLatin1Char('\n') + wrapped(summary.join(QLatin1Char(' ')));
    if (*command.details)
        help += QLatin1Char('\n') + wrapped(tr(command.details));

    // The command's own options with what they do for it, then those of every command.
    QList<QPair<QString, QString>> options;
    auto shown = [](const QCommandLineOption &o) {
        const QString value = o.valueName();
        return QStringLiteral("--") + o.names().constFirst() +
               (value.isEmpty() ? QString() : QLatin1Char(' ') + value);
    };
    for (const CliOptionUse &use : command.options) {
        for (const CliOption &o : cliOptions()) {
            if (optionName(o) == QLatin1String(use.option))
                options.append({shown(o.option), sentence(use.text)});
        }
    }
    for (const CliOption &o : cliOptions()) {
        if (!takenByCommands(optionName(o)) && (!o.forPlc || command.talksToPlc))
            options.append({shown(o.option), o.option.description()});
    }
    qsizetype width = 0;
    for (const auto &option : std::as_const(options))
        width = std::max(width, option.first.size());
    help += QLatin1Char('\n') + tr("Options:") + QLatin1Char('\n');
    for (const auto &[name, text] : std::as_const(options)) {
        const qsizetype column = UsageIndent + width + 2;
        help += QString(UsageIndent, QLatin1Char(' ')) + name.leftJustified(width + 2) +
                wrapped(text, column).mid(column);
    }
    if (!command.talksToPlc)
        help += QLatin1Char('\n') + wrapped(tr("It talks to no PLC: --port, --ports, --line and "
                                               "--trace do not apply."));
    return help;
}

const CliCommand &checkedCommand(const QCommandLineParser &parser)
{
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        usageError(QStringLiteral("No command given."));
    const QString name = positional.first();
    const CliCommand *command = findCliCommand(name);
    if (!command)
        usageError(QStringLiteral("Unknown command \"%1\".").arg(name));
    for (const CliOption &o : cliOptions()) {
        const QString option = optionName(o);
        if (!parser.isSet(option) || command->takes(option) || !takenByCommands(option))
            continue;
        QStringList owners;
        for (const CliCommand &c : cliCommands()) {
            if (c.takes(option))
                owners << QLatin1String(c.name);
        }
        usageError(
            QStringLiteral("--%1 goes with %2").arg(option, owners.join(QStringLiteral(", "))));
    }
    if (parser.values(QStringLiteral("port")).contains(QString()))
        usageError(QStringLiteral("--port takes COM1 to COM10, a device path, rfc2217://HOST:PORT "
                                  "or tcp://HOST:PORT"));
    const qsizetype arguments = positional.size() - 1;
    if (arguments < command->minArguments || arguments > command->maxArguments)
        usageError(QStringLiteral("%1 takes %2").arg(name, QLatin1String(command->argumentsText)));
    if (ManyPorts::wanted(parser) && !command->talksToPlc) {
        usageError(QStringLiteral("%1 uses no port: it takes neither --ports nor more than one "
                                  "--port")
                       .arg(name));
    }
    return *command;
}

} // namespace Cli
