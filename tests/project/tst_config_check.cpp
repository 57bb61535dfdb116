// What the configuration check finds between cells, and what it must leave alone.
#include "support/config_recipe.h"

#include "project/config_check.h"

#include <QtTest>

namespace {

struct Ports
{
    ModbusPort uart1{ModbusPortInfo::uart1()};
    ModbusPort uart2{ModbusPortInfo::uart2()};
    AuxPort aux;
    explicit Ports(const QStringList &recipe) { applyRecipe({uart1, uart2, aux}, recipe); }
    QString findings() const
    {
        QString out;
        for (const Finding &f : checkConfiguration(uart1, uart2, aux))
            out += findingPlace(f) + QStringLiteral(": ") + f.text + QLatin1Char('\n');
        return out;
    }
};

} // namespace

class TestConfigCheck : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void configurationsGiveTheirFindings_data()
    {
        QTest::addColumn<QStringList>("recipe"); // lines joined by ';'
        // Each finding of examples/mistakes.dpc is pinned by the command line's test; here the
        // edges, and what must not be found.
        QTest::addColumn<QString>("found");  // part of a finding; empty: none asked for
        QTest::addColumn<QString>("absent"); // part of no finding
        auto row = [](const char *name, const QString &recipe, const char *found,
                      const char *absent = "") {
            QTest::newRow(name) << recipe.split(';', Qt::SkipEmptyParts) << QString(found)
                                << QString(absent);
        };
        const QString r1 = "uart1: 1,10,0,100,1,500;", s1 = "sensor: 28FF641E0F000034 1500;";
        row("blocks that touch", r1 + "uart1: 2,10,0,110,1,500",
            "UART 1: 2 requests, about 6.9 ms a cycle at 115200 bit/s", "overlap");
        row("a write from a read block", r1 + "uart1: 2,10,0,100,2,500", "", "overlap");
        row("coils beside registers", r1 + "uart1: 2,16,0,100,0,500", "", "overlap");
        row("coils over coils", "uart1: 2,16,0,100,0,500;uart1: 3,8,0,115,0,500",
            "coils 115 to 122 overlap row 1 (coils 100 to 115)");
        row("a port not polling", "uart1 slave;" + r1 + r1, "", "UART 1");
        row("sensors side by side", s1 + "sensor: 286164118D2C01F3 1502",
            "1-wire, row 1, Byte 0: rows 1, 2: family 28, a DS18B20 temperature sensor", "overlap");
        row("125 registers read", "uart1: 1,125,0,0,4,500", "", "Modbus limit");
        row("a write broadcast", "uart1: 0,1,0,0,2,1", "slave address 0 broadcasts the write",
            "timeout");
        row("another function", r1 + "uart1: 1,10,0,300,4,500", "", "same request");
        row("a sound ROM code", s1, "", "CRC");
        row("a mistyped ROM byte", "sensor: 28FF641E0F00005A 1500",
            "1-wire, row 1, Byte 7: CRC is 34, byte 7 holds 5A: a byte is mistyped");
        row("an unknown family", "sensor: 7F10203040506059 1500", "family 7F, unknown family");
        // 125 registers answer in 255 bytes; with the 3.5-character silence, 258.5 characters.
        row("timeout just below the wire time", "uart1 9600 None;uart1: 1,125,0,0,1,269",
            "Timeout,[ms]: the timeout of 269 ms is shorter than the answer takes on the wire: "
            "269.3 ms at 9600 bit/s (255 characters of 10 bits");
        row("timeout just above the wire time", "uart1 9600 None;uart1: 1,125,0,0,1,270", "",
            "timeout");
        row("a parity bit", "uart1 9600 Even;uart1: 1,125,0,0,1,290",
            "296.2 ms at 9600 bit/s (255 characters of 11 bits");
        row("a poll cycle",
            "uart2 38400 None;uart2: 1,10,0,100,1,500;uart2: 2,10,0,200,1,500;"
            "uart2: 3,10,0,300,1,500;uart2: 4,10,0,400,1,500",
            "UART 2: 4 requests, about 42 ms a cycle at 38400 bit/s");
        row("a cell that is no number", "uart1: x,10,0,100,1,500;" + r1,
            "UART 1, row 1, Address: Write to PLC refuses it", "overlap");
    }
    void configurationsGiveTheirFindings()
    {
        QFETCH(QStringList, recipe);
        QFETCH(QString, found);
        QFETCH(QString, absent);
        const QString all = Ports(recipe).findings();
        if (!found.isEmpty())
            QVERIFY2(all.contains(found), qPrintable(all));
        if (!absent.isEmpty())
            QVERIFY2(!all.contains(absent), qPrintable(all));
    }

    // examples/mistakes.dpc, one of each finding, is what its recipe saves (after each line, what
    // it is there for); PLC_WRITE_EXAMPLES=1 writes it anew.
    void theMistakesExampleIsMadeFromItsRecipe()
    {
        QFile recipe(QFINDTESTDATA("../fixtures/check/mistakes.recipe"));
        QVERIFY(recipe.open(QIODevice::ReadOnly | QIODevice::Text));
        const QString text = QString::fromUtf8(recipe.readAll());
        Ports ports(
            text.split('\n', Qt::SkipEmptyParts).replaceInStrings(QRegularExpression(" *#.*"), ""));
        ProjectRecord record;
        Fill_project_record(record, {ports.uart1, ports.uart2, ports.aux});
        const QString path = QStringLiteral(PLC_EXAMPLES_DIR "/mistakes.dpc");
        if (qEnvironmentVariableIsSet("PLC_WRITE_EXAMPLES"))
            writeProjectFile(path, record);
        QCOMPARE(readProjectFile(path).bytes(), record.bytes());
        // Read back, it is checked as the ports were.
        QCOMPARE(checkConfiguration(record),
                 checkConfiguration({ports.uart1, ports.uart2, ports.aux}));
    }
};

QTEST_GUILESS_MAIN(TestConfigCheck)
#include "tst_config_check.moc"
