// Saving and loading project files: what lands where, what is refused, what stays as it was.
#include "common/errors.h"
#include "modbus/modbus_port.h"
#include "modbus/slave_table.h"
#include "onewire/aux_port.h"
#include "project/project_file.h"
#include "support/scripted_prompts.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {
QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

QStringList slaveCells(int address, int num, int aSlave, int aMaster, int function, int timeout)
{
    return {QString(),
            QString::number(address),
            QString::number(num),
            QString::number(aSlave),
            QString::number(aMaster),
            QString::number(function),
            QString::number(timeout)};
}

SensorRow sensorRow(const QStringList &bytes, const QString &reg)
{
    SensorRow s;
    for (int i = 0; i < 8; ++i)
        s.rom[i] = bytes.value(i, QStringLiteral("00"));
    s.reg = reg;
    return s;
}

// The three ports of a window after start-up.
struct Ports
{
    QTemporaryDir dir;
    ModbusPort uart1{ModbusPortInfo::uart1()};
    ModbusPort uart2{ModbusPortInfo::uart2()};
    AuxPort aux;
    Ports()
    {
        uart1.setStartUpValues(dir.filePath("set.ini"));
        uart2.setStartUpValues(dir.filePath("set.ini"));
    }
    ProjectPorts ports() { return {uart1, uart2, aux}; }
};
} // namespace

class TestProjectFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void savingTheStartUpState()
    {
        Ports p;
        ProjectRecord memory;
        ScriptedPrompts prompts;
        const QString path = p.dir.filePath("start.dpc");
        prompts.queueFile(path);
        QCOMPARE(Save_project(prompts, memory, p.ports(), p.dir.path()), Outcome::Done);
        const QByteArray b = fileBytes(path);
        QCOMPARE(b.size(), 15040);
        for (const int block : {0, 3754, 7508})
            QCOMPARE(int(b[block + 3745]), 2); // "Not use"
        for (const int block : {0, 3754}) {
            QCOMPARE(int(b[block + 3746]), 4); // "115200"
            QCOMPARE(int(b[block + 3747]), 2); // "None"
            QCOMPARE(int(b[block + 3741]), 0);
        }
        QCOMPARE(int(b[7508 + 3742]), 0);
        QCOMPARE(b.mid(15016), QByteArray(24, ' '));
        QCOMPARE(prompts.fileRequests().size(), 1);
        const FileChoice choice = prompts.fileRequests().first().choice;
        QCOMPARE(choice.title, QStringLiteral("Save PLC configuration"));
        QCOMPARE(choice.defaultSuffix, QStringLiteral("dpc"));
        QCOMPARE(choice.filters,
                 (QStringList{"Dravik technology PLC config (*.dpc)", "All file (*.*)"}));
    }

    void slavesAndSensorsLandAtTheirEntries()
    {
        Ports p;
        p.uart1.slaves().appendItem(slaveCells(1, 10, 100, 200, 1, 1000));
        p.uart1.slaves().appendItem(slaveCells(2, 20, 300, 400, 4, 500));
        p.uart1.slaves().appendItem(slaveCells(3, 30, -1, 32767, 0, 3));
        p.aux.sensors().addSensor(sensorRow({"28", "FF", "0a", "1", "2", "3", "4", "5"}, "3000"));
        ProjectRecord r;
        Fill_project_record(r, p.ports());
        const QByteArray b = r.bytes();
        QCOMPARE(int(b[3741]), 3);
        QCOMPARE(b.mid(0, 9), QByteArray::fromHex("01010A6400C800E803"));
        QCOMPARE(b.mid(9, 9), QByteArray::fromHex("0204142C019001F401"));
        QCOMPARE(b.mid(18, 9), QByteArray::fromHex("03001EFFFFFF7F0300"));
        QCOMPARE(b.mid(7508 + 1161, 11), QByteArray::fromHex("0028FF0A01020304"
                                                             "05B80B"));

        // Loaded back: numbers as decimal text, ROM bytes as two upper-case digits.
        Ports q;
        Apply_project_record(r, q.ports());
        QCOMPARE(q.uart1.slaves().itemCount(), 3);
        QCOMPARE(q.uart1.slaves().rowCells(2),
                 (QStringList{"3", "3", "30", "-1", "32767", "0", "3"}));
        QCOMPARE(q.uart1.slaves().cell(3, 0), QStringLiteral("4")); // the placeholder's Slot
        QCOMPARE(q.aux.sensors().sensor(0).rom[2], QStringLiteral("0A"));
        QCOMPARE(q.aux.sensors().sensor(0).rom[3], QStringLiteral("01"));
        QCOMPARE(q.aux.sensors().sensor(0).reg, QStringLiteral("3000"));
    }

    void aCellThatDoesNotFitNamesItselfAndLeavesTheFileAlone()
    {
        Ports p;
        p.uart2.slaves().appendItem(slaveCells(1, 1, 1, 1, 1, 1));
        p.uart2.slaves().appendItem(slaveCells(1, 1, 40000, 1, 1, 1));
        const QString path = p.dir.filePath("kept.dpc");
        QFile::copy(QFINDTESTDATA("../fixtures/project/sound.dpc"), path);
        const QByteArray before = fileBytes(path);
        ProjectRecord memory;
        const ProjectRecord memoryBefore = memory;
        ScriptedPrompts prompts;
        prompts.queueFile(path);
        try {
            Save_project(prompts, memory, p.ports(), p.dir.path());
            QFAIL("saved");
        } catch (const InputError &e) {
            QCOMPARE(e.description(),
                     QStringLiteral("UART 2 slave table, row 2, \"Address slave\": \"40000\" does "
                                    "not fit -32768 to 32767 (overflow)"));
        }
        QCOMPARE(fileBytes(path), before);
        QVERIFY(memory == memoryBefore);
    }

    void atMost128SlavesAreSaved()
    {
        Ports p;
        for (int i = 0; i < 130; ++i)
            p.uart1.slaves().appendItem(slaveCells(i + 1, 1, i, 0, 1, 100));
        ProjectRecord r;
        Fill_project_record(r, p.ports());
        QCOMPARE(int(r.byteField(ProjectRecord::Uart1, ProjectRecord::SlaveCountOffset)), 128);
        QCOMPARE(int(r.slave(ProjectRecord::Uart1, 127).address), 128);
    }

    void aFullProjectRoundTripsByteForByte()
    {
        Ports p;
        for (int i = 0; i < 128; ++i)
            p.uart1.slaves().appendItem(
                slaveCells(i % 247 + 1, i % 125 + 1, i * 7, 7000 + i, i % 5, 4000));
        for (int i = 0; i < 5; ++i)
            p.uart2.slaves().appendItem(slaveCells(200 + i, 2, 40 + i, 100, 2, 250));
        QList<SensorRow> sensors;
        for (int i = 0; i < 128; ++i)
            sensors << sensorRow({"28", QString::number(i, 16), "ab", "CD", "0", "1", "2", "3"},
                                 QString::number(3000 + 2 * i));
        p.aux.sensors().setSensors(sensors);
        p.uart1.setMode(PortMode::Master);
        p.uart2.setMode(PortMode::Slave);
        p.uart2.setSlaveAddress("17");
        p.uart2.setSlaveTimeout("1500");
        p.uart2.setSpeed(6);
        p.uart2.setParity(1);
        p.aux.setMode(AuxMode::OnewireMaster);

        ProjectRecord first;
        Fill_project_record(first, p.ports());
        const QString path = p.dir.filePath("full.dpc");
        writeProjectFile(path, first);

        Ports q;
        const ProjectRecord loaded = readProjectFile(path);
        Apply_project_record(loaded, q.ports());
        QCOMPARE(q.uart2.mode(), PortMode::Slave);
        QCOMPARE(q.uart2.speed(), 6);
        QCOMPARE(q.aux.mode(), AuxMode::OnewireMaster);
        ProjectRecord second;
        Fill_project_record(second, q.ports());
        QCOMPARE(second.bytes(), first.bytes());
    }

    void savingOverALongerFileLeavesNoStaleTail()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("long.dpc");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(20000, 'Z'));
        f.close();
        writeProjectFile(path, ProjectRecord());
        QCOMPARE(fileBytes(path), ProjectRecord().bytes());
    }

    void unsoundFilesAreRefusedWithoutAChange_data()
    {
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<QString>("fault");
        QTest::newRow("short") << "short.dpc"
                               << "holds 15000 bytes";
        QTest::newRow("oversized") << "oversized.dpc"
                                   << "holds 15056 bytes";
        QTest::newRow("mode outside its list") << "bad_mode.dpc"
                                               << "UART 2 mode is 7";
        QTest::newRow("count above 128") << "bad_count.dpc"
                                         << "sensor count is 200";
        QTest::newRow("missing") << "no-such.dpc"
                                 << "Cannot read";
    }
    void unsoundFilesAreRefusedWithoutAChange()
    {
        QFETCH(QString, fixture);
        QFETCH(QString, fault);
        Ports p;
        p.uart1.slaves().appendItem(slaveCells(9, 9, 9, 9, 1, 9));
        p.uart1.setMode(PortMode::Master);
        ProjectRecord memory;
        memory.setByteField(ProjectRecord::Unused, 0, 0x55);
        const ProjectRecord memoryBefore = memory;
        ScriptedPrompts prompts;
        prompts.queueFile(QFINDTESTDATA("../fixtures/project/sound.dpc").section('/', 0, -2) + "/" +
                          fixture);
        try {
            Load_project(prompts, memory, p.ports(), p.dir.path());
            QFAIL("loaded");
        } catch (const InputError &e) {
            QVERIFY2(e.description().contains(fault), qPrintable(e.description()));
        }
        QCOMPARE(p.uart1.slaves().itemCount(), 1);
        QCOMPARE(p.uart1.mode(), PortMode::Master);
        QVERIFY(memory == memoryBefore);
    }

    void loadingReplacesTheTablesWhole()
    {
        Ports p;
        for (int i = 0; i < 5; ++i)
            p.uart1.slaves().appendItem(slaveCells(50, 1, 1, 1, 1, 1));
        p.aux.sensors().addSensor(sensorRow({"01"}, "5000"));
        ProjectRecord memory;
        ScriptedPrompts prompts;
        prompts.queueFile(QFINDTESTDATA("../fixtures/project/sound.dpc"));
        QCOMPARE(Load_project(prompts, memory, p.ports(), p.dir.path()), Outcome::Done);
        QCOMPARE(p.uart1.slaves().itemCount(), 2);
        QCOMPARE(p.uart1.slaves().rowCells(1),
                 (QStringList{"2", "2", "5", "0", "300", "4", "500"}));
        QCOMPARE(p.uart1.mode(), PortMode::Master);
        QCOMPARE(p.uart1.slaveAddress(), QStringLiteral("5"));
        QCOMPARE(p.uart1.bitNumber(), 1);
        QCOMPARE(p.uart2.slaves().itemCount(), 0);
        QCOMPARE(p.aux.sensors().sensorCount(), 1);
        QCOMPARE(p.aux.sensors().sensor(0).rom[1], QStringLiteral("FF"));
        QCOMPARE(memory.bytes(), fileBytes(QFINDTESTDATA("../fixtures/project/sound.dpc")));
    }

    void cancelledChoicesChangeNothing()
    {
        Ports p;
        p.uart1.slaves().appendItem(slaveCells(9, 9, 9, 9, 1, 9));
        ProjectRecord memory;
        ScriptedPrompts prompts; // no file queued: both choosers are cancelled
        QCOMPARE(Load_project(prompts, memory, p.ports(), p.dir.path()), Outcome::Cancelled);
        QCOMPARE(Save_project(prompts, memory, p.ports(), p.dir.path()), Outcome::Cancelled);
        QCOMPARE(prompts.messages(),
                 (QStringList{cancelledChoiceMessage(), cancelledChoiceMessage()}));
        QCOMPARE(p.uart1.slaves().itemCount(), 1);
        QVERIFY(memory == ProjectRecord());
        QCOMPARE(QDir(p.dir.path()).entryList(QDir::Files), QStringList{});
    }
};

QTEST_GUILESS_MAIN(TestProjectFile)
#include "tst_project_file.moc"
