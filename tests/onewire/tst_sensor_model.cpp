// The sensor table and what the auxiliary port's transfers are built from: the table check, the
// mode word, the sensor records, the register numbering of a search import.
#include "onewire_fixtures.h"

#include "common/errors.h"
#include "onewire/aux_encoding.h"
#include "onewire/bus_search.h"

#include <QAbstractItemModelTester>
#include <QtTest>

Q_DECLARE_METATYPE(AuxMode)
Q_DECLARE_METATYPE(FieldNetSettings)

namespace {

SensorRow withRegister(const QString &reg)
{
    SensorRow s = exampleSensor();
    s.reg = reg;
    return s;
}

SensorTable *tableWith(const QStringList &regs, QObject *parent)
{
    auto *t = new SensorTable(parent);
    for (const QString &reg : regs)
        t->addSensor(withRegister(reg));
    return t;
}

QList<RomTexts> romsOf(int n)
{
    QList<RomTexts> roms;
    for (const SensorRow &s : goodSensors(n))
        roms.append(s.rom);
    return roms;
}

} // namespace

class TestSensorModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void tableKeepsOnePlaceholderRowThroughEveryEdit()
    {
        SensorTable t;
        QAbstractItemModelTester tester(&t, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(t.titles().last(), QStringLiteral("  Dxxxx  "));
        t.addSensor(withRegister("3000"));
        t.addSensor(withRegister("3002"));
        QCOMPARE(numColumn(t), (QStringList{"1", "2", "3"}));

        // Written into through "Modify slave", the placeholder is still no sensor, and the next
        // sensor added takes its place.
        QVERIFY(t.setSensor(2, withRegister("4000")));
        QCOMPARE(registers(t), (QStringList{"3000", "3002"}));
        t.addSensor(withRegister("3004"));
        QCOMPARE(registers(t), (QStringList{"3000", "3002", "3004"}));
        QCOMPARE(t.sensor(3), SensorRow{});

        // Neither the placeholder nor a row beyond it is deleted; the numbers are rewritten.
        t.setCell(0, SensorTable::NumColumn, QStringLiteral("x"));
        QVERIFY(!t.deleteSensor(3));
        QVERIFY(!t.deleteSensor(9));
        QCOMPARE(numColumn(t), (QStringList{"1", "2", "3", "4"}));
        QVERIFY(t.deleteSensor(0));
        QCOMPARE(registers(t), (QStringList{"3002", "3004"}));
        QCOMPARE(numColumn(t), (QStringList{"1", "2", "3"}));
        t.clear();
        QCOMPARE(t.rowCount(), 1);
    }

    void addSlaveProposesARegister_data()
    {
        QTest::addColumn<QStringList>("regs");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("proposed");
        QTest::newRow("empty table") << QStringList{} << 0 << "3000";
        QTest::newRow("selected row has a register") << QStringList{"2000", "1500"} << 0 << "1502";
        QTest::newRow("placeholder selected") << QStringList{"2000", "1500"} << 2 << "3000";
        QTest::newRow("last register not a number") << QStringList{"2000", "D100"} << 0 << "3000";
        QTest::newRow("last register cannot grow by 2") << QStringList{"1", "32766"} << 0 << "3000";
    }
    void addSlaveProposesARegister()
    {
        QFETCH(QStringList, regs);
        QFETCH(int, selected);
        QFETCH(QString, proposed);
        QCOMPARE(defaultRegisterText(*tableWith(regs, this), selected), proposed);
    }

    void checkReportsTheFirstFault_data()
    {
        QTest::addColumn<int>("sensors");
        QTest::addColumn<int>("column"); // of row 2: 1..8 a byte, 9 the register; 0: none
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message"); // empty: passes

        const QString bytes = QStringLiteral("You configuration has error in the addresing data - "
                                             "row %1\r\nColumn Byte %2");
        const QString reg =
            QStringLiteral("You configuration has error in master addresing data Dxxxx. Row is 2");
        const QString tooMany =
            QStringLiteral("You configuration has error - too much sensors. Maximum value is 128");
        QTest::newRow("G1 in Byte 3") << 3 << 4 << "G1" << bytes.arg(2).arg(3);
        QTest::newRow("empty byte") << 2 << 8 << "" << bytes.arg(2).arg(7);
        QTest::newRow("three characters") << 2 << 6 << "0A0" << bytes.arg(2).arg(5);
        QTest::newRow("lower case passes") << 2 << 2 << "fe" << QString();
        QTest::newRow("register 7997 passes") << 2 << 9 << "7997" << QString();
        QTest::newRow("register 7998") << 2 << 9 << "7998" << reg;
        QTest::newRow("7997.5 rounds to 7998") << 2 << 9 << "7997.5" << reg;
        QTest::newRow("negative register") << 2 << 9 << "-2" << reg;
        QTest::newRow("letters in the register") << 2 << 9 << "D100" << bytes.arg(2).arg(0);
        QTest::newRow("register overflows with 2 added")
            << 2 << 9 << "32766" << bytes.arg(2).arg(0);
        QTest::newRow("128 sensors pass") << 128 << 0 << "" << QString();
        QTest::newRow("129 sensors, before any row fault") << 129 << 1 << "ZZ" << tooMany;
    }
    void checkReportsTheFirstFault()
    {
        QFETCH(int, sensors);
        QFETCH(int, column);
        QFETCH(QString, text);
        QFETCH(QString, message);
        QList<SensorRow> rows = goodSensors(sensors);
        if (column == 9)
            rows[1].reg = text;
        else if (column > 0)
            rows[1].rom[size_t(column - 1)] = text;
        if (sensors > 2 && !message.isEmpty())
            rows[2].rom[0] = QStringLiteral("??"); // a later fault never hides the first

        const auto fault = Check_grid_1w(rows);
        QCOMPARE(fault.has_value(), !message.isEmpty());
        if (fault)
            QCOMPARE(sensorFaultMessage(*fault), message);
    }

    void modeWord_data()
    {
        QTest::addColumn<AuxMode>("mode");
        QTest::addColumn<int>("count");
        QTest::addColumn<FieldNetSettings>("fieldNet");
        QTest::addColumn<int>("word");
        QTest::newRow("Not use") << AuxMode::NotUse << 0 << FieldNetSettings{} << 0x0000;
        QTest::newRow("master, 3 sensors")
            << AuxMode::OnewireMaster << 3 << FieldNetSettings{} << 0xC003;
        // The count field is 8 bits wide, so 128 reads back as 128.
        QTest::newRow("master, 128 sensors")
            << AuxMode::OnewireMaster << 128 << FieldNetSettings{} << 0xC080;
        QTest::newRow("Field Net defaults")
            << AuxMode::FieldNet << 0 << FieldNetSettings{} << 0xBB80;
        QTest::newRow("Field Net 19200 8 Odd 1")
            << AuxMode::FieldNet << 0 << FieldNetSettings{1, 1, 1, 0} << 0x9480;
        QTest::newRow("Field Net 57600 7 None 1")
            << AuxMode::FieldNet << 0 << FieldNetSettings{3, 0, 0, 0} << 0x8180;
    }
    void modeWord()
    {
        QFETCH(AuxMode, mode);
        QFETCH(int, count);
        QFETCH(FieldNetSettings, fieldNet);
        QFETCH(int, word);
        QCOMPARE(Encode_aux_word(mode, count, fieldNet), quint16(word));
        const AuxWord decoded = Decode_aux_word(quint16(word));
        QCOMPARE(decoded.mode, mode);
        QCOMPARE(decoded.sensorCount, count);
        QCOMPARE(decoded.fieldNet, fieldNet);
    }

    void sensorRecords_data()
    {
        QTest::addColumn<QStringList>("rom");
        QTest::addColumn<QString>("reg");
        QTest::addColumn<QString>("record");
        QTest::newRow("the documented example")
            << QStringList{"28", "FF", "64", "1E", "0F", "00", "00", "5A"} << "3000"
            << "FF281E64000F5A00B80B";
        QTest::newRow("register 7997")
            << QStringList{"01", "02", "03", "04", "05", "06", "07", "08"} << "7997"
            << "02010403060508073D1F";
        QTest::newRow("lower-case cells go in upper case")
            << QStringList{"0a", "bc", "De", "f0", "00", "11", "22", "33"} << "0"
            << "BC0AF0DE110033220000";
    }
    void sensorRecords()
    {
        QFETCH(QStringList, rom);
        QFETCH(QString, reg);
        QFETCH(QString, record);
        const SensorRow sensor{romOf(rom), reg};
        QCOMPARE(Encode_sensor_table({sensor, sensor}), record + record);
        QCOMPARE(Decode_sensor_table(record + record, 2), upperCased({sensor, sensor}));
    }

    void importNumbersTheRegisters_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<int>("found");
        QTest::addColumn<bool>("replace");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QStringList>("after");
        QTest::newRow("replace from 1500") << QStringList{"3000", "3002"} << 3 << true << "1500"
                                           << QStringList{"1500", "1502", "1504"};
        QTest::newRow("add after 3010, whatever the start says")
            << QStringList{"3000", "3010"} << 2 << false << "no number"
            << QStringList{"3000", "3010", "3012", "3014"};
        QTest::newRow("add to an empty table from the start")
            << QStringList{} << 2 << false << "32765" << QStringList{"32765", "32767"};
        QTest::newRow("nothing found: only renumbers")
            << QStringList{"3000", "3002"} << 0 << true << "x" << QStringList{"3000", "3002"};
    }
    void importNumbersTheRegisters()
    {
        QFETCH(QStringList, before);
        QFETCH(int, found);
        QFETCH(bool, replace);
        QFETCH(QString, start);
        QFETCH(QStringList, after);
        SensorTable &t = *tableWith(before, this);
        t.setCell(0, SensorTable::NumColumn, QStringLiteral("?"));
        importFoundSensors(t, romsOf(found), replace ? SensorImport::Replace : SensorImport::Append,
                           start);
        QCOMPARE(registers(t), after);
        QCOMPARE(numColumn(t).last(), QString::number(after.size() + 1));
        QCOMPARE(numColumn(t).first(), QStringLiteral("1"));
        if (found > 0)
            QCOMPARE(t.sensor(int(after.size()) - 1).rom, romsOf(found).last());
    }

    void importRefusesRegistersItCannotNumber_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("named");
        QTest::newRow("start not a number") << QStringList{} << "15OO"
                                            << "\"15OO\"";
        QTest::newRow("last register not a number") << QStringList{"D12"} << "1500"
                                                    << "\"D12\"";
        QTest::newRow("numbering passes 32767") << QStringList{} << "32766"
                                                << "32766";
    }
    void importRefusesRegistersItCannotNumber()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, start);
        QFETCH(QString, named);
        SensorTable &t = *tableWith(before, this);
        try {
            importFoundSensors(t, romsOf(2), SensorImport::Append, start);
            QFAIL("the import went through");
        } catch (const InputError &e) {
            QVERIFY2(e.description().contains(named), qPrintable(e.description()));
        }
        QCOMPARE(registers(t), before);
        QCOMPARE(t.rowCount(), before.size() + 1);
    }
};

QTEST_GUILESS_MAIN(TestSensorModel)
#include "tst_sensor_model.moc"
