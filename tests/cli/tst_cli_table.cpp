// The table of commands: the general list --help shows (the manual page and the completion are
// written from it), each command's own help, and the checks of a command line against it.
#include "cli/cli_command.h"
#include "cli/cli_syntax.h"
#include "common/errors.h"

#include <QCommandLineParser>
#include <QRegularExpression>
#include <QtTest>

using namespace Cli;

namespace {
// What checking the arguments (program name left out) says: the first line of the usage error,
// or nothing when they suit the command.
QString checked(const QStringList &arguments)
{
    QCommandLineParser parser;
    setUpParser(parser);
    if (!parser.parse(QStringList{QStringLiteral("plc-config")} + arguments))
        return parser.errorText();
    try {
        checkedCommand(parser);
    } catch (const InputError &e) {
        return e.description().section(QLatin1Char('\n'), 0, 0);
    }
    return {};
}
} // namespace

class TestCliTable : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Laid out exactly as the list was written by hand: from-help.pl reads its columns.
    void theGeneralListKeepsItsLayout()
    {
        QFile file(QFINDTESTDATA("commands_help.txt"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(commandsHelp(), QString::fromUtf8(file.readAll()));
    }

    void eachUsageAgreesWithItsCommand_data()
    {
        QTest::addColumn<QString>("name");
        for (const CliCommand &command : cliCommands())
            QTest::newRow(command.name) << QString::fromUtf8(command.name);
    }
    // The options a usage shows are the command's, its arguments as many as it takes.
    void eachUsageAgreesWithItsCommand()
    {
        QFETCH(QString, name);
        const CliCommand *command = findCliCommand(name);
        QVERIFY(command && command->handler);
        QVERIFY(!command->forms.isEmpty());
        static const QRegularExpression optionWord(QStringLiteral("^\\[?--([a-z-]+)"));
        for (const CliForm &form : command->forms) {
            QStringList words =
                QString::fromUtf8(form.usage).split(QRegularExpression(QStringLiteral("\\s+")));
            QCOMPARE(words.takeFirst(), name);
            int arguments = 0;
            bool bracketed = false;
            for (qsizetype i = 0; i < words.size(); ++i) {
                const QString &word = words[i];
                const auto option = optionWord.match(word);
                if (option.hasMatch()) {
                    QVERIFY2(command->takes(option.captured(1)), qPrintable(word));
                    if (!word.startsWith(QLatin1Char('[')) &&
                        valueOptions().contains(QStringLiteral("--") + option.captured(1)))
                        ++i;
                }
                if (word.startsWith(QLatin1Char('[')))
                    bracketed = true;
                if (!bracketed && !option.hasMatch())
                    ++arguments;
                if (word.contains(QLatin1Char(']')))
                    bracketed = false;
            }
            QVERIFY2(arguments >= command->minArguments && arguments <= command->maxArguments,
                     form.usage);
        }
    }

    void eachCommandHasItsOwnHelp_data() { eachUsageAgreesWithItsCommand_data(); }
    // Its usage, the options it takes, the port's options when it talks to a PLC; no other
    // command's options.
    void eachCommandHasItsOwnHelp()
    {
        QFETCH(QString, name);
        const CliCommand &command = *findCliCommand(name);
        const QString help = commandHelp(command);
        QVERIFY2(help.startsWith(QStringLiteral("usage: plc-config [OPTIONS] ") +
                                 QString::fromUtf8(command.forms.first().usage)
                                     .replace(QLatin1Char('\n'), QLatin1Char(' ')) +
                                 QLatin1Char('\n')),
                 qPrintable(help));
        const QString options = help.section(QStringLiteral("\nOptions:\n"), 1);
        QVERIFY(!options.isEmpty());
        for (const char *option : {"only", "verify", "force", "json", "csv"}) {
            QCOMPARE(options.contains(QStringLiteral("  --%1 ").arg(QLatin1String(option))),
                     command.takes(QLatin1String(option)));
        }
        for (const char *option : {"port", "ports", "line", "trace"}) {
            QCOMPARE(options.contains(QStringLiteral("  --%1 ").arg(QLatin1String(option))),
                     command.talksToPlc);
        }
        QVERIFY(options.contains(QStringLiteral("  --config-dir DIR ")));
    }

    void commandLinesAreCheckedAgainstTheTable_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("said"); // empty: accepted
        const QString force = QStringLiteral("--force goes with upload, export, import, "
                                             "import-table, report");
        QTest::newRow("no command") << QStringList{"--trace"} << "No command given.";
        QTest::newRow("unknown command") << QStringList{"frob"} << "Unknown command \"frob\".";
        QTest::newRow("write with its options")
            << QStringList{"write", "x.dpc", "--only", "aux", "--verify"} << QString();
        QTest::newRow("--only given to upload")
            << QStringList{"upload", "x.dpc", "--only", "aux"} << "--only goes with write";
        QTest::newRow("--verify given to compare")
            << QStringList{"compare", "x.dpc", "--verify"} << "--verify goes with write";
        QTest::newRow("--force given to show") << QStringList{"show", "x.dpc", "--force"} << force;
        QTest::newRow("--force given to import-table")
            << QStringList{"import-table", "x.dpc", "uart1", "in.csv", "--force"} << QString();
        QTest::newRow("--json given to test")
            << QStringList{"test", "--json"} << "--json goes with show, check, log";
        QTest::newRow("--csv given to import")
            << QStringList{"import", "in.json", "x.dpc", "--csv", "uart1"}
            << "--csv goes with export";
        QTest::newRow("export with --csv and --force")
            << QStringList{"export", "x.dpc", "--csv", "uart1", "out.csv", "--force"} << QString();
        QTest::newRow("the first misplaced option is named")
            << QStringList{"test", "--json", "--force"} << force;
        QTest::newRow("misplaced before the argument count")
            << QStringList{"test", "x", "--json"} << "--json goes with show, check, log";
        QTest::newRow("an empty --port")
            << QStringList{"--port", "", "test"}
            << "--port takes COM1 to COM10, a device path, rfc2217://HOST:PORT or "
               "tcp://HOST:PORT";
        QTest::newRow("test with an argument") << QStringList{"test", "x"}
                                               << "test takes no "
                                                  "arguments";
        QTest::newRow("show with two")
            << QStringList{"show", "x", "y"} << "show takes a project file";
        QTest::newRow("import-table with two")
            << QStringList{"import-table", "x.dpc", "uart1"}
            << "import-table takes a project file, uart1, uart2 or sensors, and a CSV file";
        QTest::newRow("several ports for show")
            << QStringList{"--port", "COM1", "--port", "COM2", "show", "x.dpc"}
            << "show uses no port: it takes neither --ports nor more than one --port";
        QTest::newRow("several ports for search")
            << QStringList{"--port", "COM1", "--port", "COM2", "search"} << QString();
    }
    void commandLinesAreCheckedAgainstTheTable()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, said);
        QCOMPARE(checked(arguments), said);
    }

    void optionsSayWhichCommandsTheyGoWith_data()
    {
        QTest::addColumn<QString>("said");
        QTest::newRow("one command") << "--only <PORT> write: only this port (uart1, uart2, aux).";
        QTest::newRow("two commands, two texts")
            << "--json show: one JSON object; check: the findings as a JSON array; log: "
               "records as the log holds them, one JSON object a line.";
        QTest::newRow("commands that agree, and a verb not said twice")
            << "--force upload, export, import, report: replace an existing file; import-table: "
               "a table that holds rows.";
    }
    // In --help, and so in the manual page.
    void optionsSayWhichCommandsTheyGoWith()
    {
        QFETCH(QString, said);
        QCommandLineParser parser;
        setUpParser(parser);
        QVERIFY2(parser.helpText().simplified().contains(said), qPrintable(parser.helpText()));
    }

    // --only and --csv take a value, --verify does not; --port and --line open the window too.
    void optionsTakingValuesAndTheCommandLinesOwn()
    {
        QCOMPARE(valueOptions(), (QStringList{"--config-dir", "--port", "--ports", "--line",
                                              "--only", "--csv", "--log"}));
        QCOMPARE(commandLineOptions(), (QStringList{"--ports", "--trace", "--only", "--verify",
                                                    "--force", "--json", "--csv", "--log"}));
    }
};

QTEST_GUILESS_MAIN(TestCliTable)
#include "tst_cli_table.moc"
