// Section COM of set.ini as the dialog shows it and as a line takes it, line settings texts, the
// COM mapping.
#include "support/counted_plc.h"

#include "common/errors.h"
#include "link/com_setting.h"
#include "link/device_map.h"
#include "link/ini_file.h"
#include "link/port_choice.h"
#include "sim/sim_line.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {
QString described(int port, const QString &settings)
{
    return QStringLiteral("COM%1 %2").arg(port).arg(settings);
}
} // namespace

class TestOpenComPort : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    // set.ini with these key=value entries in section COM.
    QString iniWith(const QStringList &entries)
    {
        const QString path = m_dir->filePath(QStringLiteral("set.ini"));
        for (const QString &e : entries)
            Write_ini(path, "COM", e.section('=', 0, 0), e.section('=', 1));
        return path;
    }

private Q_SLOTS:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }
    // A test that stops early must not leave the simulated PLC to the end of the program, where
    // what its factory refers to is gone.
    void cleanup()
    {
        clearComOverrides();
        setSimulatedPlcFactory({});
    }

    // The dialog shows a spoilt value as the first item of its list, where the user can put it
    // right; the line refuses it, with the reason.
    void sectionComIsShownAndApplied_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("shown");   // and applied to the line, unless
        QTest::addColumn<QString>("refusal"); // the line refuses it with this
        QTest::newRow("no set.ini") << QStringList{} << "COM1 9600,N,7,1" << QString();
        QTest::newRow("all set") << QStringList{"Speed=4", "Parity=2", "Bit_num=1", "Stop_bit=1",
                                                "Port_num=2"}
                                 << "COM3 115200,E,8,1.5" << QString();
        QTest::newRow("COM10") << QStringList{"Port_num=9", "Stop_bit=2", "Speed=3"}
                               << "COM10 57600,N,7,2" << QString();
        QTest::newRow("a position outside its list")
            << QStringList{"Speed=99"} << "COM1 9600,N,7,1"
            << "set.ini, Speed=99 names no choice of its list";
        QTest::newRow("no whole number")
            << QStringList{"Port_num=two", "Speed=1"} << "COM1 19200,N,7,1"
            << "\"two\" of Port_num";
        QTest::newRow("no COM number") << QStringList{"Port_num=-1"} << "COM1 9600,N,7,1"
                                       << "Port_num=-1 in section [COM] names no COM port";
        QTest::newRow("a COM number past what an int holds")
            << QStringList{"Port_num=2147483647"} << "COM1 9600,N,7,1"
            << "Port_num=2147483647 in section [COM] names no COM port";
    }
    void sectionComIsShownAndApplied()
    {
        QFETCH(QStringList, entries);
        QFETCH(QString, shown);
        QFETCH(QString, refusal);
        const QString path = iniWith(entries);
        const ComSetting setting = readComSetting(path);
        QCOMPARE(described(setting.portNumber(), setting.settingsText()), shown);
        sim::SimulatedLine line;
        QString applied;
        try {
            Open_com_port(line, path);
            applied = described(line.portNumber(), line.settingsText());
        } catch (const PlatformError &e) {
            applied = e.description();
        }
        QVERIFY2(refusal.isEmpty() ? applied == shown : applied.contains(refusal),
                 qPrintable(applied));
    }

    // A refused text leaves the settings in force as they were.
    void badLineSettingsTextsAreRefused_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("bad parity") << "9600,X,8,1";
        QTest::newRow("bad stop bits") << "9600,N,8,3";
        QTest::newRow("speed not a number") << "fast,N,8,1";
        QTest::newRow("five fields") << "9600,N,8,1,1";
    }
    void badLineSettingsTextsAreRefused()
    {
        QFETCH(QString, text);
        sim::SimulatedLine line;
        line.setSettings(QStringLiteral("19200,O,8,2"));
        QVERIFY_THROWS_EXCEPTION(PlatformError, line.setSettings(text));
        QCOMPARE(line.settingsText(), QStringLiteral("19200,O,8,2"));
    }

    // Settings and port chosen on the command line outlast set.ini.
    void pinnedChoicesOutlastSetIni()
    {
        // Speed would be refused, but is not asked.
        const QString path = iniWith({"Speed=fast", "Port_num=4"});
        sim::SimulatedLine line;
        line.pinSettings("115200,E,8,1");
        line.pinPortNumber(2);
        Open_com_port(line, path);
        QCOMPARE(described(line.portNumber(), line.settingsText()), "COM2 115200,E,8,1");
    }

    // The demo's simulated PLC takes a COM number for the run, whatever set.ini maps it to.
    void aComNumberCanBeMappedForThisRunOnly()
    {
        const QString ini = iniWith({});
        Write_ini(ini, "Devices", "COM2", "/dev/ttyUSB7");
        setComOverride(2, "/tmp/sim-pty");
        QCOMPARE(comDevice(2, ini), QStringLiteral("/tmp/sim-pty"));
        setComOverride(2, QString());
        QVERIFY(!mapComNumber(2, ini).fromOverride);
    }

    // What is typed into the port box or given with --port, and what is said of a text that
    // names no port.
    void portTextsAreReadInOnePlace_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("read"); // PortChoice::text(), or the problem's start
        const QString noPort = QStringLiteral("names no port: choose COM1 to COM10, a device path");
        auto row = [](const char *name, const QString &text, const QString &read) {
            QTest::newRow(name) << text << read;
        };
        row("COM10", "COM10", "COM10");
        row("lower case, blanks around", " com3 ", "COM3");
        // COM numbers out of range or not quite written so, and a name that is not a path.
        for (const char *text : {"COM0", "COM11", "COM 3", "COM+3", "ttyUSB0"})
            row(text, text, '"' + QString::fromLatin1(text) + "\" " + noPort);
        row("device path", "/dev/ttyUSB0", "/dev/ttyUSB0");
        row("stable name", "/dev/serial/by-id/usb-FTDI_A5-if00-port0",
            "/dev/serial/by-id/usb-FTDI_A5-if00-port0");
        row("Windows device", "\\\\.\\COM12", "\\\\.\\COM12");
        row("simulated PLC", "simulated plc", "Simulated PLC");
        row("empty", "  ",
            "No port given: choose COM1 to COM10, a device path, "
            "rfc2217://HOST:PORT, tcp://HOST:PORT or Simulated PLC");
        row("rfc2217 server", " RFC2217://10.0.0.5:4001 ", "rfc2217://10.0.0.5:4001");
        row("server on COM port words", "tcp://com3:4001", "tcp://com3:4001");
        // Texts meant as an address are never taken for a device path, though they hold a /.
        for (const char *address :
             {"rfc2217://10.0.0.5", "telnet://10.0.0.5:23", "tcp://10.0.0.5:23/dev/ttyS0"})
            row(address, address, NetworkAddress::problem(QString::fromLatin1(address)));
    }
    void portTextsAreReadInOnePlace()
    {
        QFETCH(QString, text);
        QFETCH(QString, read);
        const auto port = parsePortText(text);
        if (port)
            QCOMPARE(port->text(), read);
        else
            QVERIFY2(portTextProblem(text).startsWith(read), qPrintable(portTextProblem(text)));
    }

    // The simulated PLC starts when first asked for and leads every COM number to it until the
    // mappings for this run are cleared, which stops it; one that cannot start changes nothing.
    void theSimulatedPlcServesEveryComNumberUntilCleared()
    {
        const QString ini = iniWith({});
        int started = 0, running = 0;
        bool refuse = true;
        setSimulatedPlcFactory([&]() -> std::unique_ptr<SimulatedPlc> {
            if (refuse)
                throw PlatformError("no pseudo-terminal");
            ++started;
            return std::make_unique<CountedPlc>(running);
        });
        setComOverride(4, "/dev/ttyUSB9"); // --port for this run
        QVERIFY_THROWS_EXCEPTION(PlatformError, useSimulatedPlc());
        QCOMPARE(comDevice(4, ini), QStringLiteral("/dev/ttyUSB9"));
        QVERIFY(!simulatedPlcInUse());

        refuse = false;
        QCOMPARE(simulatedPlcDevice(), QStringLiteral("/dev/pts/sim")); // the test: no mapping
        QVERIFY(!mapComNumber(1, ini).fromOverride);
        useSimulatedPlc();
        QCOMPARE(started, 1);
        for (int com : {1, 4, 10}) {
            const ComMapping m = mapComNumber(com, ini);
            QVERIFY(m.simulated && m.device == "/dev/pts/sim");
        }
        clearComOverrides();
        QVERIFY(!simulatedPlcInUse() && !mapComNumber(4, ini).fromOverride);
        QCOMPARE(running, 0);
        setSimulatedPlcFactory({});
    }
};

QTEST_GUILESS_MAIN(TestOpenComPort)
#include "tst_open_com_port.moc"
