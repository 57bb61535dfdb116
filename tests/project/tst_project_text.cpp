// A project's text forms: JSON and CSV round trips, the faults an import names (and that it then
// changes nothing), and the CSV reader.
#include "common/csv.h"
#include "common/errors.h"
#include "modbus/modbus_port.h"
#include "modbus/slave_table.h"
#include "onewire/aux_port.h"
#include "project/project_file.h"
#include "project/project_json.h"
#include "project/table_csv.h"
#include "support/full_project.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(ProjectRecord)

namespace {

ProjectRecord fileRecord(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? ProjectRecord::fromBytes(f.readAll()) : ProjectRecord();
}

// The ports of a fresh window, or holding a record.
struct Ports
{
    QTemporaryDir dir;
    ModbusPort uart1{ModbusPortInfo::uart1()};
    ModbusPort uart2{ModbusPortInfo::uart2()};
    AuxPort aux;
    ProjectPorts ports() { return {uart1, uart2, aux}; }
    Ports()
    {
        uart1.setStartUpValues(dir.filePath("set.ini"));
        uart2.setStartUpValues(dir.filePath("set.ini"));
    }
    explicit Ports(const ProjectRecord &record) { Apply_project_record(record, ports()); }
    // The record as a save writes it: the fields a project uses, nothing else.
    ProjectRecord saved()
    {
        ProjectRecord r;
        Fill_project_record(r, ports());
        return r;
    }
};

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
        QTest::newRow("example") << fileRecord(QFINDTESTDATA("../../examples/two-masters.dpc"));
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
        for (const auto t : {ProjectTable::Uart1, ProjectTable::Uart2, ProjectTable::Sensors}) {
            Ports copy;
            const QByteArray csv = projectTableCsv(t, before.ports());
            importProjectTableCsv(t, csv, copy.ports());
            QCOMPARE(projectTableCsv(t, copy.ports()), csv); // the same cells
        }
    }

    void jsonFaultsAreNamedByTheirPlace_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("fault");
        QTest::newRow("truncated") << "\"uart2\""
                                   << ""
                                   << "line 74, column 5: unterminated object";
        QTest::newRow("empty") << "*"
                               << ""
                               << "the text is empty: a project is one JSON object";
        QTest::newRow("wrong type") << "\"speed\": 115200"
                                    << "\"speed\": \"115200\""
                                    << "uart1.speed: \"115200\" is not a number";
        QTest::newRow("unknown key") << "\"parity\""
                                     << "\"parrity\""
                                     << "uart1.parrity: unknown key\nuart1.parity: missing";
        QTest::newRow("UART 2 keeps no data bits")
            << "\"mode\": \"Modbus master\",\n        \"parity\": \"Even\""
            << "\"dataBits\": 8, \"mode\": \"Modbus master\", \"parity\": \"Even\""
            << "uart2.dataBits: unknown key";
        QTest::newRow("timeout") << "\"timeoutMs\": 300\n            }\n        ]"
                                 << "\"timeoutMs\": 5000 } ]"
                                 << "uart1.slaves[3].timeoutMs: 5000 is above 4095";
        QTest::newRow("bad ROM") << "286164118D2C01F3"
                                 << "28FF64"
                                 << "aux.sensors[1].rom: \"28FF64\" is not 16 hex digits";
        QTest::newRow("words past the area")
            << "\"addressSlave\": 200"
            << "\"addressSlave\": 7998"
            << "uart1.slaves[2].addressSlave: 7998 is above 7997 (0 to 7999 less numWord 2)";
        QTest::newRow("name of another function")
            << "\"functionName\": \"Read coils\""
            << "\"functionName\": \"Write coils\""
            << "uart1.slaves[3].functionName: \"Write coils\" is not function 0 (\"Read coils\")";
        QTest::newRow("slots out of order") << "\"slot\": 2"
                                            << "\"slot\": 7"
                                            << "uart1.slaves[1].slot: 7 is not 2: the items count "
                                               "from 1";
        QTest::newRow("129 sensors")
            << "\"rom\": \"28AA0B4512000099\"\n            }"
            << "\"rom\": \"28AA0B4512000099\"}" +
                   QString(", {\"rom\": \"2800000000000000\", \"register\": 0}").repeated(126)
            << "aux.sensors: 129 sensors, at most 128";
        QTest::newRow("later format") << "\"format\": 1"
                                      << "\"format\": 2"
                                      << "format: 2 is not a format this program reads (1)";
    }
    void jsonFaultsAreNamedByTheirPlace()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, fault);
        QString json = QString::fromUtf8(
            projectJson(fileRecord(QFINDTESTDATA("../../examples/two-masters.dpc"))));
        if (from == QLatin1String("*"))
            json = to;
        else if (to.isEmpty())
            json.truncate(json.indexOf(from));
        else
            json.replace(json.indexOf(from), from.size(), to);
        const QString got = inputFault([&] { projectRecordFromJson(json.toUtf8()); });
        QCOMPARE(got, fault);
    }

    void csvFaultsNameTheirLineAndChangeNothing_data()
    {
        QTest::addColumn<int>("table");
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<QString>("fault");
        const QByteArray header = "Slot,Address,Num word,Address slave,Address master,Function,"
                                  "\"Timeout,[ms]\"\r\n";
        QTest::newRow("empty file") << 1 << QByteArray()
                                    << "the text is empty: its first line must name the columns "
                                       "(Slot, Address, Num word, Address slave, Address master, "
                                       "Function, Timeout,[ms])";
        QTest::newRow("missing column")
            << 1 << QByteArray("Address,Num word\n1,2\n") << "line 1: no column \"Address slave\"";
        QTest::newRow("quoted field with a newline")
            << 1 << header + "1,1,1,0,0,1,100\n\"\",\"1\n2\",1,0,0,1,100\n"
            << "line 3: the \"Address\" field holds a line break";
        QTest::newRow("row 2 polls address 249")
            << 1 << header + "\n1,1,1,0,0,1,100\n2,249,1,0,0,1,100\n"
            << "line 4: You configuration has error in the slave address data - row 2\r\n"
               "Column [Address]";
        QTest::newRow("not a number") << 1 << header + "1,x,1,0,0,1,100\n"
                                      << "line 2: Row 1, column [Address]: \"x\" is not a number";
        QTest::newRow("129 slaves") << 1 << header + QByteArray("1,1,1,0,0,1,100\n").repeated(129)
                                    << "line 130: You configuration has error in the number of "
                                       "slaves. \r\nMaximum allowed number is 128 ";
        QTest::newRow("short row") << 1 << header + "1,1,1,0,0,1\n"
                                   << "line 2: 6 fields, the header line has 7";
        QTest::newRow("unclosed quote") << 1 << header + "1,\"1,1,0,0,1,100\n"
                                        << "line 2: a quoted field is not closed";
        QTest::newRow("not UTF-8") << 1 << header + "1,\xff,1,0,0,1,100\n"
                                   << "line 2: the text is not UTF-8";
        QTest::newRow("sensor byte")
            << 2
            << QByteArray("Byte 0;Byte 1;Byte 2;Byte 3;Byte 4;Byte 5;Byte 6;Byte 7;Dxxxx\n"
                          "28;FF;64;1;0F;0;0;5A;3000\n")
            << "line 2: You configuration has error in the addresing data - row 1\r\nColumn Byte 3";
        QTest::newRow("unknown column") << 2 << QByteArray("Num,Byte 0,Bite 1\n")
                                        << "line 1: unknown column \"Bite 1\"; the columns are "
                                           "Num, Byte 0, Byte 1, Byte 2, Byte 3, Byte 4, Byte 5, "
                                           "Byte 6, Byte 7, Dxxxx";
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
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("records"); // line:field|field, records joined by " / "
        QTest::newRow("commas, LF") << QByteArray("a,b\nc,d\n") << "1:a|b / 2:c|d";
        QTest::newRow("no last line break") << QByteArray("a,b\r\nc,d") << "1:a|b / 2:c|d";
        QTest::newRow("CR alone") << QByteArray("a\rb\r") << "1:a / 2:b";
        QTest::newRow("quoted separator and quotes")
            << QByteArray("\"a,1\",\"say \"\"hi\"\"\"\n") << "1:a,1|say \"hi\"";
        QTest::newRow("quoted line break moves the line on")
            << QByteArray("\"x\r\ny\",z\nw\n") << "1:x\r\ny|z / 3:w";
        QTest::newRow("semicolons, comma inside") << QByteArray("a;1,5;c\n") << "1:a|1,5|c";
        QTest::newRow("empty fields") << QByteArray(",\n\n") << "1:| / 2:";
        QTest::newRow("quote in a bare field")
            << QByteArray("a,b\"c\n")
            << "line 1: a quote inside a field that does not start with one";
        QTest::newRow("text after a closing quote")
            << QByteArray("a\n\"b\"c\n") << "line 2: text after the closing quote of a field";
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
