#include "cli/cli_command.h"

#include "cli/cli_session.h"
#include "cli/project_text.h"
#include "common/errors.h"
#include "common/file_kind.h"
#include "common/program_folders.h"
#include "common/whole_file.h"
#include "diag/error_buffer.h"
#include "diag/error_buffer_read.h"
#include "link/com_setting.h"
#include "link/plc_link.h"
#include "modbus/modbus_port.h"
#include "modbus/modbus_upload.h"
#include "onewire/aux_port.h"
#include "onewire/aux_transfer.h"
#include "onewire/bus_search.h"
#include "project/config_check.h"
#include "project/config_sheet.h"
#include "project/project_file.h"
#include "project/project_json.h"
#include "project/table_csv.h"
#include "service/conv_library.h"
#include "service/float_converter.h"
#include "service/service_commands.h"
#include "transfer/plc_verify.h"
#include "transfer/unit_log.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>

namespace Cli {
namespace {

QCoro::Task<int> commandTest(Session &s)
{
    const Outcome outcome =
        co_await testConnection(s.link(), s.prompts(), readComSetting(s.iniPath()));
    co_return exitFor(outcome);
}

void appendUnit(UnitLog &log, const ProjectWriteReport &report, const QList<ProjectPort> &chosen,
                UnitRun run, int frames, const QElapsedTimer &timer)
{
    run.frames = frames;
    run.seconds = double(timer.nsecsElapsed()) / 1e9;
    log.append(unitRecord(report, chosen, run));
}

QCoro::Task<int> commandWrite(Session &s)
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

    const QString project = s.args().at(1);
    FreshPorts fresh(s.iniPath());
    Apply_project_record(readProjectFile(project), fresh.ports());
    // The record is opened before anything is sent: a unit written without its line is worse
    // than a unit not written.
    std::optional<UnitLog> log;
    UnitRun run;
    if (s.parser().isSet(QStringLiteral("log"))) {
        log.emplace(s.parser().value(QStringLiteral("log")));
        run.port = s.portName();
        run.device = unitDevice(run.port, s.iniPath());
        run.project = project;
        run.sha256 = fileSha256(project);
    }
    const FrameCounter frames(s.tap());
    QElapsedTimer timer;
    timer.start();
    ProjectWriteReport report;
    try {
        co_await writeProject(s.link(), s.iniPath(), s.prompts(), fresh.ports(), chosen,
                              s.parser().isSet(QStringLiteral("verify")), report);
    } catch (const CommandError &e) {
        if (log) {
            run.failure = e.description();
            appendUnit(*log, report, chosen, run, frames.count(), timer);
        }
        throw;
    }
    if (log) {
        // A check that refused the project sent nothing; its message is the record's reason.
        if (report.outcome == Outcome::Invalid && !s.prompts().messages().isEmpty())
            run.failure = s.prompts().messages().constLast();
        appendUnit(*log, report, chosen, run, frames.count(), timer);
    }
    for (const PortDifference &d : report.differences())
        s.prompts().message(d.text(QStringLiteral("written")));
    if (report.outcome == Outcome::Done && report.verifyFailed())
        co_return ExitPlc;
    co_return exitFor(report.outcome);
}

// Differences from the PLC, one a line; exit 3 when there are any.
QCoro::Task<int> commandCompare(Session &s)
{
    FreshPorts fresh(s.iniPath());
    Apply_project_record(readProjectFile(s.args().at(1)), fresh.ports());
    // The file keeps no Field Net line settings, so it cannot differ from the PLC's.
    const auto differences = co_await compareWithPlc(s.link(), s.iniPath(), s.prompts(),
                                                     fresh.ports(), FieldNetLine::NotKnown);
    if (!differences)
        co_return exitFor(differences.outcome());
    for (const PortDifference &d : *differences)
        s.out(d.text(QStringLiteral("file holds")));
    co_return differences->isEmpty() ? ExitDone : ExitDiffers;
}

QCoro::Task<int> commandUpload(Session &s)
{
    const QString path = s.args().at(1);
    // Refused before the PLC is asked anything: a device node or FIFO is never replaced.
    requireRegularFileToWrite(path);
    requireNewFile(path, s.parser().isSet(QStringLiteral("force")));
    FreshPorts fresh(s.iniPath());
    for (ModbusPort *port : {&fresh.uart1, &fresh.uart2}) {
        const auto uploaded =
            co_await uploadModbusPort(s.link(), s.iniPath(), s.prompts(), port->info());
        if (!uploaded)
            co_return exitFor(uploaded.outcome());
        applyUploadedPort(*port, *uploaded);
    }
    const auto aux = co_await uploadAuxPort(s.link(), s.iniPath(), s.prompts());
    if (!aux)
        co_return exitFor(aux.outcome());
    applyUploadedAux(fresh.aux, *aux);
    ProjectRecord record;
    Fill_project_record(record, fresh.ports());
    writeProjectFile(path, record);
    co_return ExitDone;
}

QCoro::Task<int> commandShow(Session &s)
{
    FreshPorts fresh(s.iniPath());
    Apply_project_record(readProjectFile(s.args().at(1)), fresh.ports());
    if (s.parser().isSet(QStringLiteral("json")))
        s.output().out.write(projectJson(fresh.ports()));
    else
        s.output().out.write(projectText(fresh.ports()));
    co_return ExitDone;
}

// The findings of the configuration check; exit 3 when any is a warning.
QCoro::Task<int> commandCheck(Session &s)
{
    const QList<Finding> findings = checkConfiguration(readProjectFile(s.args().at(1)));
    if (s.parser().isSet(QStringLiteral("json"))) {
        s.output().out.write(findingsJson(findings));
    } else {
        for (const Finding &f : findings)
            s.out(findingLine(f));
    }
    co_return warningCount(findings) > 0 ? ExitDiffers : ExitDone;
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

QCoro::Task<int> commandExport(Session &s)
{
    const QString csv = s.parser().value(QStringLiteral("csv"));
    const auto table = csv.isEmpty() ? std::nullopt : tableArgument(csv, "--csv");
    const QString out = newFileArgument(s, 2);
    const ProjectRecord record = readProjectFile(s.args().at(1));
    if (!table) {
        writeWholeFile(out, projectJson(record));
        co_return ExitDone;
    }
    FreshPorts fresh(s.iniPath());
    Apply_project_record(record, fresh.ports());
    writeWholeFile(out, projectTableCsv(*table, fresh.ports()));
    co_return ExitDone;
}

QCoro::Task<int> commandImport(Session &s)
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
    co_return ExitDone;
}

QCoro::Task<int> commandImportTable(Session &s)
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
    co_return ExitDone;
}

QCoro::Task<int> commandReport(Session &s)
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
        co_return ExitDone;
    }
    // Pages are laid out with fonts, which a core application cannot give.
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        throw PlatformError(QStringLiteral("report: PDF output needs a graphical application"));
    writeSheetPdf(html, QStringLiteral("PLC configuration: ") + in.fileName(), out);
    co_return ExitDone;
}

QCoro::Task<int> commandDiag(Session &s)
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
    const auto reading = co_await fetchErrorBuffer(s.link(), s.iniPath(), s.prompts(), layout);
    if (!reading)
        co_return exitFor(reading.outcome());
    if (!reading->inUse) {
        s.out(QStringLiteral("%1 keeps no error buffer (the port is not a %2 master)")
                  .arg(which, which == QLatin1String("1wire") ? QStringLiteral("1-wire")
                                                              : QStringLiteral("Modbus")));
        co_return ExitDone;
    }
    for (const ErrorEntry &e : reading->entries) {
        s.out(QStringLiteral("%1\t%2\t%3")
                  .arg(e.slot)
                  .arg(e.text.type.trimmed(), e.text.description.value_or(QString()).trimmed()));
    }
    co_return ExitDone;
}

QCoro::Task<int> commandSearch(Session &s)
{
    const auto found = co_await searchOnewireBus(s.link(), s.iniPath(), s.prompts());
    if (!found)
        co_return exitFor(found.outcome());
    s.out(QString::number(found->size()));
    for (const RomTexts &rom : *found)
        s.out(QStringList(rom.begin(), rom.end()).join(QString()));
    co_return ExitDone;
}

QCoro::Task<int> commandRestart(Session &s)
{
    const auto answer = co_await restartPlc(s.link(), s.iniPath(), s.prompts());
    if (!answer)
        co_return exitFor(answer.outcome());
    // The window leaves the answer alone; a script must learn that the PLC did not take it.
    if (!answer->accepted()) {
        s.prompts().message(answerMessage(answer->kind));
        co_return ExitPlc;
    }
    co_return ExitDone;
}

// "to-ieee" and "to-float": one direction of the converter, and how its result is printed.
template <typename Convert, typename Show>
QCoro::Task<int> commandConvert(Session &s, Convert convert, Show show)
{
    ConvLibrary conv(programPartFolders());
    const Result<FloatBytes> result = convert(conv, s.prompts(), s.args().at(1));
    if (result)
        s.out(show(*result));
    co_return exitFor(result.outcome());
}

// How a log's records are laid out for a person: a column each, as wide as its widest cell up
// to a limit; --json has every text whole.
QString unitLogTable(const QList<UnitRecord> &records)
{
    struct Column
    {
        const char *title;
        qsizetype limit;
        std::function<QString(const UnitRecord &)> cell;
    };
    const Column columns[] = {
        {"time", 20,
         [](const UnitRecord &r) {
             return r.time.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + u'Z';
         }},
        {"port", 32, [](const UnitRecord &r) { return r.port; }},
        {"device", 40, [](const UnitRecord &r) { return r.device; }},
        {"result", 60, [](const UnitRecord &r) { return r.result; }},
        {"verified", 8,
         [](const UnitRecord &r) {
             return r.verified ? QStringLiteral("yes") : QStringLiteral("no");
         }},
        {"seconds", 8, [](const UnitRecord &r) { return QString::number(r.seconds, 'f', 2); }},
        {"frames", 8, [](const UnitRecord &r) { return QString::number(r.frames); }},
    };
    QList<QStringList> rows{{}};
    for (const Column &c : columns)
        rows.first() << QLatin1String(c.title);
    for (const UnitRecord &r : records) {
        QStringList row;
        for (const Column &c : columns) {
            // A long text keeps its start and its end, where paths and reasons differ.
            QString cell = c.cell(r).simplified();
            if (cell.size() > c.limit) {
                const qsizetype head = (c.limit - 3) / 2;
                cell = cell.left(head) + QStringLiteral("...") + cell.right(c.limit - 3 - head);
            }
            row << cell;
        }
        rows << row;
    }
    QList<qsizetype> widths(std::size(columns), 0);
    for (const QStringList &row : std::as_const(rows)) {
        for (qsizetype i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], row[i].size());
    }
    QString table;
    for (const QStringList &row : std::as_const(rows)) {
        QString line;
        for (qsizetype i = 0; i < row.size(); ++i)
            line += i + 1 < row.size() ? row[i].leftJustified(widths[i] + 2) : row[i];
        table += line + u'\n';
    }
    return table;
}

// A log of units as a table, or its records as they are; exit 3 when a unit failed, else 2
// when a line holds no record.
QCoro::Task<int> commandLog(Session &s)
{
    const UnitLogContents contents = readUnitLog(s.args().at(1));
    for (const QString &problem : contents.problems)
        s.prompts().message(problem);
    if (s.parser().isSet(QStringLiteral("json"))) {
        for (const QByteArray &line : contents.lines)
            s.output().out.write(line + '\n');
    } else {
        s.output().out.write(unitLogTable(contents.records));
    }
    if (std::any_of(contents.records.cbegin(), contents.records.cend(),
                    [](const UnitRecord &r) { return !r.succeeded(); }))
        co_return ExitDiffers;
    co_return contents.problems.isEmpty() ? ExitDone : ExitInput;
}

QCoro::Task<int> commandToIeee(Session &s)
{
    return commandConvert(s, toIeee, [](const FloatBytes &v) { return bytesHex(v.bytes); });
}

QCoro::Task<int> commandToFloat(Session &s)
{
    return commandConvert(s, toFloat, [](const FloatBytes &v) { return floatText(v.value); });
}

} // namespace

// Texts are kept as the general help lays them out; the list's line breaks are theirs.
const QList<CliCommand> &cliCommands()
{
    static const QList<CliCommand> commands = {
        {.name = "test",
         .forms = {{"test", QT_TRANSLATE_NOOP("Cli", "the connection test; prints its message")}},
         .minArguments = 0,
         .maxArguments = 0,
         .argumentsText = "no arguments",
         .options = {},
         .details = QT_TRANSLATE_NOOP(
             "Cli", "Asks the PLC for its CPU type, as the COM-port dialog's test does, and "
                    "prints the message the dialog would show on stderr. Exit status 1 when the "
                    "PLC does not answer."),
         .listNote = nullptr,
         .talksToPlc = true,
         .laysOutPages = false,
         .handler = commandTest},
        {.name = "write",
         .forms = {{"write FILE [--only PORT]...\n[--verify] [--log LOG]",
                    QT_TRANSLATE_NOOP("Cli",
                                      "download the project file as the three \"Write to PLC\"\n"
                                      "buttons would, in the order uart1, uart2, aux; --verify\n"
                                      "reads each port back and lists what differs on stderr;\n"
                                      "--log appends a line per PLC written to LOG")}},
         .minArguments = 1,
         .maxArguments = 1,
         .argumentsText = "a project file",
         .options = {{"only", QT_TRANSLATE_NOOP("Cli", "only this port (uart1, uart2, aux)")},
                     {"verify", QT_TRANSLATE_NOOP("Cli", "read each port back and compare")},
                     {"log", QT_TRANSLATE_NOOP("Cli", "append a line per PLC written to this "
                                                      "record of units")}},
         .details = QT_TRANSLATE_NOOP(
             "Cli", "Every port to be written is checked before anything is sent: a fault in any "
                    "table sends nothing. With --verify, a port the PLC holds otherwise makes the "
                    "exit status 1. With --log, each PLC's write ends in a JSON line appended to "
                    "LOG (time, station, port, device, project, sha256, ports, verified, result, "
                    "frames, seconds, version), put on the disk before the next; failures are "
                    "recorded too. A LOG that cannot be written stops the command before any PLC "
                    "is written (exit status 1)."),
         .listNote = nullptr,
         .talksToPlc = true,
         .laysOutPages = false,
         .handler = commandWrite},
        {.name = "compare",
         .forms = {{"compare FILE",
                    QT_TRANSLATE_NOOP("Cli", "what the PLC holds that differs from the file, one\n"
                                             "difference a line; exit status 3 when any differ")}},
         .minArguments = 1,
         .maxArguments = 1,
         .argumentsText = "a project file",
         .options = {},
         .details = QT_TRANSLATE_NOOP(
             "Cli", "Reads UART 1, UART 2 and the auxiliary port and prints where the PLC differs "
                    "from the file (\"UART 1, slot 3, Timeout: file holds 300, PLC holds 44\"). "
                    "The PLC is not written."),
         .listNote = nullptr,
         .talksToPlc = true,
         .laysOutPages = false,
         .handler = commandCompare},
        {.name = "upload",
         .forms = {{"upload FILE [--force]",
                    QT_TRANSLATE_NOOP(
                        "Cli", "read UART 1, UART 2 and the auxiliary port and save them\n"
                               "as a project file; an existing FILE is kept unless --force")}},
         .minArguments = 1,
         .maxArguments = 1,
         .argumentsText = "a project file",
         .options = {{"force", QT_TRANSLATE_NOOP("Cli", "replace an existing file")}},
         .details = QT_TRANSLATE_NOOP(
             "Cli", "FILE is written only once all three ports were read: a PLC that does not "
                    "answer leaves no file. On several ports at once, each port's file has the "
                    "port's name before the extension."),
         .listNote = nullptr,
         .talksToPlc = true,
         .laysOutPages = false,
         .handler = commandUpload},
        {.name = "show",
         .forms = {{"show FILE [--json]", QT_TRANSLATE_NOOP("Cli", "the project's contents")}},
         .minArguments = 1,
         .maxArguments = 1,
         .argumentsText = "a project file",
         .options = {{"json", QT_TRANSLATE_NOOP("Cli", "one JSON object")}},
         .details = QT_TRANSLATE_NOOP("Cli", "The ports and their tables as text; with --json, "
                                             "the object export writes."),
         .listNote = nullptr,
         .talksToPlc = false,
         .laysOutPages = false,
         .handler = commandShow},
        {.name = "check",
         .forms = {{"check FILE [--json]",
                    QT_TRANSLATE_NOOP("Cli",
                                      "the configuration check's findings, one a line (severity,\n"
                                      "port, row, column, text); exit status 3 with warnings")}},
         .minArguments = 1,
         .maxArguments = 1,
         .argumentsText = "a project file",
         .options = {{"json", QT_TRANSLATE_NOOP("Cli", "the findings as a JSON array")}},
         .details = QT_TRANSLATE_NOOP("Cli", "The fields of a finding are separated by tabs."),
         .listNote = nullptr,
         .talksToPlc = false,
         .laysOutPages = false,
         .handler = commandCheck},
        {.name = "log",
         .forms = {{"log LOG [--json]",
                    QT_TRANSLATE_NOOP("Cli", "the record of units write --log keeps, as a table\n"
                                             "(time, port, device, result, verified, seconds,\n"
                                             "frames); exit status 3 when a unit failed")}},
         .minArguments = 1,
         .maxArguments = 1,
         .argumentsText = "a log file",
         .options = {{"json", QT_TRANSLATE_NOOP("Cli", "the records as the log holds them, one "
                                                       "JSON object a line")}},
         .details = QT_TRANSLATE_NOOP(
             "Cli", "Every line that holds no record (one cut short when the program was killed "
                    "while writing it) is named on stderr, with its line number, and skipped. "
                    "Exit status 3 when any unit failed, otherwise 2 when a line holds no record, "
                    "otherwise 0."),
         .listNote = nullptr,
         .talksToPlc = false,
         .laysOutPages = false,
         .handler = commandLog},
        {.name = "export",
         .forms = {{"export FILE OUT.json",
                    QT_TRANSLATE_NOOP("Cli", "the project as JSON (the object show --json "
                                             "prints)")},
                   {"export FILE --csv TABLE OUT.csv",
                    QT_TRANSLATE_NOOP("Cli", "one table as CSV; TABLE: uart1, uart2 or sensors")}},
         .minArguments = 2,
         .maxArguments = 2,
         .argumentsText = "a project file and a JSON file (with --csv, a CSV file)",
         .options = {{"force", QT_TRANSLATE_NOOP("Cli", "replace an existing file")},
                     {"csv",
                      QT_TRANSLATE_NOOP("Cli", "this table as CSV (uart1, uart2, sensors)")}},
         .details = QT_TRANSLATE_NOOP("Cli", "An existing output file is kept unless --force."),
         .listNote = nullptr,
         .talksToPlc = false,
         .laysOutPages = false,
         .handler = commandExport},
        {.name = "import",
         .forms = {{"import IN.json FILE",
                    QT_TRANSLATE_NOOP("Cli", "a project file built from its JSON, checked whole "
                                             "first")}},
         .minArguments = 2,
         .maxArguments = 2,
         .argumentsText = "a JSON file and a project file",
         .options = {{"force", QT_TRANSLATE_NOOP("Cli", "replace an existing file")}},
         .details = QT_TRANSLATE_NOOP(
             "Cli", "Nothing is written while the JSON holds a fault; each fault is reported on "
                    "a line of its own, after the JSON file's name. An existing FILE is kept "
                    "unless --force."),
         .listNote = nullptr,
         .talksToPlc = false,
         .laysOutPages = false,
         .handler = commandImport},
        {.name = "import-table",
         .forms = {{"import-table FILE TABLE IN.csv",
                    QT_TRANSLATE_NOOP("Cli", "replaces one table of the project with the CSV's "
                                             "rows")}},
         .minArguments = 3,
         .maxArguments = 3,
         .argumentsText = "a project file, uart1, uart2 or sensors, and a CSV file",
         .options = {{"force", QT_TRANSLATE_NOOP("Cli", "replace a table that holds rows")}},
         .details = QT_TRANSLATE_NOOP(
             "Cli", "TABLE: uart1, uart2 or sensors. A project file that is not there yet is "
                    "made from the ports as a fresh window has them; a table that holds rows is "
                    "kept unless --force."),
         .listNote = nullptr,
         .talksToPlc = false,
         .laysOutPages = false,
         .handler = commandImportTable},
        {.name = "report",
         .forms = {{"report FILE OUT.pdf|OUT.html",
                    QT_TRANSLATE_NOOP("Cli", "the printable configuration sheet")}},
         .minArguments = 2,
         .maxArguments = 2,
         .argumentsText = "a project file and a .pdf or .html file",
         .options = {{"force", QT_TRANSLATE_NOOP("Cli", "replace an existing file")}},
         .details = QT_TRANSLATE_NOOP(
             "Cli", "The ports, their tables and the configuration check's findings, as PDF or "
                    "HTML by the output's extension. An existing output file is kept unless "
                    "--force."),
         .listNote = QT_TRANSLATE_NOOP("Cli", "Files written are kept unless --force "
                                              "(import-table: a\ntable that holds rows)"),
         .talksToPlc = false,
         .laysOutPages = true,
         .handler = commandReport},
        {.name = "diag",
         .forms = {{"diag uart1|uart2|1wire",
                    QT_TRANSLATE_NOOP("Cli", "the decoded error buffer, one line per slot")}},
         .minArguments = 1,
         .maxArguments = 1,
         .argumentsText = "uart1, uart2 or 1wire",
         .options = {},
         .details = QT_TRANSLATE_NOOP(
             "Cli", "Each line holds the slot's number, type and text, separated by tabs."),
         .listNote = nullptr,
         .talksToPlc = true,
         .laysOutPages = false,
         .handler = commandDiag},
        {.name = "search",
         .forms = {{"search", QT_TRANSLATE_NOOP("Cli", "the 1-wire bus search: the count, then "
                                                       "one ROM code per line")}},
         .minArguments = 0,
         .maxArguments = 0,
         .argumentsText = "no arguments",
         .options = {},
         .details = QT_TRANSLATE_NOOP("Cli", "A ROM code is 16 hex digits, Byte 0 first."),
         .listNote = nullptr,
         .talksToPlc = true,
         .laysOutPages = false,
         .handler = commandSearch},
        {.name = "restart",
         .forms = {{"restart", QT_TRANSLATE_NOOP("Cli", "restart the PLC")}},
         .minArguments = 0,
         .maxArguments = 0,
         .argumentsText = "no arguments",
         .options = {},
         .details = QT_TRANSLATE_NOOP("Cli", "Exit status 1, with the reason on stderr, when the "
                                             "PLC refuses the restart or does not answer."),
         .listNote = nullptr,
         .talksToPlc = true,
         .laysOutPages = false,
         .handler = commandRestart},
        {.name = "to-ieee",
         .forms = {{"to-ieee NUMBER", QT_TRANSLATE_NOOP("Cli", "8 hex digits")}},
         .minArguments = 1,
         .maxArguments = 1,
         .argumentsText = "a number",
         .options = {},
         .details = QT_TRANSLATE_NOOP(
             "Cli", "The 4 bytes of NUMBER as an IEEE 754 single-precision value, as the "
                    "converter shows them. A negative number is an argument, not an option: "
                    "to-ieee -1.5."),
         .listNote = nullptr,
         .talksToPlc = false,
         .laysOutPages = false,
         .handler = commandToIeee},
        {.name = "to-float",
         .forms = {{"to-float HEX", QT_TRANSLATE_NOOP("Cli", "the number, as the converter shows "
                                                             "it")}},
         .minArguments = 1,
         .maxArguments = 1,
         .argumentsText = "8 hex digits",
         .options = {},
         .details = QT_TRANSLATE_NOOP(
             "Cli", "HEX: the 4 bytes of an IEEE 754 single-precision value, 8 hex digits."),
         .listNote = nullptr,
         .talksToPlc = false,
         .laysOutPages = false,
         .handler = commandToFloat},
    };
    return commands;
}

const CliCommand *findCliCommand(const QString &name)
{
    for (const CliCommand &command : cliCommands()) {
        if (name == QLatin1String(command.name))
            return &command;
    }
    return nullptr;
}

bool CliCommand::takes(const QString &option) const
{
    return std::any_of(options.begin(), options.end(), [&](const CliOptionUse &use) {
        return option == QLatin1String(use.option);
    });
}

} // namespace Cli
