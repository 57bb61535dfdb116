// A project's text forms: JSON and CSV round trips, the faults an import names (and that it then
// changes nothing), what any input may put into a message, and the CSV reader.
#include "cli/terminal_prompts.h"
#include "common/csv.h"
#include "common/errors.h"
#include "common/untrusted_text.h"
#include "modbus/slave_table.h"
#include "project/project_file.h"
#include "project/project_json.h"
#include "project/table_csv.h"
#include "support/file_bytes.h"
#include "support/full_project.h"
#include "support/start_up_ports.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QtTest>

#include <cstdio>

Q_DECLARE_METATYPE(ProjectRecord)

namespace {

ProjectRecord fileRecord(const QString &path)
{
    return ProjectRecord::fromBytes(fileBytes(path));
}

// The ports of a fresh window, or holding a record.
struct Ports : StartUpPorts
{
    Ports() = default;
    explicit Ports(const ProjectRecord &record) { Apply_project_record(record, ports()); }
    // The record as a save writes it: the fields a project uses, nothing else.
    ProjectRecord saved()
    {
        ProjectRecord r;
        Fill_project_record(r, ports());
        return r;
    }
};

// A record whose every field is random within what a sound project file holds; the places no
// project uses hold random bytes too.
ProjectRecord randomRecord(QRandomGenerator &random)
{
    using R = ProjectRecord;
    QByteArray bytes(R::Size, '\0');
    for (char &b : bytes)
        b = char(random.bounded(256));
    ProjectRecord r = ProjectRecord::fromBytes(bytes);
    auto byte = [&](int below) { return quint8(random.bounded(below)); };
    auto word = [&] { return qint16(random.bounded(-32768, 32768)); };
    // Small tables more often than full ones, so that a few hundred projects stay quick.
    auto count = [&] { return random.bounded(10) == 0 ? random.bounded(129) : random.bounded(6); };
    for (const auto block : {R::Uart1, R::Uart2}) {
        const int slaves = count();
        for (int i = 0; i < slaves; ++i) {
            r.setSlave(block, i,
                       {byte(256), byte(256), byte(256), quint16(random.bounded(65536)),
                        quint16(random.bounded(65536)), word()});
        }
        r.setByteField(block, R::SlaveCountOffset, quint8(slaves));
        r.setByteField(block, R::ModeOffset, byte(3));
        r.setByteField(block, R::SpeedOffset, byte(8));
        r.setByteField(block, R::ParityOffset, byte(3));
        r.setSlaveTimeout(block, float(word()));
    }
    r.setByteField(R::Uart1, R::BitNumberOffset, byte(3));
    r.setByteField(R::Uart1, R::StopBitOffset, byte(3));
    const int sensors = count();
    for (int i = 0; i < sensors; ++i) {
        SensorEntry e;
        for (quint8 &b : e.rom)
            b = byte(256);
        e.reg = word();
        r.setSensor(R::Aux, i, e);
    }
    r.setByteField(R::Aux, R::SensorCountOffset, quint8(sensors));
    r.setByteField(R::Aux, R::ModeOffset, byte(3));
    return r;
}

// The example project's JSON with one piece replaced (see jsonFaultsAreNamedByTheirPlace).
QByteArray editedExample(const QString &from, const QString &to)
{
    QString json =
        QString::fromUtf8(projectJson(fileRecord(QFINDTESTDATA("../../examples/two-masters.dpc"))));
    if (from == QLatin1String("*"))
        json = to;
    else if (to.isEmpty())
        json.truncate(json.indexOf(from));
    else
        json.replace(json.indexOf(from), from.size(), to);
    return json.toUtf8();
}

QString inputFault(const std::function<void()> &import)
{
    try {
        import();
    } catch (const InputError &e) {
        return e.description();
    }
    return QString();
}

} // namespace

class TestProjectText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void projectsRoundTrip_data()
    {
        QTest::addColumn<ProjectRecord>("record");
        for (const QFileInfo &example :
             QDir(QStringLiteral(PLC_EXAMPLES_DIR)).entryInfoList({QStringLiteral("*.dpc")})) {
            QTest::newRow(qPrintable(example.fileName())) << fileRecord(example.filePath());
        }
        QTest::newRow("sound fixture")
            << fileRecord(QFINDTESTDATA("../fixtures/project/sound.dpc"));
        QTest::newRow("128 slaves twice, 128 sensors") << fullProjectRecord();
        QTest::newRow("start-up state") << Ports().saved();
    }
    // dpc -> JSON -> dpc gives every used field back; each table -> CSV -> table gives its cells
    // back, and the rows pass the checks of a write.
    void projectsRoundTrip()
    {
        QFETCH(ProjectRecord, record);
        Ports before(record);
        QCOMPARE(projectRecordFromJson(projectJson(record)), before.saved());
        if (QByteArray(QTest::currentDataTag()) == "mistakes.dpc")
            return; // its tables are meant to fail the checks a CSV import holds them to
        for (const auto t : {ProjectTable::Uart1, ProjectTable::Uart2, ProjectTable::Sensors}) {
            Ports copy;
            const QByteArray csv = projectTableCsv(t, before.ports());
            importProjectTableCsv(t, csv, copy.ports());
            QCOMPARE(projectTableCsv(t, copy.ports()), csv); // the same cells
        }
    }

    // Whatever a project file can hold comes back from its JSON, however unwise for the PLC.
    void generatedProjectsRoundTrip()
    {
        QRandomGenerator random(20261207);
        for (int i = 0; i < 200; ++i) {
            const ProjectRecord record = randomRecord(random);
            QVERIFY(projectRecordFault(record.bytes()).isEmpty());
            const QByteArray json = projectJson(record);
            ProjectRecord back;
            const QString fault = inputFault([&] { back = projectRecordFromJson(json); });
            QVERIFY2(fault.isEmpty(),
                     qPrintable(QStringLiteral("project %1: %2").arg(i).arg(fault)));
            QVERIFY2(back == Ports(record).saved(),
                     qPrintable(QStringLiteral("project %1").arg(i)));
            QCOMPARE(projectJson(back), json);
        }
    }

    void jsonFaultsAreNamedByTheirPlace_data()
    {
        auto row = [](const char *name, const QString &from, const QString &to,
                      const QString &fault) { QTest::newRow(name) << from << to << fault; };
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("fault");
        row("truncated", "\"uart2\"", "", "line 74, column 5: unterminated object");
        row("empty", "*", "", "the text is empty: a project is one JSON object");
        row("wrong type", "\"speed\": 115200", "\"speed\": \"115200\"",
            "uart1.speed: \"115200\" is not a number");
        row("unknown key", "\"parity\"", "\"parrity\"",
            "uart1.parrity: unknown key\nuart1.parity: missing");
        row("UART 2 keeps no data bits",
            "\"mode\": \"Modbus master\",\n        \"parity\": \"Even\"",
            "\"dataBits\": 8, \"mode\": \"Modbus master\", \"parity\": \"Even\"",
            "uart2.dataBits: unknown key");
        row("timeout", "\"timeoutMs\": 300\n            }\n        ]", "\"timeoutMs\": 40000 } ]",
            "uart1.slaves[3].timeoutMs: 40000 is above 32767");
        row("bad ROM", "286164118D2C01F3", "28FF64",
            "aux.sensors[1].rom: \"28FF64\" is not 16 hex digits");
        row("address beyond 16 bits", "\"addressSlave\": 200", "\"addressSlave\": 65536",
            "uart1.slaves[2].addressSlave: 65536 is above 65535");
        row("name of another function", "\"functionName\": \"Read coils\"",
            "\"functionName\": \"Write coils\"",
            "uart1.slaves[3].functionName: \"Write coils\" is not function 0 (\"Read coils\")");
        row("slots out of order", "\"slot\": 2", "\"slot\": 7",
            "uart1.slaves[1].slot: 7 is not 2: the items count from 1");
        row("129 sensors", "\"rom\": \"28AA0B4512000099\"\n            }",
            "\"rom\": \"28AA0B4512000099\"}" +
                QString(", {\"rom\": \"2800000000000000\", \"register\": 0}").repeated(126),
            "aux.sensors: 129 items, at most 128");
        row("key twice", "\"parity\": \"None\"", "\"parity\": \"None\", \"parity\": \"Even\"",
            "uart1.parity: the key comes twice (line 26)");
        row("key twice in a slave", "\"slot\": 2", "\"slot\": 2, \"address\": 2",
            "uart1.slaves[1].address: the key comes twice (line 47)");
        row("terminal control in a key", "\"parity\"",
            "\"\u001b]0;owned\u0007\u001b[2J\": 0, \"parity\"",
            "uart1[\"\\u001B]0;owned\\u0007\\u001B[2J\"]: unknown key");
        row("line break and quote in a key", "\"parity\"", "\"a\\nb\\\"c\": 0, \"parity\"",
            "uart1[\"a\\nb\\\"c\"]: unknown key");
        row("right-to-left mark in a value", "\"parity\": \"None\"", "\"parity\": \"No\u202Ene\"",
            "uart1.parity: \"No\\u202Ene\" is not one of \"Odd\", \"Even\", \"None\"");
        row("long value cut short", "\"parity\": \"None\"",
            "\"parity\": \"" + QString(5000, 'x') + "\"",
            "uart1.parity: \"" + QString(57, 'x') +
                "...\" is not one of \"Odd\", \"Even\", \"None\"");
        row("later format", "\"format\": 1", "\"format\": 2",
            "format: 2 is not a format this program reads (1)");
    }
    void jsonFaultsAreNamedByTheirPlace()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, fault);
        const QByteArray json = editedExample(from, to);
        const QString got = inputFault([&] { projectRecordFromJson(json); });
        QCOMPARE(got, fault);
    }

    // What the PLC may refuse but a project file holds is for check and write to name.
    void unwiseValuesImport_data()
    {
        auto row = [](const char *name, const QString &from, const QString &to) {
            QTest::newRow(name) << from << to;
        };
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        row("slave timeout 5000", "\"timeoutMs\": 300", "\"timeoutMs\": 5000");
        row("Num word 126", "\"numWord\": 2", "\"numWord\": 126");
        row("Address slave 40000", "\"addressSlave\": 200", "\"addressSlave\": 40000");
        row("Modbus address 0", "\"address\": 1,", "\"address\": 0,");
        row("function without a name",
            "\"function\": 0,\n                \"functionName\": \"Read coils\",",
            "\"function\": 9,");
        row("negative register", "\"register\": 3000", "\"register\": -5");
        row("slave mode at address 0", "\"mode\": \"Modbus master\",\n        \"parity\": \"Even\"",
            "\"mode\": \"Modbus slave\", \"parity\": \"Even\"");
    }
    void unwiseValuesImport()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QByteArray json = editedExample(from, to);
        QVERIFY(json.contains(to.toUtf8()));
        json.replace("\"slaveAddress\": 1", "\"slaveAddress\": 0");
        QString fault;
        ProjectRecord record;
        fault = inputFault([&] { record = projectRecordFromJson(json); });
        QCOMPARE(fault, QString());
        QCOMPARE(projectJson(record), projectJson(projectRecordFromJson(projectJson(record))));
        QVERIFY(projectJson(record).simplified().contains(to.toUtf8().simplified()));
    }

    // However many faults a text holds, the first twenty are named and the rest counted; a list
    // longer than a project's tables and a text of more values than any project are refused
    // without being read.
    void faultListsStayShort_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("fault");
        QString keys;
        for (int i = 0; i < 30; ++i)
            keys += QStringLiteral(", \"k%1\": 0").arg(i, 2, 10, QLatin1Char('0'));
        QStringList first;
        for (int i = 0; i < 20; ++i)
            first << QStringLiteral("k%1: unknown key").arg(i, 2, 10, QLatin1Char('0'));
        QTest::newRow("30 unknown keys") << editedExample("\"format\": 1", "\"format\": 1" + keys)
                                         << first.join('\n') + "\nand 10 more";
        QTest::newRow("50000 empty slaves")
            << editedExample("\"slaves\": [", "\"slaves\": [" + QString("{},").repeated(50000))
            << "uart1.slaves: 50004 items, at most 128";
        QString many;
        for (int i = 0; i < 10001; ++i)
            many += QStringLiteral("\"k%1\": 0,").arg(i);
        QTest::newRow("more values than any project")
            << ("{" + many + "\"k\": 0}").toUtf8()
            << "line 1, column 108890: more than 10000 values; no project holds that many";
    }
    void faultListsStayShort()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, fault);
        QCOMPARE(inputFault([&] { projectRecordFromJson(json); }), fault);
    }

    // A list that is not read still leaves a syntax error in it or after it where the parser
    // finds it in the whole text.
    void syntaxFaultsAroundAnUnreadListKeepTheirPlace_data()
    {
        QTest::addColumn<QByteArray>("json");
        const QByteArray longList =
            editedExample("\"slaves\": [", "\"slaves\": [" + QString("{},\n").repeated(300));
        QTest::newRow("cut off at the end") << longList.left(longList.size() - 3);
        QTest::newRow("a comma too many before the list")
            << QByteArray(longList).replace("\"format\": 1", "\"format\": 1,,");
        QTest::newRow("a value missing in an item of the list")
            << QByteArray(longList).replace("\"slot\": 3", "\"slot\": ");
        QTest::newRow("a comma missing between items of the list")
            << QByteArray(longList).replace("{},\n{},", "{}\n{},");
        QTest::newRow("a value missing in the next port")
            << QByteArray(longList).replace("\"parity\": \"Even\"", "\"parity\": ");
    }
    void syntaxFaultsAroundAnUnreadListKeepTheirPlace()
    {
        QFETCH(QByteArray, json);
        QJsonParseError error;
        QJsonDocument::fromJson(json, &error);
        QVERIFY(error.error != QJsonParseError::NoError);
        const QByteArray before = json.left(error.offset);
        const QString expected = QStringLiteral("line %1, column %2: %3")
                                     .arg(before.count('\n') + 1)
                                     .arg(error.offset - (before.lastIndexOf('\n') + 1) + 1)
                                     .arg(error.errorString());
        QCOMPARE(inputFault([&] { projectRecordFromJson(json); }), expected);
    }

    // Text from any input is shown quoted, escaped and short; line breaks of a message's own
    // stay as they are.
    void untrustedTextIsShownSafely_data()
    {
        auto row = [](const char *name, const QString &text, const QString &quoted,
                      const QString &escaped) { QTest::newRow(name) << text << quoted << escaped; };
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("quoted");
        QTest::addColumn<QString>("escaped");
        row("plain", "115200", "\"115200\"", "115200");
        row("terminal title and clear screen", "\x1b]0;x\x07\x1b[2J",
            "\"\\u001B]0;x\\u0007\\u001B[2J\"", "\\u001B]0;x\\u0007\\u001B[2J");
        row("C1 control, DEL", QString("a\u009B2J\x7f"), "\"a\\u009B2J\\u007F\"",
            "a\\u009B2J\\u007F");
        row("line breaks", "a\r\nb\tc", "\"a\\r\\nb\\tc\"", "a\r\nb\tc");
        row("quotes and backslashes", "a\"b\\c", "\"a\\\"b\\\\c\"", "a\"b\\c");
        row("bidirectional override, zero width, line separator", QString("x\u202Ey\u200Bz\u2028"),
            "\"x\\u202Ey\\u200Bz\\u2028\"", "x\\u202Ey\\u200Bz\\u2028");
        row("letters of other scripts stay", QString("Zähler ключ 😀"), QString("\"Zähler ключ 😀\""),
            QString("Zähler ключ 😀"));
        row("lone surrogate", QString(QChar(0xD800)), "\"\\uD800\"", "\\uD800");
        row("cut after 60", QString(61, 'a'), "\"" + QString(57, 'a') + "...\"", QString(61, 'a'));
        row("60 fit", QString(60, 'a'), "\"" + QString(60, 'a') + "\"", QString(60, 'a'));
        row("an escape is never split", QString(56, 'a') + "\x1b" + "bbbb",
            "\"" + QString(56, 'a') + "...\"", QString(56, 'a') + "\\u001Bbbbb");
    }
    void untrustedTextIsShownSafely()
    {
        QFETCH(QString, text);
        QFETCH(QString, quoted);
        QFETCH(QString, escaped);
        QCOMPARE(quotedText(text), quoted);
        QCOMPARE(escapedText(text, true), escaped);

        // The terminal gets the same, whatever a message was built from.
        std::FILE *err = std::tmpfile();
        QVERIFY(err);
        TerminalPrompts(err).message(text);
        std::rewind(err);
        char buffer[512] = {};
        const size_t read = std::fread(buffer, 1, sizeof buffer - 1, err);
        std::fclose(err);
        QCOMPARE(QString::fromLocal8Bit(buffer, qsizetype(read)), escaped + '\n');
    }

    void csvFaultsNameTheirLineAndChangeNothing_data()
    {
        auto row = [](const char *name, int table, const QByteArray &csv, const QString &fault) {
            QTest::newRow(name) << table << csv << fault;
        };
        QTest::addColumn<int>("table");
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<QString>("fault");
        const QByteArray header = "Slot,Address,Num word,Address slave,Address master,Function,"
                                  "\"Timeout,[ms]\"\r\n";
        row("empty file", 1, QByteArray(),
            "the text is empty: its first line must name the columns "
            "(Slot, Address, Num word, Address slave, Address master, "
            "Function, Timeout,[ms])");
        row("missing column", 1, QByteArray("Address,Num word\n1,2\n"),
            "line 1: no column \"Address slave\"");
        row("quoted field with a newline", 1,
            header + "1,1,1,0,0,1,100\n\"\",\"1\n2\",1,0,0,1,100\n",
            "line 3: the \"Address\" field holds a line break");
        row("row 2 polls address 249", 1, header + "\n1,1,1,0,0,1,100\n2,249,1,0,0,1,100\n",
            "line 4: You configuration has error in the slave address data - row 2\r\n"
            "Column [Address]");
        row("not a number", 1, header + "1,x,1,0,0,1,100\n",
            "line 2: Row 1, column [Address]: \"x\" is not a number");
        row("long cell with a control character", 1,
            header + "1,\x1b" + QByteArray(4000, 'x') + ",1,0,0,1,100\n",
            "line 2: Row 1, column [Address]: \"\\u001B" + QString(51, 'x') +
                "...\" is not a number");
        row("long number out of range", 1,
            header + "1," + QByteArray(4000, '0') + "40000,1,0,0,1,100\n",
            "line 2: Row 1, column [Address]: " + QString(57, '0') + "... is out of range");
        row("reading stops one row beyond the table", 1,
            header + QByteArray("1,1,1,0,0,1,100\n").repeated(129) + "1,\"\n",
            "line 130: You configuration has error in the number of slaves. \r\nMaximum "
            "allowed number is 128 ");
        row("a line of too many fields", 1, header + QByteArray(100000, ',') + "\n",
            "line 2: 100001 fields, the header line has 7");
        row("a header of too many columns", 1, "Slot" + QByteArray(300, ',') + "\n",
            "line 1: 301 columns, at most 256");
        row("control characters in a column title", 2, QByteArray("Num,Byte 0,\x1b[2J\n"),
            "line 1: unknown column \"\\u001B[2J\"; the columns are Num, Byte 0, Byte 1, "
            "Byte 2, Byte 3, Byte 4, Byte 5, Byte 6, Byte 7, Dxxxx");
        row("129 slaves", 1, header + QByteArray("1,1,1,0,0,1,100\n").repeated(129),
            "line 130: You configuration has error in the number of "
            "slaves. \r\nMaximum allowed number is 128 ");
        row("short row", 1, header + "1,1,1,0,0,1\n", "line 2: 6 fields, the header line has 7");
        row("unclosed quote", 1, header + "1,\"1,1,0,0,1,100\n",
            "line 2: a quoted field is not closed");
        row("not UTF-8", 1, header + "1,\xff,1,0,0,1,100\n", "line 2: the text is not UTF-8");
        row("sensor byte", 2,
            QByteArray("Byte 0;Byte 1;Byte 2;Byte 3;Byte 4;Byte 5;Byte 6;Byte 7;Dxxxx\n"
                       "28;FF;64;1;0F;0;0;5A;3000\n"),
            "line 2: You configuration has error in the addresing data - row 1\r\nColumn Byte 3");
        row("unknown column", 2, QByteArray("Num,Byte 0,Bite 1\n"),
            "line 1: unknown column \"Bite 1\"; the columns are "
            "Num, Byte 0, Byte 1, Byte 2, Byte 3, Byte 4, Byte 5, "
            "Byte 6, Byte 7, Dxxxx");
    }
    void csvFaultsNameTheirLineAndChangeNothing()
    {
        QFETCH(int, table);
        QFETCH(QByteArray, csv);
        QFETCH(QString, fault);
        Ports p(fileRecord(QFINDTESTDATA("../../examples/two-masters.dpc")));
        const ProjectRecord before = p.saved();
        const auto t = ProjectTable(table);
        QCOMPARE(inputFault([&] { importProjectTableCsv(t, csv, p.ports()); }), fault);
        QCOMPARE(p.saved(), before);
    }

    // Spreadsheets' own ways: semicolons, a byte order mark, columns in another order, titles in
    // another case, blank lines, an empty column at the right.
    void spreadsheetCsvIsRead()
    {
        Ports p;
        importProjectTableCsv(ProjectTable::Uart2,
                              "\xEF\xBB\xBF"
                              "timeout,[ms];FUNCTION;Address;Num word;Address slave;Address "
                              "master;\r\n\r\n 250 ;0;10;8;0;1100;\r\n;;;;;;\r\n400;1;11;6;0;200;",
                              p.ports());
        QCOMPARE(p.uart2.slaves().items(),
                 (QList<QStringList>{{"1", "10", "8", "0", "1100", "0", "250"},
                                     {"2", "11", "6", "0", "200", "1", "400"}}));
    }

    void csvRecordsAreRead_data()
    {
        auto row = [](const char *name, const QByteArray &text, const QString &records) {
            QTest::newRow(name) << text << records;
        };
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("records"); // line:field|field, records joined by " / "
        row("commas, LF", QByteArray("a,b\nc,d\n"), "1:a|b / 2:c|d");
        row("no last line break", QByteArray("a,b\r\nc,d"), "1:a|b / 2:c|d");
        row("CR alone", QByteArray("a\rb\r"), "1:a / 2:b");
        row("quoted separator and quotes", QByteArray("\"a,1\",\"say \"\"hi\"\"\"\n"),
            "1:a,1|say \"hi\"");
        row("quoted line break moves the line on", QByteArray("\"x\r\ny\",z\nw\n"),
            "1:x\r\ny|z / 3:w");
        row("semicolons, comma inside", QByteArray("a;1,5;c\n"), "1:a|1,5|c");
        row("empty fields", QByteArray(",\n\n"), "1:| / 2:");
        row("quote in a bare field", QByteArray("a,b\"c\n"),
            "line 1: a quote inside a field that does not start with one");
        row("text after a closing quote", QByteArray("a\n\"b\"c\n"),
            "line 2: text after the closing quote of a field");
    }
    void csvRecordsAreRead()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, records);
        QStringList got;
        try {
            for (const CsvRecord &r : readCsv(text))
                got << QString::number(r.line) + ':' + r.fields.join('|');
        } catch (const InputError &e) {
            got << e.description();
        }
        QCOMPARE(got.join(" / "), records);

        // What is written reads back as it was.
        const QList<QStringList> rows = {{"a,1", "say \"hi\"", "x\ny", " s "}, {"", "b"}};
        QList<QStringList> back;
        for (const CsvRecord &r : readCsv(writeCsv(rows)))
            back << r.fields;
        QCOMPARE(back, rows);
    }
};

QTEST_GUILESS_MAIN(TestProjectText)
#include "tst_project_text.moc"
