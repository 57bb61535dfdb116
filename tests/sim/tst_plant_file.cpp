// The plant file: what a good one reads into, and every fault named by its place.

#include "sim/plant.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using sim::AddressRange;
using sim::ModbusTable;
using sim::Plant;
using sim::PlantSlave;

// Slaves are written with only the fields a case sets; the others keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

QByteArray slaves(const QByteArray &list)
{
    return R"({"uart1": {"slaves": [)" + list + "]}}";
}

QByteArray sensors(const QByteArray &list)
{
    return R"({"onewire": {"sensors": [)" + list + "]}}";
}

sim::RomCode rom(const char *text)
{
    sim::RomCode code{};
    sim::parseRom(QString::fromLatin1(text), &code);
    return code;
}

} // namespace

class TestPlantFile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void faults_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("faults");
        QTest::newRow("unknown key") << slaves(R"({"address": 1, "holdings": [0, 9]})")
                                     << "uart1.slaves[0].holdings: unknown key";
        QTest::newRow("number as text")
            << QByteArray(R"({"cycleMs": "200"})")
            << R"(cycleMs: wants a whole number from 0 to 60000, not "200")";
        QTest::newRow("fraction") << QByteArray(R"({"cycleMs": 2.5})")
                                  << "cycleMs: wants a whole number from 0 to 60000, not 2.5";
        QTest::newRow("address out of range")
            << slaves(R"({"address": 248})")
            << "uart1.slaves[0].address: wants a whole number from 1 to 247, not 248";
        QTest::newRow("range reversed")
            << slaves(R"({"address": 1, "holding": [10, 5]})")
            << "uart1.slaves[0].holding: wants [first, last], two whole numbers from 0 to 65535 "
               "with first <= last, not [10,5]";
        QTest::newRow("duplicate address")
            << slaves(R"({"address": 3}, {"address": 4}, {"address": 3})")
            << "uart1.slaves[2].address: slave 3 is listed twice, first as uart1.slaves[0]";
        QTest::newRow("slaves not a list")
            << QByteArray(R"({"uart2": {"slaves": {"address": 1}}})")
            << R"(uart2.slaves: wants a list of slaves, not {"address":1})";
        QTest::newRow("exception with two tables")
            << slaves(R"({"address": 1, "exception": {"holding": [0, 1], "coils": [0, 1]}})")
            << R"(uart1.slaves[0].exception: names more than one table ("coils", "holding"); )"
               "wants exactly one";
        QTest::newRow("exception without a table")
            << slaves(R"({"address": 1, "exception": {"code": 2}})")
            << R"(uart1.slaves[0].exception: names no table; wants one of "coils", "discrete", )"
               R"("input" or "holding" with its range)";
        QTest::newRow("bad ROM") << sensors(R"({"rom": "28FF641E0F00003"})")
                                 << R"(onewire.sensors[0].rom: wants 16 hex digits, byte 0 )"
                                    R"(first, such as "28FF641E0F000034", not "28FF641E0F00003")";
        QTest::newRow("duplicate ROM")
            << sensors(R"({"rom": "28ff641e0f000034"}, {"rom": "28FF641E0F000034"})")
            << "onewire.sensors[1].rom: 28FF641E0F000034 is listed twice, first as "
               "onewire.sensors[0]";
        QTest::newRow("syntax error with line and column")
            << QByteArray("{\n  \"cycleMs\": 200\n  \"uart1\": {}\n}")
            << "line 3, column 4: unterminated object";
        QTest::newRow("top level a list")
            << QByteArray("[1, 2]") << "top level: wants a JSON object {...}, not [1,2]";
        QTest::newRow("empty file")
            << QByteArray(" \n") << "top level: the file is empty; wants a JSON object";
        QTest::newRow("several faults in one file")
            << QByteArray(R"({"cycleMs": -1, "uart3": {}, "uart1": {"slaves": [{"address": 1, )"
                          R"("noise": 1, "exception": {"input": [0, 1], "code": 0}}, 7]}, )"
                          R"("onewire": {"sensors": [{"celsius": 125.5}]}})")
            << "uart3: unknown key\n"
               "cycleMs: wants a whole number from 0 to 60000, not -1\n"
               "uart1.slaves[0].noise: wants true or false, not 1\n"
               "uart1.slaves[0].exception.code: wants a whole number from 1 to 255, not 0\n"
               R"(uart1.slaves[1]: wants a slave, an object with at least an "address", not 7)"
               "\n"
               R"(onewire.sensors[0].rom: missing; wants 16 hex digits, byte 0 first, such as )"
               R"("28FF641E0F000034")"
               "\nonewire.sensors[0].celsius: wants a temperature from -55 to 125, not 125.5";

        QByteArray many = "{";
        QStringList lines;
        for (int i = 0; i < 25; ++i) {
            const QString key = QStringLiteral("k%1").arg(i, 2, 10, QLatin1Char('0'));
            many += (i ? ", \"" : "\"") + key.toLatin1() + "\": 0";
            if (i < 20)
                lines.append(key + QStringLiteral(": unknown key"));
        }
        lines.append(QStringLiteral("(more faults after these 20)"));
        QTest::newRow("over twenty faults") << many + "}" << lines.join(u'\n');
    }
    void faults()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, faults);
        QString found;
        QVERIFY(!sim::parsePlant(json, &found));
        QCOMPARE(found, faults);
        QVERIFY(!sim::parsePlant(json, nullptr));
    }

    // Every key once; whole numbers may be written with a zero fraction; the same address may
    // serve on both UARTs.
    void fullFile()
    {
        const QByteArray json = R"({
          "cycleMs": 200,
          "uart1": { "slaves": [
            { "address": 1, "coils": [0, 63], "discrete": [1, 62], "input": [2, 49],
              "holding": [3, 99], "delayMs": 5.0 },
            { "address": 3, "holding": [0, 19], "noise": false,
              "exception": { "holding": [10, 19], "code": 4 } },
            { "address": 4, "input": [0, 9], "noise": true,
              "exception": { "discrete": [7, 7] } } ] },
          "uart2": { "slaves": [ { "address": 1, "coils": [0, 31] } ] },
          "onewire": { "sensors": [ { "rom": "28FF641E0F000034", "celsius": -55 },
                                    { "rom": "286164118D2C01F3", "absent": true },
                                    { "rom": "28AA0B4512000099", "celsius": 125, "absent": false } ] }
        })";
        Plant expected;
        expected.cycleMs = 200;
        expected.uart1 = {{.address = 1,
                           .coils = AddressRange{0, 63},
                           .discrete = AddressRange{1, 62},
                           .input = AddressRange{2, 49},
                           .holding = AddressRange{3, 99},
                           .delayMs = 5},
                          {.address = 3,
                           .holding = AddressRange{0, 19},
                           .exception = PlantSlave::Exception{ModbusTable::Holding, {10, 19}, 4}},
                          {.address = 4,
                           .input = AddressRange{0, 9},
                           .noise = true,
                           .exception = PlantSlave::Exception{ModbusTable::Discrete, {7, 7}, 4}}};
        expected.uart2 = {{.address = 1, .coils = AddressRange{0, 31}}};
        expected.sensors = {{rom("28FF641E0F000034"), -55, false},
                            {rom("286164118D2C01F3"), 0, true},
                            {rom("28AA0B4512000099"), 125, false}};
        QString faults;
        const std::optional<Plant> plant = sim::parsePlant(json, &faults);
        QCOMPARE(faults, QString());
        QVERIFY(plant);
        QCOMPARE(*plant, expected);

        QCOMPARE(plant->slave(2, 1)->coils, AddressRange(0, 31));
        QCOMPARE(plant->slave(1, 4), &plant->uart1.at(2));
        QCOMPARE(plant->slave(2, 3), nullptr);
        const PlantSlave &first = plant->uart1.at(0);
        for (const ModbusTable table :
             {ModbusTable::Coils, ModbusTable::Discrete, ModbusTable::Input, ModbusTable::Holding})
            QCOMPARE(first.range(table)->first, static_cast<int>(table));
        QCOMPARE(plant->presentSensors(),
                 QList<sim::RomCode>({rom("28FF641E0F000034"), rom("28AA0B4512000099")}));
    }

    // The demo plant answers the demo PLC's table with one missing slave, one range that ends
    // before the configured registers and one absent sensor out of the three configured.
    void demoPlant()
    {
        const Plant demo = sim::demoPlant();
        QString faults;
        QCOMPARE(sim::readPlantFile(QFINDTESTDATA("../../examples/demo-plant.json"), &faults),
                 demo);
        QCOMPARE(faults, QString());
        QVERIFY(!demo.slave(1, 1)->holding->covers(100, 10));
        QVERIFY(demo.slave(1, 2)->input->covers(0, 4));
        QVERIFY(demo.slave(1, 3)->coils->covers(10, 16));
        QVERIFY(demo.slave(2, 5)->holding->covers(0, 2));
        QCOMPARE(demo.slave(2, 6), nullptr);
        const QList<sim::RomCode> bus = {sim::generatedRom(0), sim::generatedRom(1),
                                         sim::generatedRom(3), sim::generatedRom(4)};
        QCOMPARE(demo.presentSensors(), bus);
        QCOMPARE(demo.sensors.at(2).rom, sim::generatedRom(2));
    }

    void examplePlant()
    {
        QString faults;
        const std::optional<Plant> plant =
            sim::readPlantFile(QFINDTESTDATA("../../examples/plant.json"), &faults);
        QCOMPARE(faults, QString());
        QVERIFY(plant);
        QCOMPARE(plant->slave(1, 2), nullptr);
        QVERIFY(!plant->slave(1, 3)->holding->covers(200, 2));
        QCOMPARE(plant->slave(2, 11)->delayMs, 600);
    }

    void fileLimits()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("plant.json"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("{}" + QByteArray(1024 * 1024 - 2, ' '));
        file.close();
        QString faults;
        QCOMPARE(sim::readPlantFile(path, &faults), Plant());
        QVERIFY(file.open(QIODevice::Append));
        file.write(" ");
        file.close();
        QVERIFY(!sim::readPlantFile(path, &faults));
        QCOMPARE(faults, path + QStringLiteral(": larger than 1 MiB"));

        const QString none = dir.filePath(QStringLiteral("none.json"));
        QVERIFY(!sim::readPlantFile(none, &faults));
        QVERIFY2(faults.startsWith(QStringLiteral("cannot read %1: ").arg(none)),
                 qPrintable(faults));
    }
};

QTEST_GUILESS_MAIN(TestPlantFile)
#include "tst_plant_file.moc"
