// The project record's byte layout and the conversion of cells to its fields.
#include "common/errors.h"
#include "project/cell_conversion.h"
#include "project/project_record.h"

#include <QtTest>

#include <cstring>

class TestProjectRecord : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fieldsSitAtTheirOffsets()
    {
        ProjectRecord r;
        QCOMPARE(r.bytes().size(), 15040);
        QCOMPARE(r.bytes(), QByteArray(15040, '\0'));

        // Slave entry 1 of UART 2: address, function, count, then three 16-bit fields.
        r.setSlave(ProjectRecord::Uart2, 1,
                   SlaveEntry{0x11, 0x02, 0x0A, qint16(0x1234), qint16(-2), qint16(1000)});
        const QByteArray expected = QByteArray::fromHex("11020A3412FEFFE803");
        QCOMPARE(r.bytes().mid(3754 + 9, 9), expected);

        // Sensor entry 2 of the auxiliary block: a reserved byte, the ROM code, the register.
        r.setSensor(ProjectRecord::Aux, 2,
                    SensorEntry{{0x28, 0xFF, 0x0A, 1, 2, 3, 4, 5}, qint16(3000)});
        QCOMPARE(r.bytes().mid(7508 + 1161 + 22, 11),
                 QByteArray::fromHex("0028FF0A0102030405B80B"));

        r.setByteField(ProjectRecord::Uart1, ProjectRecord::SlaveCountOffset, 3);
        r.setByteField(ProjectRecord::Aux, ProjectRecord::SensorCountOffset, 128);
        r.setByteField(ProjectRecord::Uart1, ProjectRecord::ModeOffset, 2);
        r.setSlaveTimeout(ProjectRecord::Uart1, 1500.0f);
        QCOMPARE(quint8(r.bytes()[3741]), quint8(3));
        QCOMPARE(quint8(r.bytes()[7508 + 3742]), quint8(128));
        QCOMPARE(quint8(r.bytes()[3745]), quint8(2));
        QCOMPARE(r.bytes().mid(3750, 4), QByteArray::fromHex("0080BB44")); // 1500.0f

        r.blankReservedTexts();
        QCOMPARE(r.bytes().mid(15016), QByteArray(24, ' '));

        // Read back what was written, and keep every other byte of a file as it was.
        QByteArray file = r.bytes();
        file[20] = 'x'; // inside slave entry 2 of UART 1, beyond the count
        const ProjectRecord back = ProjectRecord::fromBytes(file);
        QCOMPARE(back.slave(ProjectRecord::Uart2, 1).addressMaster, qint16(-2));
        QCOMPARE(back.sensor(ProjectRecord::Aux, 2).rom[2], quint8(0x0A));
        QCOMPARE(back.slaveTimeout(ProjectRecord::Uart1), 1500.0f);
        QCOMPARE(back.bytes(), file);
    }

    void unsoundFilesAreNamedForWhatIsWrong_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("fault");
        QTest::newRow("sound") << 15040 << 0 << 0 << QString();
        QTest::newRow("short") << 15039 << 0 << 0 << "holds 15039 bytes";
        QTest::newRow("oversized") << 15041 << 0 << 0 << "holds 15041 bytes";
        QTest::newRow("empty") << 0 << -1 << 0 << "holds 0 bytes";
        QTest::newRow("129 slaves") << 15040 << 3741 << 129 << "UART 1 slave count is 129";
        QTest::newRow("128 slaves fine") << 15040 << 3754 + 3741 << 128 << QString();
        QTest::newRow("sensor count") << 15040 << 7508 + 3742 << 200 << "sensor count is 200";
        QTest::newRow("mode 3") << 15040 << 3745 << 3 << "UART 1 mode is 3";
        QTest::newRow("UART 2 speed 8") << 15040 << 3754 + 3746 << 8 << "UART 2 speed is 8";
        QTest::newRow("aux mode") << 15040 << 7508 + 3745 << 7 << "auxiliary port mode is 7";
        QTest::newRow("unused block ignored") << 15040 << 11262 + 3745 << 99 << QString();
    }
    void unsoundFilesAreNamedForWhatIsWrong()
    {
        QFETCH(int, size);
        QFETCH(int, position);
        QFETCH(int, value);
        QFETCH(QString, fault);
        QByteArray bytes(size, '\0');
        if (position >= 0 && position < size)
            bytes[position] = char(value);
        const QString got = projectRecordFault(bytes);
        if (fault.isEmpty())
            QVERIFY2(got.isEmpty(), qPrintable(got));
        else
            QVERIFY2(got.contains(fault), qPrintable(got));
    }

    void aTimeoutThatIsNotAWholeNumberIsUnsound()
    {
        ProjectRecord r;
        r.setSlaveTimeout(ProjectRecord::Uart2, 2.5f);
        QVERIFY(projectRecordFault(r.bytes()).contains("UART 2 slave-mode timeout"));
        QByteArray nan = ProjectRecord().bytes();
        std::memset(nan.data() + 3750, 0xFF, 4);
        QVERIFY(!projectRecordFault(nan).isEmpty());
    }

    void cellsConvertWithTheirRanges_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value"); // -99999: fails
        QTest::newRow("byte 255") << "byte"
                                  << "255" << 255;
        QTest::newRow("byte 256") << "byte"
                                  << "256" << -99999;
        QTest::newRow("byte -1") << "byte"
                                 << "-1" << -99999;
        QTest::newRow("byte 254.5 to even") << "byte"
                                            << "254.5" << 254;
        QTest::newRow("byte 255.5 overflows") << "byte"
                                              << "255.5" << -99999;
        QTest::newRow("byte empty") << "byte"
                                    << "" << -99999;
        QTest::newRow("int16 40000") << "int16"
                                     << "40000" << -99999;
        QTest::newRow("int16 -32768") << "int16"
                                      << "-32768" << -32768;
        QTest::newRow("int16 32767") << "int16"
                                     << "32767" << 32767;
        QTest::newRow("int16 text") << "int16"
                                    << "abc" << -99999;
        QTest::newRow("rom 28") << "rom"
                                << "28" << 0x28;
        QTest::newRow("rom lower case") << "rom"
                                        << "0a" << 0x0A;
        QTest::newRow("rom up to a non-hex") << "rom"
                                             << "Fz" << 0x0F;
        QTest::newRow("rom no digits") << "rom"
                                       << "G1" << 0;
        QTest::newRow("rom empty") << "rom"
                                   << "" << 0;
        QTest::newRow("rom above FF") << "rom"
                                      << "100" << -99999;
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
            return romCellToByte(text, where);
        };
        if (value != -99999) {
            QCOMPARE(convert(), value);
            return;
        }
        try {
            convert();
            QFAIL("converted");
        } catch (const InputError &e) {
            QVERIFY2(e.description().startsWith(where + ": \"" + text + "\""),
                     qPrintable(e.description()));
        }
    }
};

QTEST_GUILESS_MAIN(TestProjectRecord)
#include "tst_project_record.moc"
