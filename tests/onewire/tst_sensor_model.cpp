// The sensor table and what the auxiliary port's transfers are built from: the register proposed
// for a new sensor, the table check, the sensor records, the register numbering of a search import.
#include "onewire_fixtures.h"

#include "common/errors.h"
#include "common/hex_text.h"
#include "onewire/aux_encoding.h"
#include "onewire/bus_search.h"

#include <QtTest>

class TestSensorModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // "Add slave" proposes the last register + 2 while a sensor is selected, otherwise 3000. A
    // placeholder written into by "Modify slave" is still no sensor: the next one takes its place.
    void addSlaveProposesARegisterAndFillsThePlaceholder()
    {
        SensorTable t;
        QCOMPARE(t.titles().last(), QStringLiteral("  Dxxxx  "));
        t.setSensors(goodSensors(2));
        QCOMPARE(defaultRegisterText(t, 0), QStringLiteral("104"));
        QCOMPARE(defaultRegisterText(t, 2), QStringLiteral("3000"));
        QVERIFY(t.setSensor(2, exampleSensor()));
        QCOMPARE(t.sensorCount(), 2);
        t.addSensor({exampleSensor().rom, QStringLiteral("32766")});
        QCOMPARE(t.sensors(), (goodSensors(2) << SensorRow{exampleSensor().rom, "32766"}));
        QCOMPARE(numColumn(t), (QStringList{"1", "2", "3", "4"}));
        QCOMPARE(defaultRegisterText(t, 0), QStringLiteral("3000")); // 32766 cannot grow by 2
    }

    void checkReportsTheFirstFault_data()
    {
        QTest::addColumn<int>("sensors");
        QTest::addColumn<int>("column"); // of row 2: 1..8 a byte, 9 the register
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("code"); // -1: passes
        QTest::addColumn<QString>("message");

        const QString bytes = QStringLiteral("You configuration has error in the addresing data - "
                                             "row 2\r\nColumn Byte %1");
        const QString reg =
            QStringLiteral("You configuration has error in master addresing data Dxxxx. Row is 2");
        QTest::newRow("G1 in Byte 3") << 3 << 4 << "G1" << 3 << bytes.arg(3);
        QTest::newRow("empty byte") << 2 << 8 << "" << 7 << bytes.arg(7);
        QTest::newRow("three characters") << 2 << 6 << "0A0" << 5 << bytes.arg(5);
        QTest::newRow("lower case passes") << 2 << 2 << "fe" << -1 << "";
        QTest::newRow("register 7997 passes") << 2 << 9 << "7997" << -1 << "";
        QTest::newRow("register 7998") << 2 << 9 << "7998" << 8 << reg;
        QTest::newRow("7997.5 rounds to 7998") << 2 << 9 << "7997.5" << 8 << reg;
        QTest::newRow("negative register") << 2 << 9 << "-2" << 8 << reg;
        QTest::newRow("letters in the register") << 2 << 9 << "D100" << 0 << bytes.arg(0);
        QTest::newRow("register overflows with 2 added") << 2 << 9 << "32766" << 0 << bytes.arg(0);
        QTest::newRow("128 sensors pass") << 128 << 1 << "28" << -1 << "";
        QTest::newRow("129 sensors, before any row fault")
            << 129 << 1 << "ZZ" << 9
            << "You configuration has error - too much sensors. Maximum value is 128";
    }
    void checkReportsTheFirstFault()
    {
        QFETCH(int, sensors);
        QFETCH(int, column);
        QFETCH(QString, text);
        QFETCH(int, code);
        QFETCH(QString, message);
        QList<SensorRow> rows = goodSensors(sensors);
        (column == 9 ? rows[1].reg : rows[1].rom[size_t(column - 1)]) = text;
        if (sensors > 2 && code >= 0)
            rows[2].rom[0] = QStringLiteral("??"); // a later fault never hides the first

        const auto fault = Check_grid_1w(rows);
        const SensorFault expected{code < 0 ? 0 : code == 9 ? 128 : 2, code};
        QCOMPARE(fault.value_or(SensorFault{0, -1}), expected);
        QCOMPARE(fault ? sensorFaultMessage(*fault) : QString(), message);
        // The grid paints the cell red exactly where a row fault lies.
        QCOMPARE(sensorCellRule(rows[1], column).isEmpty(), code < 0);
    }

    void sensorRecords_data()
    {
        QTest::addColumn<QString>("rom");
        QTest::addColumn<int>("reg");
        QTest::addColumn<QString>("record");
        QTest::newRow("register 3000") << "28FF641E0F00005A" << 3000 << "FF281E64000F5A00B80B";
        QTest::newRow("register 7997") << "0102030405060708" << 7997 << "02010403060508073D1F";
        QTest::newRow("lower-case cells go in upper case")
            << "0abcDef000112233" << 0 << "BC0AF0DE110033220000";
    }
    void sensorRecords()
    {
        QFETCH(QString, rom);
        QFETCH(int, reg);
        QFETCH(QString, record);
        const SensorRow sensor{romOf(qPrintable(rom)), QString::number(reg)};
        QCOMPARE(hexText(Encode_sensor_table({sensor, sensor})), record + record);
        const SensorRow back{romOf(qPrintable(rom.toUpper())), sensor.reg};
        QCOMPARE(Decode_sensor_table(QByteArray::fromHex((record + record).toLatin1()), 2),
                 (QList<SensorRow>{back, back}));
    }

    // Found sensors get registers in steps of 2 up to 32767; what cannot be numbered is refused
    // before anything changes, the error naming the value.
    void importNumbersTheRegistersOrChangesNothing()
    {
        SensorTable t;
        const QList<RomTexts> two(2, exampleSensor().rom);
        importFoundSensors(t, two, SensorImport::Append, QStringLiteral("32765"));
        QCOMPARE(registers(t), (QStringList{"32765", "32767"}));
        // With nothing found the table is only renumbered.
        t.setCell(0, SensorTable::NumColumn, QStringLiteral("?"));
        importFoundSensors(t, {}, SensorImport::Replace, QStringLiteral("x"));
        QCOMPARE(numColumn(t), (QStringList{"1", "2", "3"}));

        QVERIFY(t.setSensor(1, {exampleSensor().rom, QStringLiteral("D12")}));
        const struct
        {
            SensorImport how;
            const char *start, *named;
        } refused[] = {{SensorImport::Append, "1500", "\"D12\""}, // the last register
                       {SensorImport::Replace, "15OO", "\"15OO\""},
                       {SensorImport::Replace, "32766", "32766"}};
        for (const auto &r : refused) {
            t.setCell(0, SensorTable::NumColumn, QStringLiteral("?"));
            try {
                importFoundSensors(t, two, r.how, QLatin1String(r.start));
                QFAIL(r.start);
            } catch (const InputError &e) {
                QVERIFY2(e.description().contains(QLatin1String(r.named)), r.start);
            }
            QCOMPARE(registers(t), (QStringList{"32765", "D12"}));
            QCOMPARE(t.cell(0, SensorTable::NumColumn), QStringLiteral("?"));
        }
    }
};

QTEST_GUILESS_MAIN(TestSensorModel)
#include "tst_sensor_model.moc"
