// The production run without its window: every checked port written at once on a link of its
// own, a row and a record for each as it ends, a fault on one port leaving the others alone, a
// log that cannot be kept stopping the run before anything is sent, and Stop; and
// the station's ports as set.ini keeps them.
#include "support/fake_clock.h"
#include "support/sim_tcp_server.h"
#include "support/small_project.h"
#include "support/wait_for_task.h"

#include "common/clock.h"
#include "common/errors.h"
#include "link/com_setting.h"
#include "link/ini_file.h"
#include "link/plc_address.h"
#include "link/plc_link.h"
#include "link/port_choice.h"
#include "link/port_line.h"
#include "production/production_run.h"
#include "production/station_ports.h"
#include "sim/sim_line.h"
#include "transfer/unit_log.h"

#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QtTest>

#include <map>
#include <memory>

using State = ProductionRun::State;

class TestProductionRun : public QObject
{
    Q_OBJECT

    std::unique_ptr<FakeClock> m_clock;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ProductionRun> m_run;
    // One simulated PLC a port name; the lines the run made, while they live.
    std::map<QString, sim::PlcModel> m_plcs;
    std::map<QString, QPointer<sim::SimulatedLine>> m_lines;

    QString ini() const { return m_dir->filePath("set.ini"); }
    QString log() const { return m_dir->filePath("records/units.jsonl"); }

    // A run over ports named plc1 ... plcN, each a simulated PLC.
    void makeRun(int ports)
    {
        QList<StationPort> station;
        for (int i = 1; i <= ports; ++i) {
            const QString name = QStringLiteral("/dev/plc%1").arg(i);
            m_plcs[name];
            station << StationPort{name, true, {}, {}};
        }
        m_run = std::make_unique<ProductionRun>(ini(), *m_clock);
        m_run->setLineMaker([this](const StationPort &port) {
            auto line = std::make_unique<sim::SimulatedLine>(m_plcs.at(port.name), *m_clock);
            m_lines[port.name] = line.get();
            return std::unique_ptr<SerialLine>(std::move(line));
        });
        QVERIFY(m_run->setPorts(station));
        const QString project = m_dir->filePath("cabinet.dpc");
        writeSmallProject(project);
        m_run->setProject(project);
        m_run->setLogPath(log());
    }
    sim::PlcModel &plc(int i) { return m_plcs.at(QStringLiteral("/dev/plc%1").arg(i)); }
    QList<UnitRecord> records() const
    {
        const UnitLogContents contents = readUnitLog(log());
        [&] { QCOMPARE(contents.problems, QStringList()); }();
        return contents.records;
    }
    QStringList states() const
    {
        QStringList out;
        for (const ProductionRun::Row &row : m_run->rows())
            out << ProductionRun::stateText(row);
        return out;
    }

private Q_SLOTS:
    void init()
    {
        m_clock = std::make_unique<FakeClock>();
        m_dir = std::make_unique<QTemporaryDir>();
        m_plcs.clear();
        m_lines.clear();
    }
    void cleanup()
    {
        m_run.reset();
        m_plcs.clear();
    }

    // Every checked port is written and verified; a PLC that refuses a piece fails with the
    // message the user would have seen, one that goes away mid-write fails as its line broke,
    // and neither keeps the others from their end. One record a port, in the log.
    void everyPortEndsOnItsOwn()
    {
        makeRun(4);
        plc(2).faults().refuseAt = {Addr::Uart1Slaves};
        plc(3).faults().hangUpAt = 6;
        waitForTask(m_run->writeAll());
        QCOMPARE(m_run->problem(), QString());
        QCOMPARE(states(),
                 (QStringList{"done", "failed: Wrong answer from PLC", states().at(2), "done"}));
        QVERIFY2(states().at(2).startsWith("failed: "), qPrintable(states().at(2)));
        QCOMPARE(m_run->rows().at(0).percent, 100);
        // Each PLC holds the project: its own link wrote it, not a neighbour's.
        QCOMPARE(plc(1).memory(0x2000, 0x1000), plc(4).memory(0x2000, 0x1000));
        QVERIFY(plc(1).memory(Addr::Uart1Slaves, 8) != QByteArray(8, 0));

        const QList<UnitRecord> written = records();
        QCOMPARE(written.size(), 4);
        for (const UnitRecord &r : written) {
            QCOMPARE(r.sha256, fileSha256(m_run->project()));
            QVERIFY(r.frames > 0);
        }
    }

    // The states a row goes through, with and without the read-back.
    void aRowShowsEachStepOfItsWrite_data()
    {
        QTest::addColumn<bool>("verify");
        QTest::addColumn<QList<State>>("steps");
        // Each port is read back right after its write.
        QTest::newRow("with verify")
            << true << QList<State>{State::Waiting,      State::WritingUart1, State::Verifying,
                                    State::WritingUart2, State::Verifying,    State::WritingAux,
                                    State::Verifying,    State::Done};
        QTest::newRow("without verify")
            << false
            << QList<State>{State::Waiting, State::WritingUart1, State::WritingUart2,
                            State::WritingAux, State::Done};
    }
    void aRowShowsEachStepOfItsWrite()
    {
        QFETCH(bool, verify);
        QFETCH(QList<State>, steps);
        makeRun(1);
        m_run->setVerify(verify);
        QList<State> seen;
        int lastPercent = 0;
        bool percentFell = false;
        connect(m_run.get(), &ProductionRun::rowChanged, this, [&](int row) {
            const ProductionRun::Row &r = m_run->rows().at(row);
            if (seen.isEmpty() || seen.last() != r.state)
                seen << r.state;
            percentFell |= r.percent < lastPercent && r.state != State::Waiting;
            lastPercent = r.percent;
        });
        waitForTask(m_run->writeAll());
        QCOMPARE(seen, steps);
        QVERIFY(!percentFell);
        QCOMPARE(records().value(0).result, verify ? "written and verified" : "written");
    }

    // A log that cannot be written stops the run before any PLC is asked anything.
    void aLogThatCannotBeKeptWritesNothing()
    {
        makeRun(2);
        QFile blocker(m_dir->filePath("records"));
        QVERIFY(blocker.open(QIODevice::WriteOnly)); // a file where the log's folder should be
        blocker.close();
        QSignalSpy finished(m_run.get(), &ProductionRun::finished);
        waitForTask(m_run->writeAll());
        QVERIFY2(m_run->problem().contains("units.jsonl"), qPrintable(m_run->problem()));
        QCOMPARE(finished.size(), 1);
        QVERIFY(m_lines.empty());
        QCOMPARE(states(), (QStringList{"", ""}));
        QVERIFY(!m_run->running());
    }

    // Unchecked ports are left alone; a missing project says so and writes nothing.
    void onlyCheckedPortsOfASoundProjectAreWritten()
    {
        makeRun(3);
        m_run->setChecked(1, false);
        waitForTask(m_run->writeAll());
        QCOMPARE(states(), (QStringList{"done", "", "done"}));
        QVERIFY(!m_lines.count("/dev/plc2"));
        QCOMPARE(records().size(), 2);

        m_run->setProject(m_dir->filePath("missing.dpc"));
        waitForTask(m_run->writeAll());
        QVERIFY2(m_run->problem().contains("missing.dpc"), qPrintable(m_run->problem()));
        QCOMPARE(records().size(), 2);
    }

    // Stop ends every transfer at once: each row stopped, its line closed, its record kept.
    void stopEndsEveryTransferCleanly()
    {
        makeRun(3);
        for (int i = 1; i <= 3; ++i)
            plc(i).faults().delayMs = 200;
        connect(m_run.get(), &ProductionRun::rowChanged, this, [this](int) {
            if (m_run->rows().at(0).state == State::WritingUart2)
                m_run->stop();
        });
        waitForTask(m_run->writeAll());
        QCOMPARE(states(), (QStringList{"stopped", "stopped", "stopped"}));
        for (const auto &[name, line] : m_lines)
            QVERIFY2(line && !line->isOpen(), qPrintable(name));
        const QList<UnitRecord> written = records();
        QCOMPARE(written.size(), 3);
        for (const UnitRecord &r : written)
            QCOMPARE(r.result, "stopped");
        QVERIFY(!m_run->running());
    }

    // A port the main window has open is refused to the run, which says who holds it; the
    // others go on. Real lines here: the program's own, to a simulated serial server.
    void aPortInUseElsewhereFailsAndSaysSo()
    {
        sim::PlcModel plc;
        SimTcpServer server(plc);
        QVERIFY(server.isListening());
        PortLine mainLine([&server](int) { return server.address(); });
        mainLine.setHolder("the main window");
        SteadyClock clock;
        FrameTap tap;
        PlcLink mainLink(mainLine, clock, tap);
        LinkTransfer held(mainLink, QString(), QString(), LinkTransfer::Settings::AsTheyAre);
        waitForTask(held.open());

        const QString project = m_dir->filePath("cabinet.dpc");
        writeSmallProject(project);
        ProductionRun run(ini(), clock);
        const QString sameServer = QString(server.address()).replace("tcp:", "rfc2217:");
        run.setPorts({{sameServer, true, {}, {}}});
        run.setProject(project);
        run.setLogPath(log());
        waitForTask(run.writeAll());
        QCOMPARE(ProductionRun::stateText(run.rows().at(0)),
                 "failed: " + sameServer + ": in use by the main window");
        QCOMPARE(plc.requestCount(), 0);
        QCOMPARE(records().value(0).result, sameServer + ": in use by the main window");
    }

    // The station's ports in set.ini, and what the window offers.
    void portsAreKeptWithTheirOwnLine()
    {
        const QList<StationPort> ports{
            {"COM3", true, {}, {}},
            {"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0",
             false,
             "115200,E,8,1",
             {}},
            {"rfc2217://10.0.0.5:4001", true, "19200,N,8,2", {}},
        };
        writeStationPorts(ini(), ports);
        QCOMPARE(readStationPorts(ini()), ports);
        // A shorter list does not bring the removed ports back.
        writeStationPorts(ini(), ports.mid(2));
        QCOMPARE(readStationPorts(ini()), ports.mid(2));
        Write_ini(ini(), "Production", "Ports", "3");
        QCOMPARE(readStationPorts(ini()), ports.mid(2));
    }

    // A port's own line settings rule its line, whatever section COM says at each transfer;
    // without them section COM's do. A COM number keeps its number, a name stands alone.
    void aPortsOwnLineSettingsRule_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("settings"); // after a transfer applied set.ini; "COM": its
        QTest::addColumn<int>("comNumber");
        QTest::addColumn<QString>("described");
        QTest::newRow("a COM number with its own")
            << "COM3"
            << "19200,E,8,1"
            << "19200,E,8,1" << 3 << "COM3 (/dev/plc-hall-3)";
        QTest::newRow("a device with section COM's") << "/dev/plc-hall-7"
                                                     << ""
                                                     << "COM" << 1 << "/dev/plc-hall-7";
        QTest::newRow("a serial server with its own")
            << "rfc2217://10.0.0.5:4001"
            << "9600,N,8,2"
            << "9600,N,8,2" << 1 << "rfc2217://10.0.0.5:4001";
    }
    void aPortsOwnLineSettingsRule()
    {
        QFETCH(QString, port);
        QFETCH(QString, line);
        QFETCH(QString, settings);
        QFETCH(int, comNumber);
        QFETCH(QString, described);
        writeComSetting(ini(), {5, 1, 1, 0, 2}); // COM6, odd parity, 7 bits, 2 stop bits
        Write_ini(ini(), "Devices", "COM3", "/dev/plc-hall-3");
        const auto portLine = stationLine({port, true, line, {}}, ini());
        Open_com_port(*portLine, ini());
        QCOMPARE(portLine->settingsText(), settings == "COM" ? comSettingsText(ini()) : settings);
        QCOMPARE(portLine->portNumber(), comNumber);
        QCOMPARE(portLine->describe(), described);
        QVERIFY_THROWS_EXCEPTION(InputError,
                                 stationLine({simulatedPlcText(), true, {}, {}}, ini()));
    }

    // What a hand-edited set.ini holds that names no port, or a line no port takes, is left out.
    void brokenEntriesAreLeftOut()
    {
        Write_ini(ini(), "Production", "Ports", "3");
        Write_ini(ini(), "Production", "Port1", "COM99");
        Write_ini(ini(), "Production", "Port2", "tcp://plc-hall:4002");
        Write_ini(ini(), "Production", "Port2Line", "fast");
        Write_ini(ini(), "Production", "Port3", "http://x");
        QCOMPARE(readStationPorts(ini()),
                 (QList<StationPort>{{"tcp://plc-hall:4002", true, {}, {}}}));
        Write_ini(ini(), "Production", "Ports", "many");
        QCOMPARE(readStationPorts(ini()), QList<StationPort>());
    }

    // Kept ports come first; a device found and the COM numbers set.ini maps are offered once
    // each, whatever name leads to them.
    void aDeviceIsOfferedOnce()
    {
        const QString ini2 = m_dir->filePath("offer.ini");
        Write_ini(ini2, "Devices", "COM4", "tcp://plc-hall:4002");
        Write_ini(ini2, "Devices", "COM5", "/dev/ttyUSB7");
        SerialDevice usb;
        usb.location = "/dev/ttyUSB7";
        usb.maker = "FTDI";
        usb.serialNumber = "A5";
        SerialDevice other;
        other.location = "/dev/ttyACM0";
        const QList<StationPort> offered =
            offeredPorts({{"rfc2217://PLC-hall:4002", true, {}, {}}}, {usb, other}, ini2);
        QStringList names;
        for (const StationPort &p : offered)
            names << p.name + (p.checked ? "+" : "") + (p.details.isEmpty() ? "" : " " + p.details);
        QCOMPARE(names, (QStringList{"rfc2217://PLC-hall:4002+", "/dev/ttyUSB7 " + usb.details(),
                                     "/dev/ttyACM0"}));
    }
};

QTEST_GUILESS_MAIN(TestProductionRun)

#include "tst_production_run.moc"
