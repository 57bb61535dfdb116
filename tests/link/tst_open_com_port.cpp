// Applying set.ini to a line: the settings text, the port number, refusals, the COM mapping.
#include "scripted_line.h"

#include "common/errors.h"
#include "link/device_map.h"
#include "link/ini_file.h"
#include "link/plc_link.h"

#include <QTemporaryDir>
#include <QtTest>

class TestOpenComPort : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void settingsTextAndPortComeFromSectionCom_data()
    {
        QTest::addColumn<QStringList>("entries"); // key=value pairs in section COM
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("port");
        QTest::newRow("no set.ini") << QStringList{} << "9600,N,7,1" << 1;
        QTest::newRow("all set") << QStringList{"Speed=4", "Parity=2", "Bit_num=1", "Stop_bit=1",
                                                "Port_num=2"}
                                 << "115200,E,8,1.5" << 3;
        QTest::newRow("COM10") << QStringList{"Port_num=9", "Stop_bit=2", "Speed=3"}
                               << "57600,N,7,2" << 10;
    }
    void settingsTextAndPortComeFromSectionCom()
    {
        QFETCH(QStringList, entries);
        QFETCH(QString, text);
        QFETCH(int, port);
        QTemporaryDir dir;
        const QString ini = dir.filePath("set.ini");
        for (const QString &e : entries)
            Write_ini(ini, "COM", e.section('=', 0, 0), e.section('=', 1));
        QCOMPARE(comSettingsText(ini), text);
        ScriptedLine line;
        Open_com_port(line, ini);
        QCOMPARE(line.settingsText(), text);
        QCOMPARE(line.portNumber(), port);
        QVERIFY(!line.isOpen());
    }

    void aValueOutsideItsListIsRefusedByTheLine()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath("set.ini");
        Write_ini(ini, "COM", "Speed", "5");
        QCOMPARE(comSettingsText(ini), QStringLiteral("N,7,1"));
        ScriptedLine line;
        line.setSettings("19200,O,8,2");
        try {
            Open_com_port(line, ini);
            QFAIL("incomplete settings were taken");
        } catch (const PlatformError &e) {
            QVERIFY2(e.description().contains("N,7,1"), qPrintable(e.description()));
        }
        QCOMPARE(line.settingsText(), QStringLiteral("19200,O,8,2")); // what was in force stays
    }

    void aValueThatIsNotANumberEndsWithItsDescription()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath("set.ini");
        Write_ini(ini, "COM", "Port_num", "two");
        ScriptedLine line;
        QVERIFY_THROWS_EXCEPTION(PlatformError, Open_com_port(line, ini));
    }

    void thePortNumberOfAnOpenLineCannotChange()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath("set.ini");
        Write_ini(ini, "COM", "Port_num", "4");
        ScriptedLine line;
        line.open();
        QVERIFY_THROWS_EXCEPTION(PlatformError, Open_com_port(line, ini));
        line.close();
        Open_com_port(line, ini);
        QCOMPARE(line.portNumber(), 5);
    }

    void pinnedSettingsAndPortOutlastSetIni()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath("set.ini");
        Write_ini(ini, "COM", "Speed", "fast"); // would be refused, but is not asked
        Write_ini(ini, "COM", "Port_num", "4");
        ScriptedLine line;
        line.pinSettings("115200,E,8,1");
        line.pinPortNumber(2);
        Open_com_port(line, ini);
        QCOMPARE(line.settingsText(), QStringLiteral("115200,E,8,1"));
        QCOMPARE(line.portNumber(), 2);
    }

    void lineSettingsTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("9600,N,8,1") << "9600,N,8,1" << true;
        QTest::newRow("115200,E,7,1.5") << "115200,E,7,1.5" << true;
        QTest::newRow("9 data bits parse; the port decides") << "9600,O,9,2" << true;
        QTest::newRow("missing speed") << "N,7,1" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("bad parity") << "9600,X,8,1" << false;
        QTest::newRow("bad stop bits") << "9600,N,8,3" << false;
        QTest::newRow("speed not a number") << "fast,N,8,1" << false;
        QTest::newRow("five fields") << "9600,N,8,1,1" << false;
    }
    void lineSettingsTexts()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        if (valid)
            QCOMPARE(LineSettings::parse(text).text(), text);
        else
            QVERIFY_THROWS_EXCEPTION(PlatformError, LineSettings::parse(text));
    }

    void comNumbersMapToDevices()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath("set.ini");
#ifdef Q_OS_WIN
        QCOMPARE(comDevice(3, ini), QStringLiteral("COM3"));
#else
        Write_ini(ini, "Devices", "COM2", "/dev/ttyUSB7");
        QCOMPARE(comDevice(2, ini), QStringLiteral("/dev/ttyUSB7"));
        QVERIFY(mapComNumber(2, ini).fromIni);
        // Without an entry: a USB adapter, an ACM modem, or the built-in port, whichever exists.
        const QString usb = QStringLiteral("/dev/ttyUSB%1").arg(8);
        const QString acm = QStringLiteral("/dev/ttyACM%1").arg(8);
        const QString expected = QFile::exists(usb)   ? usb
                                 : QFile::exists(acm) ? acm
                                                      : QStringLiteral("/dev/ttyS8");
        QCOMPARE(comDevice(9, ini), expected);
#endif
        setComOverride(1, "/tmp/sim-pty");
        QCOMPARE(comDevice(1, ini), QStringLiteral("/tmp/sim-pty"));
        setComOverride(1, QString());
        QVERIFY(!mapComNumber(1, ini).fromOverride);
    }
};

QTEST_GUILESS_MAIN(TestOpenComPort)
#include "tst_open_com_port.moc"
