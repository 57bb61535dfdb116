#include "cli/cli.h"

#include "cli/cli_command.h"
#include "cli/cli_session.h"
#include "cli/cli_syntax.h"
#include "cli/many_ports.h"
#include "common/errors.h"
#include "transfer/unit_log.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QRegularExpression>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <optional>

Q_LOGGING_CATEGORY(plcCliLog, "plc.cli", QtInfoMsg)

namespace Cli {
namespace {

// "-1.5", "-.5", "-inf", "-NaN": an argument, not an option.
bool isNegativeNumber(const QString &argument)
{
    static const QRegularExpression number(QStringLiteral("^-(\\.?\\d|inf$|nan$)"),
                                           QRegularExpression::CaseInsensitiveOption);
    return number.match(argument).hasMatch();
}

// The command named: the first argument that is neither an option nor an option's value.
QString commandWord(const QStringList &arguments)
{
    for (int i = 1; i < arguments.size(); ++i) {
        if (valueOptions().contains(arguments[i]))
            ++i;
        else if (!arguments[i].startsWith(QLatin1Char('-')))
            return arguments[i];
    }
    return {};
}
} // namespace

bool needsGuiApplication(const QStringList &arguments)
{
    const CliCommand *command = findCliCommand(commandWord(arguments));
    return command && command->laysOutPages;
}

bool isCommandLine(const QStringList &arguments)
{
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        if (commandLineOptions().contains(a.section(QLatin1Char('='), 0, 0)))
            return true;
        if (valueOptions().contains(a)) {
            ++i;
            continue;
        }
        if (!a.startsWith(QLatin1Char('-')))
            return true;
    }
    return false;
}

namespace {

// A parsed command line on one port (or none): the command's exit status, its errors on the
// output's stderr.
QCoro::Task<int> runParsed(const QCommandLineParser &parser, Output &output)
{
    TerminalPrompts errors(output.err);
    try {
        const CliCommand &command = checkedCommand(parser);
        Session session(parser, parser.positionalArguments(), output);
        int status = ExitPlc;
        std::exception_ptr failure;
        try {
            status = co_await command.handler(session);
        } catch (...) {
            failure = std::current_exception();
        }
        // The link lets go of its line before the session that holds it goes.
        co_await session.linkIdle();
        if (failure)
            std::rethrow_exception(failure);
        co_return status;
    } catch (const TransferAborted &) {
        co_return ExitPlc;
    } catch (const InputError &e) {
        errors.message(e.description());
        co_return ExitInput;
    } catch (const PlatformError &e) {
        errors.message(e.description());
        co_return ExitPlc;
    }
}

// One of several ports: its own arguments, parsed as a run on that port alone would.
QCoro::Task<int> runOnePort(QStringList arguments, Output &output)
{
    QCommandLineParser parser;
    setUpParser(parser);
    if (!parser.parse(arguments)) {
        output.err.write(parser.errorText().toLocal8Bit() + '\n' + Usage + '\n');
        co_return ExitInput;
    }
    const int status = co_await runParsed(parser, output);
    co_return status;
}

QCoro::Task<int> runCommandLine(QStringList arguments)
{
    // A negative number is an argument, not an option: numbers go behind the "--" that ends the
    // options (one the user wrote, or one added at the end), in their order.
    QStringList numbers;
    const QString endOfOptions = QStringLiteral("--");
    for (qsizetype i = 1; i < arguments.size() && arguments[i] != endOfOptions;) {
        if (isNegativeNumber(arguments[i]) && !valueOptions().contains(arguments[i - 1]))
            numbers << arguments.takeAt(i);
        else
            ++i;
    }
    if (!numbers.isEmpty()) {
        const qsizetype end = arguments.indexOf(endOfOptions);
        if (end < 0)
            arguments << endOfOptions << numbers;
        else
            arguments = arguments.mid(0, end + 1) + numbers + arguments.mid(end + 1);
    }
    QCommandLineParser parser;
    setUpParser(parser);

    qCDebug(plcCliLog).noquote() << "command:" << arguments.mid(1).join(QLatin1Char(' '));
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "%s\n%s\n", parser.errorText().toLocal8Bit().constData(), Usage);
        co_return ExitInput;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        // After a command, that command's help.
        const QStringList positional = parser.positionalArguments();
        const CliCommand *command = findCliCommand(positional.value(0));
        const QString help = command ? commandHelp(*command) : parser.helpText();
        std::fputs(help.toLocal8Bit().constData(), stdout);
        co_return ExitDone;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()),
                    qPrintable(QCoreApplication::applicationVersion()));
        co_return ExitDone;
    }

    Output output;
    if (ManyPorts::wanted(parser)) {
        try {
            checkedCommand(parser);
            // The record is kept for all ports or none: a log that cannot be written stops
            // the run before any port starts. The ports' own logs share this one's file.
            std::optional<UnitLog> log;
            if (parser.isSet(QStringLiteral("log")))
                log.emplace(parser.value(QStringLiteral("log")));
            const int status = co_await ManyPorts::run(arguments, parser, valueOptions(),
                                                       setIniPath(parser), runOnePort);
            co_return status;
        } catch (const InputError &e) {
            TerminalPrompts(output.err).message(e.description());
            co_return ExitInput;
        } catch (const PlatformError &e) {
            TerminalPrompts(output.err).message(e.description());
            co_return ExitPlc;
        }
    }
    const int status = co_await runParsed(parser, output);
    co_return status;
}

} // namespace

QCoro::Task<int> run(QStringList arguments)
{
    int status = ExitPlc;
    try {
        status = co_await runCommandLine(std::move(arguments));
    } catch (const std::exception &e) {
        // Nobody awaits the command line's task: what escapes it would be lost, the program
        // left waiting.
        TerminalPrompts().message(QString::fromLocal8Bit(e.what()));
    }
    // Output that did not arrive (a full disk, a closed pipe) is a failure, not a success; nor
    // may findings or differences that were never seen pass for listed.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        const int error = errno;
        TerminalPrompts().message(QStringLiteral("Cannot write the output: %1")
                                      .arg(QString::fromLocal8Bit(std::strerror(error))));
        co_return status == ExitInput ? ExitInput : ExitPlc;
    }
    co_return status;
}

} // namespace Cli
