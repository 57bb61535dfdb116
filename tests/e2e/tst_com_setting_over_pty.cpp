// The COM-port dialog on a real serial port (QSerialPort on a pty) against plc-sim: the test,
// storing with "OK", a device path typed into the port box, and a port whose device has gone;
// plc-config's --port without a command.
#include "plc_sim_process.h"
#include "support/scripted_prompts.h"
#include "support/widget_driver.h"

#include "common/clock.h"
#include "support/wait_for_task.h"
#include "link/com_setting_dialog.h"
#include "link/device_map.h"
#include "link/ini_file.h"
#include "link/plc_address.h"
#include "link/plc_link.h"
#include "link/qt_serial_line.h"

#include <QComboBox>
#include <QLabel>
#include <QtTest>

class TestComSettingOverPty : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void testAndStoreAgainstPlcSim()
    {
        PlcSimProcess sim;
        QVERIFY(sim.start({"--cpu-type", "4660"}));
        const QString ini = sim.folder() + QStringLiteral("/set.ini");
        Write_ini(ini, "Devices", "COM3", sim.linkPath());
        auto lineOfIni = [ini] {
            return std::make_unique<QtSerialLine>([ini](int n) { return comDevice(n, ini); });
        };
        ScriptedPrompts prompts;
        WidgetDriver ui;
        SteadyClock clock;
        FrameTap tap;
        {
            ComSettingDialog dialog(ini, lineOfIni(), {clock, tap}, prompts, {});
            dialog.show();
            ui.setRoot(&dialog);
            auto *port = ui.find<QComboBox>(QStringLiteral("Port_num"));
            port->setCurrentIndex(port->findText(QStringLiteral("COM3")));
            QVERIFY(ui.find<QLabel>(QStringLiteral("portDevice"))->text().endsWith("\nPresent"));
            ui.click(QStringLiteral("Command2"));
            finish(dialog.link());
            QCOMPARE(prompts.messages(),
                     QStringList{"Successful connect to the CPU with type 4660"});
            ui.click(QStringLiteral("Command1"));
        }

        // What "OK" stored leads a transfer of the main window to the same PLC.
        auto line = lineOfIni();
        PlcLink link(*line, clock, tap);
        {
            LinkTransfer transfer(link, ini);
            waitForTask(transfer.open());
            QCOMPARE(waitForTask(link.Read_plc_word(Timeout::Word, Addr::CpuType)),
                     std::optional<quint16>(4660));
        }

        // With plc-sim gone the test tells why under its first message.
        sim.kill();
        prompts.clearRecord();
        waitForTask(testConnection(link, prompts, readComSetting(ini)));
        const QString noFirst = "No first answer from PLC. Check cable connection,port setting,and "
                                "e.t.c.\n\nCOM3 (" +
                                sim.linkPath() + "): no such device";
        QCOMPARE(prompts.messages().size(), 1);
        QVERIFY2(prompts.messages()[0].startsWith(noFirst), qPrintable(prompts.messages()[0]));
    }

    // plc-sim's device typed into the port box: the test reaches it, and what "OK" stores leads
    // the main window's transfers there.
    void aTypedDevicePathReachesPlcSim()
    {
        PlcSimProcess sim;
        QVERIFY(sim.start({"--cpu-type", "4660"}));
        const QString ini = sim.folder() + QStringLiteral("/set.ini");
        ScriptedPrompts prompts;
        WidgetDriver ui;
        SteadyClock clock;
        FrameTap tap;
        {
            const auto dialog = ComSettingDialog::create(ini, {clock, tap}, prompts, {}, nullptr);
            dialog->show();
            ui.setRoot(dialog.get());
            ui.find<QComboBox>(QStringLiteral("Port_num"))->setEditText(sim.linkPath());
            QVERIFY(ui.find<QLabel>(QStringLiteral("portDevice"))->text().endsWith("\nPresent"));
            ui.click(QStringLiteral("Command2"));
            finish(dialog->link());
            QCOMPARE(prompts.messages(),
                     QStringList{"Successful connect to the CPU with type 4660"});
            ui.click(QStringLiteral("Command1"));
        }
        QCOMPARE(Read_ini(ini, "Devices", "COM1", "-"), sim.linkPath());
        QtSerialLine line([ini](int n) { return comDevice(n, ini); });
        PlcLink link(line, clock, tap);
        LinkTransfer transfer(link, ini);
        waitForTask(transfer.open());
        QCOMPARE(waitForTask(link.Read_plc_word(Timeout::Word, Addr::CpuType)),
                 std::optional<quint16>(4660));
    }

    // --port and --line alone are the window's; with a command, the command line's.
    void portAloneOpensTheWindow_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("err");
        QTest::newRow("window") << QStringList{"--port", "ttyUSB0"}
                                << "\"ttyUSB0\" names no port: choose COM1 to COM10";
        QTest::newRow("window, --line too")
            << QStringList{"--line", "9600,N,8,1", "--port", "COM11"} << "\"COM11\" names no port";
        QTest::newRow("command line") << QStringList{"--port", "ttyUSB0", "test"}
                                      << "usage: plc-config [OPTIONS] COMMAND [ARGS]";
        QTest::newRow("no value") << QStringList{"--line", "9600,N,8,1", "--port"}
                                  << "usage: plc-config [OPTIONS] COMMAND [ARGS]";
    }
    void portAloneOpensTheWindow()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, err);
        QTemporaryDir config;
        const Run r = runPlcConfig(config.path(), args);
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains(err.toUtf8()), r.err.constData());
    }
};

QTEST_MAIN(TestComSettingOverPty)
#include "tst_com_setting_over_pty.moc"
