// Project files: the record's layout, cells converted to its fields, saving and loading, what is
// refused and what stays as it was.
#include "common/errors.h"
#include "modbus/slave_table.h"
#include "project/cell_conversion.h"
#include "project/project_file.h"
#include "support/file_bytes.h"
#include "support/file_size_limit.h"
#include "support/other_user.h"
#include "support/scripted_prompts.h"
#include "support/start_up_ports.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {
void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QString fixture(const char *name)
{
    return QFINDTESTDATA("../fixtures/project/sound.dpc").section('/', 0, -2) + '/' + name;
}

QStringList slaveCells(int address, int num, int aSlave, int aMaster, int function, int timeout)
{
    QStringList cells{QString()};
    for (const int v : {address, num, aSlave, aMaster, function, timeout})
        cells << QString::number(v);
    return cells;
}

SensorRow sensorRow(const QStringList &bytes, const QString &reg)
{
    SensorRow s;
    for (int i = 0; i < 8; ++i)
        s.rom[i] = bytes.value(i, QStringLiteral("00"));
    s.reg = reg;
    return s;
}

// The ports of a window after start-up, with the record they were loaded from or saved to.
struct Ports : StartUpPorts
{
    ProjectRecord memory;
    ScriptedPrompts prompts;
    Outcome save(const QString &path)
    {
        prompts.queueFile(path);
        return Save_project(prompts, memory, ports(), dir.path()).outcome();
    }
    Outcome load(const QString &path)
    {
        prompts.queueFile(path);
        return Load_project(prompts, memory, ports(), dir.path()).outcome();
    }
};
} // namespace

class TestProjectFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A save overwrites only the fields it uses: whatever else a loaded file held is kept.
    void aRecordKeepsTheBytesItDoesNotUse()
    {
        QByteArray file = fileBytes(fixture("sound.dpc"));
        file[20] = 'x';          // inside a UART 1 slave entry beyond the count
        file[11262 + 100] = 'y'; // the unused block
        Ports p;
        p.memory = ProjectRecord::fromBytes(file);
        Apply_project_record(p.memory, p.ports());
        p.uart1.setSlaveTimeout(QStringLiteral("1500"));
        Fill_project_record(p.memory, p.ports());
        QCOMPARE(p.memory.bytes().mid(3750, 4), QByteArray::fromHex("0080BB44")); // 1500.0f
        file.replace(3750, 4, QByteArray::fromHex("0080BB44"));
        QCOMPARE(p.memory.bytes(), file);
    }

    void unsoundRecordsAreNamedForWhatIsWrong_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("fault");
        QTest::newRow("sound") << 15040 << 0 << 0 << QString();
        QTest::newRow("short") << 15039 << 0 << 0 << "holds 15039 bytes";
        QTest::newRow("empty") << 0 << -1 << 0 << "holds 0 bytes";
        QTest::newRow("129 slaves") << 15040 << 3741 << 129 << "UART 1 slave count is 129";
        QTest::newRow("128 slaves fine") << 15040 << 3754 + 3741 << 128 << QString();
        QTest::newRow("sensor count") << 15040 << 7508 + 3742 << 200 << "sensor count is 200";
        QTest::newRow("mode 3") << 15040 << 3745 << 3 << "UART 1 mode is 3";
        QTest::newRow("UART 2 speed 8") << 15040 << 3754 + 3746 << 8 << "UART 2 speed is 8";
        QTest::newRow("aux mode") << 15040 << 7508 + 3745 << 7 << "auxiliary port mode is 7";
        QTest::newRow("unused block ignored") << 15040 << 11262 + 3745 << 99 << QString();
        QTest::newRow("timeout 2.5") << 15040 << -2 << 0 << "UART 2 slave-mode timeout";
        QTest::newRow("timeout NaN") << 15040 << -3 << 0 << "UART 1 slave-mode timeout";
    }
    void unsoundRecordsAreNamedForWhatIsWrong()
    {
        QFETCH(int, size);
        QFETCH(int, position);
        QFETCH(int, value);
        QFETCH(QString, fault);
        ProjectRecord r;
        if (position == -2)
            r.setSlaveTimeout(ProjectRecord::Uart2, 2.5f);
        QByteArray bytes = r.bytes().left(size);
        if (position == -3)
            std::memset(bytes.data() + 3750, 0xFF, 4);
        if (position >= 0)
            bytes[position] = char(value);
        const QString got = projectRecordFault(bytes);
        QVERIFY2(fault.isEmpty() ? got.isEmpty() : got.contains(fault), qPrintable(got));
    }

    void cellsConvertWithTheirRanges_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value"); // -99999: refused
        const struct
        {
            const char *kind, *text;
            int value;
        } rows[] = {{"byte", "255", 255},
                    {"byte", "256", -99999},
                    {"byte", "-1", -99999},
                    {"byte", "254.5", 254},
                    {"byte", "255.5", -99999},
                    {"byte", "", -99999},
                    {"int16", "40000", -99999},
                    {"int16", "-32768", -32768},
                    {"int16", "32767", 32767},
                    {"int16", "abc", -99999},
                    {"address", "40000", 40000},
                    {"address", "65535", 65535},
                    {"address", "65536", -99999},
                    {"address", "-1", 65535},
                    {"rom", "28", 0x28},
                    {"rom", "0a", 0x0A},
                    {"rom", "Fz", 0x0F},
                    {"rom", "G1", 0},
                    {"rom", "", 0},
                    {"rom", "100", -99999}};
        for (const auto &r : rows)
            QTest::addRow("%s %s", r.kind, r.text) << r.kind << r.text << r.value;
    }
    void cellsConvertWithTheirRanges()
    {
        QFETCH(QString, kind);
        QFETCH(QString, text);
        QFETCH(int, value);
        const QString where = QStringLiteral("UART 1 slave table, row 2, Address slave");
        auto convert = [&]() -> int {
            if (kind == "byte")
                return cellToByte(text, where);
            if (kind == "int16")
                return cellToInt16(text, where);
            if (kind == "address")
                return cellToAddressWord(text, where);
            return romCellToByte(text, where);
        };
        if (value != -99999) {
            QCOMPARE(convert(), value);
            return;
        }
        QVERIFY_THROWS_EXCEPTION(InputError, convert());
        try {
            convert();
        } catch (const InputError &e) {
            QVERIFY2(e.description().startsWith(where + ": \"" + text + "\""),
                     qPrintable(e.description()));
        }
    }

    void savingTheStartUpState()
    {
        Ports p;
        const QString path = p.dir.filePath("start.dpc");
        QCOMPARE(p.save(path), Outcome::Done);
        const QByteArray b = fileBytes(path);
        QCOMPARE(b.size(), 15040);
        for (const int block : {0, 3754, 7508})
            QCOMPARE(int(b[block + 3745]), 2); // "Not use"
        for (const int block : {0, 3754})      // "115200", "None", no slaves
            QCOMPARE(b.mid(block + 3746, 2) + b.mid(block + 3741, 1),
                     QByteArray::fromHex("040200"));
        QCOMPARE(b.mid(15016), QByteArray(24, ' '));
        const FileChoice choice = p.prompts.fileRequests().first().choice;
        QCOMPARE(choice.title + ' ' + choice.defaultSuffix + ' ' + choice.filters.join('|'),
                 "Save PLC configuration dpc Dravik technology PLC config (*.dpc)|All file (*.*)");
    }

    void slavesAndSensorsLandAtTheirEntries()
    {
        Ports p;
        p.uart1.slaves().appendItem(slaveCells(1, 10, 100, 200, 1, 1000));
        p.uart1.slaves().appendItem(slaveCells(2, 20, 300, 400, 4, 500));
        p.uart1.slaves().appendItem(slaveCells(3, 30, 40000, 65535, 0, 3));
        p.aux.sensors().addSensor(sensorRow({"28", "FF", "0a", "1", "2", "3", "4", "5"}, "3000"));
        ProjectRecord r;
        Fill_project_record(r, p.ports());
        const QByteArray b = r.bytes();
        QCOMPARE(int(b[3741]), 3);
        QCOMPARE(b.mid(0, 27), QByteArray::fromHex("01010A6400C800E803"
                                                   "0204142C019001F401"
                                                   "03001E409CFFFF0300"));
        QCOMPARE(b.mid(7508 + 1161, 11), QByteArray::fromHex("0028FF0A0102030405B80B"));

        // Loaded back: numbers as decimal text, the addresses 0 to 65535 (not as the signed
        // 16-bit values some files hold), ROM bytes as two upper-case digits.
        Ports q;
        Apply_project_record(r, q.ports());
        QCOMPARE(q.uart1.slaves().rowCells(2),
                 (QStringList{"3", "3", "30", "40000", "65535", "0", "3"}));
        QCOMPARE(q.uart1.slaves().cell(3, 0), QStringLiteral("4")); // the placeholder's Slot
        QCOMPARE(q.aux.sensors().sensor(0).rom[2], QStringLiteral("0A"));
        QCOMPARE(q.aux.sensors().sensor(0).reg, QStringLiteral("3000"));
    }

    void aCellThatDoesNotFitNamesItselfAndLeavesTheFileAlone()
    {
        Ports p;
        p.uart2.slaves().appendItem(slaveCells(1, 1, 1, 1, 1, 1));
        p.uart2.slaves().appendItem(slaveCells(1, 1, 1, 1, 1, 40000));
        const QString path = p.dir.filePath("kept.dpc");
        QFile::copy(fixture("sound.dpc"), path);
        const ProjectRecord memoryBefore = p.memory;
        try {
            p.save(path);
            QFAIL("saved");
        } catch (const InputError &e) {
            QCOMPARE(e.description(),
                     QStringLiteral("UART 2 slave table, row 2, \"Timeout,[ms]\": \"40000\" does "
                                    "not fit -32768 to 32767 (overflow)"));
        }
        QCOMPARE(fileBytes(path), fileBytes(fixture("sound.dpc")));
        QVERIFY(p.memory == memoryBefore);
    }

    void aFullProjectRoundTripsByteForByte()
    {
        Ports p;
        for (int i = 0; i < 130; ++i) // at most 128 are saved
            p.uart1.slaves().appendItem(
                slaveCells(i % 247 + 1, i % 125 + 1, i * 500, 7000 + i, i % 5, 4000));
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
        p.aux.setMode(AuxMode::OnewireMaster);

        const QString path = p.dir.filePath("full.dpc");
        QCOMPARE(p.save(path), Outcome::Done);
        QCOMPARE(int(p.memory.byteField(ProjectRecord::Uart1, ProjectRecord::SlaveCountOffset)),
                 128);
        Ports q;
        QCOMPARE(q.load(path), Outcome::Done);
        QCOMPARE(q.uart2.mode(), PortMode::Slave);
        QCOMPARE(q.uart2.speed(), 6);
        QCOMPARE(q.aux.mode(), AuxMode::OnewireMaster);
        QCOMPARE(q.uart1.slaves().cell(127, SlaveColumn::AddressSlave), QStringLiteral("63500"));
        ProjectRecord second;
        Fill_project_record(second, q.ports());
        QCOMPARE(second.bytes(), p.memory.bytes());
    }

    // A record saved in place over a longer file kept that file's tail: such files open, and
    // the next save drops the tail.
    void aLongerFileOpensAndLosesItsTailOnSave()
    {
        Ports p;
        const QString path = p.dir.filePath("tail.dpc");
        writeFile(path, fileBytes(fixture("sound.dpc")) + QByteArray(5000, 'Z'));
        QCOMPARE(p.load(path), Outcome::Done);
        QCOMPARE(p.uart1.slaves().itemCount(), 2);
        QCOMPARE(p.save(path), Outcome::Done);
        QCOMPARE(fileBytes(path).size(), 15040);
        QCOMPARE(fileBytes(path).left(15016), fileBytes(fixture("sound.dpc")).left(15016));
    }

    void unsoundFilesAreRefusedWithoutAChange_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("fault");
        QTest::newRow("short") << fixture("short.dpc") << "holds 15000 bytes";
        QTest::newRow("mode outside its list") << fixture("bad_mode.dpc") << "UART 2 mode is 7";
        QTest::newRow("count above 128") << fixture("bad_count.dpc") << "sensor count is 200";
        QTest::newRow("missing") << fixture("no-such.dpc") << "Cannot read";
        QTest::newRow("over 1 MiB") << "huge.dpc"
                                    << "holds 1048577 bytes; a project file holds 15040";
        QTest::newRow("a FIFO") << "fifo.dpc"
                                << "fifo.dpc: it is a FIFO, not a file";
        QTest::newRow("a folder") << "."
                                  << "it is a folder, not a file";
    }
    void unsoundFilesAreRefusedWithoutAChange()
    {
        QFETCH(QString, file);
        QFETCH(QString, fault);
        Ports p;
        const QString path = file.contains('/') ? file : p.dir.filePath(file);
        if (file == "huge.dpc")
            writeFile(path, fileBytes(fixture("sound.dpc")).leftJustified(1024 * 1024 + 1, 'Z'));
        if (file == "fifo.dpc") // opening it for reading would wait for a writer for ever
            QCOMPARE(mkfifo(path.toLocal8Bit().constData(), 0600), 0);
        p.uart1.slaves().appendItem(slaveCells(9, 9, 9, 9, 1, 9));
        p.uart1.setMode(PortMode::Master);
        p.memory.setByteField(ProjectRecord::Unused, 0, 0x55);
        const ProjectRecord memoryBefore = p.memory;
        try {
            p.load(path);
            QFAIL("loaded");
        } catch (const InputError &e) {
            QVERIFY2(e.description().contains(fault), qPrintable(e.description()));
        }
        QCOMPARE(p.uart1.slaves().itemCount(), 1);
        QCOMPARE(p.uart1.mode(), PortMode::Master);
        QVERIFY(p.memory == memoryBefore);
    }

    // Saving over something that is not a file would replace it (a device node, a FIFO).
    void onlyRegularFilesAreReplaced()
    {
        Ports p;
        const QString fifo = p.dir.filePath("fifo.dpc");
        QCOMPARE(mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
        for (const QString &path : {fifo, QStringLiteral("/dev/null")}) {
            try {
                p.save(path);
                QFAIL("saved");
            } catch (const PlatformError &e) {
                QVERIFY2(e.description().contains("not a file; it is kept"),
                         qPrintable(e.description()));
            }
        }
        QVERIFY(QFileInfo(fifo).isFile() == false && QFileInfo::exists(fifo));
    }

    // In a folder where no temporary file can be made, a project that may be written is still
    // saved, in place; when there is no room for it, the old file stays as it was.
    void aWritableFileInAnUnwritableFolderIsSaved()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("in-place.dpc");
        const QString small = dir.filePath("small.dpc");
        writeFile(path, QByteArray(20000, 'Z'));
        writeFile(small, QByteArray(100, 'S'));
        for (const QString &file : {path, small}) {
            QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                            QFileDevice::ReadOther | QFileDevice::WriteOther);
        }
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                              QFileDevice::ReadOther | QFileDevice::ExeOther);
        const OtherUserRun run = runAsUnprivilegedUser(
            [&] {
                try {
                    writeProjectFile(path, ProjectRecord());
                } catch (const PlatformError &) {
                    return 1;
                }
                const FileSizeLimit noRoom(4096);
                try {
                    writeProjectFile(small, ProjectRecord());
                    return 2;
                } catch (const PlatformError &e) {
                    return e.description().startsWith("Cannot write " + small + ": ") ? 0 : 3;
                }
            },
            dir.path());
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ExeOwner);
        if (!run.whyNot.isEmpty())
            QSKIP(qPrintable(run.whyNot));
        QCOMPARE(run.result, 0);
        QCOMPARE(fileBytes(path), ProjectRecord().bytes());
        QCOMPARE(fileBytes(small), QByteArray(100, 'S'));
    }

    void cancelledChoicesChangeNothing()
    {
        Ports p;
        p.uart1.slaves().appendItem(slaveCells(9, 9, 9, 9, 1, 9));
        // No file queued: both choosers are cancelled.
        QCOMPARE(Load_project(p.prompts, p.memory, p.ports(), p.dir.path()).outcome(),
                 Outcome::Cancelled);
        QCOMPARE(Save_project(p.prompts, p.memory, p.ports(), p.dir.path()).outcome(),
                 Outcome::Cancelled);
        QCOMPARE(p.prompts.messages(), QStringList(2, cancelledChoiceMessage()));
        QCOMPARE(p.uart1.slaves().itemCount(), 1);
        QVERIFY(p.memory == ProjectRecord());
        QCOMPARE(QDir(p.dir.path()).entryList(QDir::Files), QStringList{});
    }
};

QTEST_GUILESS_MAIN(TestProjectFile)
#include "tst_project_file.moc"
