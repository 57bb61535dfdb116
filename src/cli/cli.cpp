#include "cli/cli.h"

#include "cli/frame_trace.h"
#include "cli/many_ports.h"
#include "cli/project_text.h"
#include "cli/terminal_prompts.h"
#include "common/clock.h"
#include "common/errors.h"
#include "common/file_kind.h"
#include "common/program_folders.h"
#include "common/wait_for_task.h"
#include "common/whole_file.h"
#include "diag/error_buffer.h"
#include "diag/error_buffer_read.h"
#include "link/com_setting.h"
#include "link/config_location.h"
#include "link/device_map.h"
#include "link/plc_link.h"
#include "link/port_choice.h"
#include "link/qt_serial_line.h"
#include "modbus/modbus_port.h"
#include "modbus/modbus_upload.h"
#include "onewire/aux_port.h"
#include "onewire/aux_transfer.h"
#include "onewire/bus_search.h"
#include "project/config_check.h"
#include "project/config_sheet.h"
#include "project/plc_verify.h"
#include "project/project_file.h"
#include "project/project_json.h"
#include "project/table_csv.h"
#include "service/conv_library.h"
#include "service/float_converter.h"
#include "service/service_commands.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

#include <QRegularExpression>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>

namespace Cli {
namespace {

constexpr int ExitDone = 0;
constexpr int ExitPlc = 1;
constexpr int ExitInput = 2;
constexpr int ExitDiffers = 3;

const char *const Usage = "usage: plc-config [OPTIONS] COMMAND [ARGS]";

const char *const CommandHelp =
    "Without a command it opens the window; with --demo, on a built-in simulated PLC.\n\n"
    "commands:\n"
    "  test                          the connection test; prints its message\n"
    "  write FILE [--only PORT]...   download the project file as the three \"Write to PLC\"\n"
    "        [--verify]              buttons would, in the order uart1, uart2, aux; --verify\n"
    "                                reads each port back and lists what differs on stderr\n"
    "  compare FILE                  what the PLC holds that differs from the file, one\n"
    "                                difference a line; exit status 3 when any differ\n"
    "  upload FILE [--force]         read UART 1, UART 2 and the auxiliary port and save them\n"
    "                                as a project file; an existing FILE is kept unless --force\n"
    "  show FILE [--json]            the project's contents\n"
    "  check FILE [--json]           the configuration check's findings, one a line (severity,\n"
    "                                port, row, column, text); exit status 3 with warnings\n"
    "  export FILE OUT.json          the project as JSON (the object show --json prints)\n"
    "  export FILE --csv TABLE OUT.csv\n"
    "                                one table as CSV; TABLE: uart1, uart2 or sensors\n"
    "  import IN.json FILE           a project file built from its JSON, checked whole first\n"
    "  import-table FILE TABLE IN.csv\n"
    "                                replaces one table of the project with the CSV's rows\n"
    "  report FILE OUT.pdf|OUT.html  the printable configuration sheet\n"
    "                                Files written are kept unless --force (import-table: a\n"
    "                                table that holds rows)\n"
    "  diag uart1|uart2|1wire        the decoded error buffer, one line per slot\n"
    "  search                        the 1-wire bus search: the count, then one ROM code per line\n"
    "  restart                       restart the PLC\n"
    "  to-ieee NUMBER                8 hex digits\n"
    "  to-float HEX                  the number, as the converter shows it\n\n"
    "With --port given more than once, or --ports, a command runs on every port at once: each\n"
    "line it prints starts with its port, an upload writes FILE with the port's name before the\n"
    "extension, and a line per port (port, outcome, time) ends the run.\n";

// Options that take a value: their value is not a command.
const QStringList ValueOptions = {QStringLiteral("--config-dir"), QStringLiteral("--port"),
                                  QStringLiteral("--ports"),      QStringLiteral("--line"),
                                  QStringLiteral("--only"),       QStringLiteral("--csv")};
// Options only the command line knows: with one of them the arguments are the command line's,
// whatever else they hold. --port and --line alone open the window on that port.
const QStringList CommandLineOptions = {QStringLiteral("--ports"), QStringLiteral("--trace"),
                                        QStringLiteral("--only"),  QStringLiteral("--force"),
                                        QStringLiteral("--json"),  QStringLiteral("--verify"),
                                        QStringLiteral("--csv")};

// "-1.5", "-.5", "-inf", "-NaN": an argument, not an option.
bool isNegativeNumber(const QString &argument)
{
    static const QRegularExpression number(QStringLiteral("^-(\\.?\\d|inf$|nan$)"),
                                           QRegularExpression::CaseInsensitiveOption);
    return number.match(argument).hasMatch();
}

int exitFor(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Done:
        return ExitDone;
    case Outcome::Invalid:
        return ExitInput;
    case Outcome::Cancelled:
    case Outcome::PlcFailed:
        break;
    }
    return ExitPlc;
}

void out(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
}

[[noreturn]] void usageError(const QString &why)
{
    throw InputError(QStringLiteral("%1\n%2").arg(why, QLatin1String(Usage)));
}

QString setIniPath(const QCommandLineParser &parser)
{
    return defaultSetIniPath(parser.value(QStringLiteral("config-dir")));
}

// Everything a command needs: the parsed arguments, set.ini, the prompts and the PLC link.
class Session
{
public:
    Session(const QCommandLineParser &parser, const QStringList &positional)
        : m_parser(parser), m_args(positional)
    {
        m_iniPath = setIniPath(parser);
    }

    const QStringList &args() const { return m_args; }
    const QCommandLineParser &parser() const { return m_parser; }
    const QString &iniPath() const { return m_iniPath; }
    TerminalPrompts &prompts() { return m_prompts; }

    PlcLink &link()
    {
        if (!m_link) {
            const QString port = m_parser.value(QStringLiteral("port"));
            const QString iniPath = m_iniPath;
            QString device;
            int comNumber = 0;
            if (!port.isEmpty()) {
                // The simulated PLC is the window's; here it is plc-sim's device.
                const auto chosen = parsePortText(port);
                if (chosen && chosen->kind == PortChoice::Kind::Com)
                    comNumber = chosen->comNumber;
                else if (chosen && chosen->kind == PortChoice::Kind::Device)
                    device = chosen->device;
                else
                    usageError(
                        QStringLiteral("--port takes COM1 to COM10 or a device path, not \"%1\"")
                            .arg(port));
            }
            m_line = std::make_unique<QtSerialLine>([iniPath, device](int n) {
                return device.isEmpty() ? comDevice(n, iniPath) : device;
            });
            if (comNumber)
                m_line->pinPortNumber(comNumber);
            else if (!device.isEmpty()) {
                m_line->pinPortNumber(1);
                m_line->nameByDevice();
            }
            const QString line = m_parser.value(QStringLiteral("line"));
            if (!line.isEmpty()) {
                try {
                    m_line->pinSettings(line);
                } catch (const PlatformError &e) {
                    throw InputError(e.description());
                }
            }
            m_link = std::make_unique<PlcLink>(*m_line, m_clock, m_tap);
            if (m_parser.isSet(QStringLiteral("trace")))
                new FrameTrace(*m_link); // owned by the link
        }
        return *m_link;
    }

private:
    const QCommandLineParser &m_parser;
    QStringList m_args;
    QString m_iniPath;
    TerminalPrompts m_prompts;
    SteadyClock m_clock;
    FrameTap m_tap;
    std::unique_ptr<QtSerialLine> m_line;
    std::unique_ptr<PlcLink> m_link;
};

int commandTest(Session &s)
{
    return exitFor(waitForTask(testConnection(s.link(), s.prompts(), readComSetting(s.iniPath()))));
}

int commandWrite(Session &s)
{
    const QStringList known = {QStringLiteral("uart1"), QStringLiteral("uart2"),
                               QStringLiteral("aux")};
    const QStringList only = s.parser().values(QStringLiteral("only"));
    for (const QString &p : only) {
        if (!known.contains(p))
            usageError(QStringLiteral("--only takes uart1, uart2 or aux, not \"%1\"").arg(p));
    }
    QList<ProjectPort> chosen;
    for (int i = 0; i < known.size(); ++i) {
        if (only.isEmpty() || only.contains(known[i]))
            chosen << static_cast<ProjectPort>(i);
    }

    FreshPorts fresh(s.iniPath());
    Apply_project_record(readProjectFile(s.args().at(1)), fresh.ports());
    ProjectWriteReport report;
    waitForTask(writeProject(s.link(), s.iniPath(), s.prompts(), fresh.ports(), chosen,
                             s.parser().isSet(QStringLiteral("verify")), report));
    for (const PortDifference &d : report.differences())
        s.prompts().message(d.text(QStringLiteral("written")));
    if (report.outcome == Outcome::Done && report.verifyFailed())
        return ExitPlc;
    return exitFor(report.outcome);
}

// Differences from the PLC, one a line; exit 3 when there are any.
int commandCompare(Session &s)
{
    FreshPorts fresh(s.iniPath());
    Apply_project_record(readProjectFile(s.args().at(1)), fresh.ports());
    // The file keeps no Field Net line settings, so it cannot differ from the PLC's.
    const auto differences = waitForTask(
        compareWithPlc(s.link(), s.iniPath(), s.prompts(), fresh.ports(), FieldNetLine::NotKnown));
    if (!differences)
        return exitFor(differences.outcome());
    for (const PortDifference &d : *differences)
        out(d.text(QStringLiteral("file holds")));
    return differences->isEmpty() ? ExitDone : ExitDiffers;
}

int commandUpload(Session &s)
{
    const QString path = s.args().at(1);
    // Refused before the PLC is asked anything: a device node or FIFO is never replaced.
    requireRegularFileToWrite(path);
    requireNewFile(path, s.parser().isSet(QStringLiteral("force")));
    FreshPorts fresh(s.iniPath());
    for (ModbusPort *port : {&fresh.uart1, &fresh.uart2}) {
        const auto uploaded =
            waitForTask(uploadModbusPort(s.link(), s.iniPath(), s.prompts(), port->info()));
        if (!uploaded)
            return exitFor(uploaded.outcome());
        applyUploadedPort(*port, *uploaded);
    }
    const auto aux = waitForTask(uploadAuxPort(s.link(), s.iniPath(), s.prompts()));
    if (!aux)
        return exitFor(aux.outcome());
    applyUploadedAux(fresh.aux, *aux);
    ProjectRecord record;
    Fill_project_record(record, fresh.ports());
    writeProjectFile(path, record);
    return ExitDone;
}

int commandShow(Session &s)
{
    FreshPorts fresh(s.iniPath());
    Apply_project_record(readProjectFile(s.args().at(1)), fresh.ports());
    if (s.parser().isSet(QStringLiteral("json")))
        std::fputs(projectJson(fresh.ports()).constData(), stdout);
    else
        std::fputs(projectText(fresh.ports()).toLocal8Bit().constData(), stdout);
    return ExitDone;
}

// The findings of the configuration check; exit 3 when any is a warning.
int commandCheck(Session &s)
{
    const QList<Finding> findings = checkConfiguration(readProjectFile(s.args().at(1)));
    if (s.parser().isSet(QStringLiteral("json"))) {
        std::fputs(findingsJson(findings).constData(), stdout);
    } else {
        for (const Finding &f : findings)
            out(findingLine(f));
    }
    return warningCount(findings) > 0 ? ExitDiffers : ExitDone;
}

std::optional<ProjectTable> tableArgument(const QString &name, const char *what)
{
    const auto table = projectTableNamed(name);
    if (!table) {
        usageError(QStringLiteral("%1 takes uart1, uart2 or sensors, not \"%2\"")
                       .arg(QLatin1String(what), name));
    }
    return table;
}

// A file the command writes: refused before anything is read when it exists (without --force).
QString newFileArgument(Session &s, int index)
{
    const QString path = s.args().at(index);
    requireRegularFileToWrite(path);
    requireNewFile(path, s.parser().isSet(QStringLiteral("force")));
    return path;
}

int commandExport(Session &s)
{
    const QString csv = s.parser().value(QStringLiteral("csv"));
    const auto table = csv.isEmpty() ? std::nullopt : tableArgument(csv, "--csv");
    const QString out = newFileArgument(s, 2);
    const ProjectRecord record = readProjectFile(s.args().at(1));
    if (!table) {
        writeWholeFile(out, projectJson(record));
        return ExitDone;
    }
    FreshPorts fresh(s.iniPath());
    Apply_project_record(record, fresh.ports());
    writeWholeFile(out, projectTableCsv(*table, fresh.ports()));
    return ExitDone;
}

int commandImport(Session &s)
{
    const QString in = s.args().at(1);
    const QString out = newFileArgument(s, 2);
    const QByteArray json = readTextFile(in);
    ProjectRecord record;
    try {
        record = projectRecordFromJson(json);
    } catch (const InputError &e) {
        // Each fault on a line of its own, named by its file as compilers do.
        QStringList faults = e.description().split(QLatin1Char('\n'));
        for (QString &f : faults)
            f.prepend(QDir::toNativeSeparators(in) + QStringLiteral(": "));
        throw InputError(faults.join(QLatin1Char('\n')));
    }
    writeProjectFile(out, record);
    return ExitDone;
}

int commandImportTable(Session &s)
{
    const QString project = s.args().at(1);
    const ProjectTable table = *tableArgument(s.args().at(2), "import-table");
    const QString in = s.args().at(3);
    requireRegularFileToWrite(project);
    // A project not there yet is made from the ports as a fresh window has them.
    FreshPorts fresh(s.iniPath());
    ProjectRecord record;
    if (QFileInfo::exists(project)) {
        record = readProjectFile(project);
        Apply_project_record(record, fresh.ports());
    }
    if (projectTableFilled(table, fresh.ports()) && !s.parser().isSet(QStringLiteral("force"))) {
        throw InputError(QStringLiteral("%1: the %2 holds rows; they are kept (--force replaces "
                                        "them)")
                             .arg(QDir::toNativeSeparators(project), projectTableCaption(table)));
    }
    const QByteArray csv = readTextFile(in);
    try {
        importProjectTableCsv(table, csv, fresh.ports());
    } catch (const InputError &e) {
        throw InputError(QDir::toNativeSeparators(in) + QStringLiteral(": ") + e.description());
    }
    Fill_project_record(record, fresh.ports());
    writeProjectFile(project, record);
    return ExitDone;
}

int commandReport(Session &s)
{
    const QString suffix = QFileInfo(s.args().at(2)).suffix().toLower();
    const bool pdf = suffix == QLatin1String("pdf");
    if (!pdf && suffix != QLatin1String("html") && suffix != QLatin1String("htm"))
        usageError(QStringLiteral("report writes a .pdf or .html file"));
    const QString out = newFileArgument(s, 2);
    const QFileInfo in(s.args().at(1));
    FreshPorts fresh(s.iniPath());
    Apply_project_record(readProjectFile(in.filePath()), fresh.ports());
    const SheetHeading heading{.projectName = in.fileName(),
                               .fileTime = in.lastModified(),
                               .printed = QDateTime::currentDateTime()};
    const QString html =
        configSheetHtml(heading, portSections(fresh.ports(), std::nullopt)
                                     << findingsSection(checkConfiguration(fresh.ports())));
    if (!pdf) {
        writeWholeFile(out, html.toUtf8());
        return ExitDone;
    }
    // Pages are laid out with fonts, which a core application cannot give.
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        throw PlatformError(QStringLiteral("report: PDF output needs a graphical application"));
    writeSheetPdf(html, QStringLiteral("PLC configuration: ") + in.fileName(), out);
    return ExitDone;
}

int commandDiag(Session &s)
{
    const QString which = s.args().at(1);
    ErrorBufferLayout layout;
    if (which == QLatin1String("uart1"))
        layout = modbusErrorBuffer(1);
    else if (which == QLatin1String("uart2"))
        layout = modbusErrorBuffer(2);
    else if (which == QLatin1String("1wire"))
        layout = onewireErrorBuffer();
    else
        usageError(QStringLiteral("diag takes uart1, uart2 or 1wire, not \"%1\"").arg(which));
    const auto reading = waitForTask(fetchErrorBuffer(s.link(), s.iniPath(), s.prompts(), layout));
    if (!reading)
        return exitFor(reading.outcome());
    if (!reading->inUse) {
        out(QStringLiteral("%1 keeps no error buffer (the port is not a %2 master)")
                .arg(which, which == QLatin1String("1wire") ? QStringLiteral("1-wire")
                                                            : QStringLiteral("Modbus")));
        return ExitDone;
    }
    for (const ErrorEntry &e : reading->entries) {
        out(QStringLiteral("%1\t%2\t%3")
                .arg(e.slot)
                .arg(e.text.type.trimmed(), e.text.description.value_or(QString()).trimmed()));
    }
    return ExitDone;
}

int commandSearch(Session &s)
{
    const auto found = waitForTask(searchOnewireBus(s.link(), s.iniPath(), s.prompts()));
    if (!found)
        return exitFor(found.outcome());
    out(QString::number(found->size()));
    for (const RomTexts &rom : *found)
        out(QStringList(rom.begin(), rom.end()).join(QString()));
    return ExitDone;
}

int commandRestart(Session &s)
{
    const auto answer = waitForTask(restartPlc(s.link(), s.iniPath(), s.prompts()));
    if (!answer)
        return exitFor(answer.outcome());
    // The window leaves the answer alone; a script must learn that the PLC did not take it.
    if (!answer->accepted()) {
        s.prompts().message(answerMessage(answer->kind));
        return ExitPlc;
    }
    return ExitDone;
}

// "to-ieee" and "to-float": one direction of the converter, and how its result is printed.
template <typename Convert, typename Show>
int commandConvert(Session &s, Convert convert, Show show)
{
    ConvLibrary conv(programPartFolders());
    const Result<FloatBytes> result = convert(conv, s.prompts(), s.args().at(1));
    if (result)
        out(show(*result));
    return exitFor(result.outcome());
}

int commandToIeee(Session &s)
{
    return commandConvert(s, toIeee, [](const FloatBytes &v) { return bytesHex(v.bytes); });
}

int commandToFloat(Session &s)
{
    return commandConvert(s, toFloat, [](const FloatBytes &v) { return floatText(v.value); });
}

} // namespace

namespace {
// The command named: the first argument that is neither an option nor an option's value.
QString commandWord(const QStringList &arguments)
{
    for (int i = 1; i < arguments.size(); ++i) {
        if (ValueOptions.contains(arguments[i]))
            ++i;
        else if (!arguments[i].startsWith(QLatin1Char('-')))
            return arguments[i];
    }
    return {};
}
} // namespace

bool needsGuiApplication(const QStringList &arguments)
{
    return commandWord(arguments) == QLatin1String("report");
}

bool isCommandLine(const QStringList &arguments)
{
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        if (CommandLineOptions.contains(a.section(QLatin1Char('='), 0, 0)))
            return true;
        if (ValueOptions.contains(a)) {
            ++i;
            continue;
        }
        if (!a.startsWith(QLatin1Char('-')))
            return true;
    }
    return false;
}

namespace {

int runCommandLine(QStringList arguments)
{
    // A negative number is an argument, not an option: numbers go behind the "--" that ends the
    // options (one the user wrote, or one added at the end), in their order.
    QStringList numbers;
    const QString endOfOptions = QStringLiteral("--");
    for (qsizetype i = 1; i < arguments.size() && arguments[i] != endOfOptions;) {
        if (isNegativeNumber(arguments[i]) && !ValueOptions.contains(arguments[i - 1]))
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
    parser.setApplicationDescription(
        QStringLiteral("Prepares the configuration of the PLC and moves it to and from the PLC "
                       "over a serial port.\n\n") +
        QLatin1String(CommandHelp));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        {QStringLiteral("config-dir"), QStringLiteral("Folder of set.ini."), QStringLiteral("DIR")},
        {QStringLiteral("port"),
         QStringLiteral("COM1 to COM10, or a device path (default: set.ini); repeatable."),
         QStringLiteral("PORT")},
        ManyPorts::option(),
        {QStringLiteral("line"),
         QStringLiteral("Line settings such as 115200,E,8,1 (default: set.ini section COM)."),
         QStringLiteral("SETTINGS")},
        {QStringLiteral("trace"),
         QStringLiteral("Every frame sent and every answer, with times, on stderr.")},
        {QStringLiteral("only"), QStringLiteral("write: only this port (uart1, uart2, aux)."),
         QStringLiteral("PORT")},
        {QStringLiteral("verify"), QStringLiteral("write: read each port back and compare.")},
        {QStringLiteral("force"),
         QStringLiteral("upload, export, import, report: replace an existing file; import-table: "
                        "a table that holds rows.")},
        {QStringLiteral("json"),
         QStringLiteral("show: one JSON object; check: the findings as a JSON array.")},
        {QStringLiteral("csv"),
         QStringLiteral("export: this table as CSV (uart1, uart2, sensors)."),
         QStringLiteral("TABLE")},
    });
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("See the commands above."),
                                 QStringLiteral("COMMAND [ARGS]"));

    TerminalPrompts errors;
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "%s\n%s\n", parser.errorText().toLocal8Bit().constData(), Usage);
        return ExitInput;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(parser.helpText().toLocal8Bit().constData(), stdout);
        return ExitDone;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()),
                    qPrintable(QCoreApplication::applicationVersion()));
        return ExitDone;
    }

    const QStringList positional = parser.positionalArguments();
    // Each command: what runs it, whether it talks to a PLC, and how many arguments it takes.
    struct Command
    {
        int (*run)(Session &);
        bool usesPort;
        int args;
        const char *shape;
    };
    static const QHash<QString, Command> commands = {
        {QStringLiteral("test"), {commandTest, true, 0, "no arguments"}},
        {QStringLiteral("write"), {commandWrite, true, 1, "a project file"}},
        {QStringLiteral("upload"), {commandUpload, true, 1, "a project file"}},
        {QStringLiteral("compare"), {commandCompare, true, 1, "a project file"}},
        {QStringLiteral("diag"), {commandDiag, true, 1, "uart1, uart2 or 1wire"}},
        {QStringLiteral("search"), {commandSearch, true, 0, "no arguments"}},
        {QStringLiteral("restart"), {commandRestart, true, 0, "no arguments"}},
        {QStringLiteral("show"), {commandShow, false, 1, "a project file"}},
        {QStringLiteral("to-ieee"), {commandToIeee, false, 1, "a number"}},
        {QStringLiteral("to-float"), {commandToFloat, false, 1, "8 hex digits"}},
        {QStringLiteral("export"),
         {commandExport, false, 2, "a project file and a JSON file (with --csv, a CSV file)"}},
        {QStringLiteral("import"), {commandImport, false, 2, "a JSON file and a project file"}},
        {QStringLiteral("import-table"),
         {commandImportTable, false, 3, "a project file, uart1, uart2 or sensors, and a CSV file"}},
        {QStringLiteral("report"),
         {commandReport, false, 2, "a project file and a .pdf or .html file"}},
        {QStringLiteral("check"), {commandCheck, false, 1, "a project file"}},
    };
    try {
        if (positional.isEmpty())
            usageError(QStringLiteral("No command given."));
        const auto command = commands.constFind(positional.first());
        if (command == commands.constEnd())
            usageError(QStringLiteral("Unknown command \"%1\".").arg(positional.first()));
        const QString name = positional.first();
        auto misplaced = [&](const char *option, const QStringList &owners) {
            if (parser.isSet(QLatin1String(option)) && !owners.contains(name)) {
                usageError(QStringLiteral("--%1 goes with %2")
                               .arg(QLatin1String(option), owners.join(QStringLiteral(", "))));
            }
        };
        misplaced("only", {QStringLiteral("write")});
        misplaced("verify", {QStringLiteral("write")});
        misplaced("force",
                  {QStringLiteral("upload"), QStringLiteral("export"), QStringLiteral("import"),
                   QStringLiteral("import-table"), QStringLiteral("report")});
        misplaced("json", {QStringLiteral("show"), QStringLiteral("check")});
        misplaced("csv", {QStringLiteral("export")});
        if (parser.values(QStringLiteral("port")).contains(QString()))
            usageError(QStringLiteral("--port takes COM1 to COM10 or a device path"));
        if (positional.size() != command->args + 1)
            usageError(QStringLiteral("%1 takes %2").arg(name, QLatin1String(command->shape)));
        if (ManyPorts::wanted(parser)) {
            if (!command->usesPort) {
                usageError(QStringLiteral("%1 uses no port: it takes neither --ports nor more "
                                          "than one --port")
                               .arg(name));
            }
            return ManyPorts::run(arguments, parser, ValueOptions, setIniPath(parser));
        }
        Session session(parser, positional);
        return command->run(session);
    } catch (const TransferAborted &) {
        return ExitPlc;
    } catch (const InputError &e) {
        errors.message(e.description());
        return ExitInput;
    } catch (const PlatformError &e) {
        errors.message(e.description());
        return ExitPlc;
    }
}

} // namespace

int run(const QStringList &arguments)
{
    const int status = runCommandLine(arguments);
    // Output that did not arrive (a full disk, a closed pipe) is a failure, not a success; nor
    // may findings or differences that were never seen pass for listed.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        const int error = errno;
        TerminalPrompts().message(QStringLiteral("Cannot write the output: %1")
                                      .arg(QString::fromLocal8Bit(std::strerror(error))));
        return status == ExitInput ? ExitInput : ExitPlc;
    }
    return status;
}

} // namespace Cli
