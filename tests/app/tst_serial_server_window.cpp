// The window on a PLC behind a serial server: the COM-port dialog tests a typed tcp:// address
// and stores it for the COM number, the status bar names the server, and a write from the
// window reaches the PLC through it.
#include "support/scripted_prompts.h"
#include "support/sim_tcp_server.h"
#include "support/widget_driver.h"

#include "app/main_window.h"
#include "app/status_bar.h"
#include "link/com_setting_dialog.h"
#include "link/device_map.h"
#include "link/port_line.h"

#include <QAction>
#include <QComboBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class TestSerialServerWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void aServerChosenInTheDialogTakesTheWindowsWrites()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("set.ini"));
        sim::PlcModel plc;
        plc.setCpuType(4660);
        const SimTcpServer server(plc);
        QVERIFY(server.isListening());
        ScriptedPrompts prompts;
        // The window's own clock: the server answers in real time.
        MainWindow window(
            ini, std::make_unique<PortLine>([ini](int n) { return comDevice(n, ini); }), &prompts);
        window.show();
        WidgetDriver ui(&window);

        bool tested = false;
        WidgetDriver::onModal<ComSettingDialog>([&](ComSettingDialog *dialog) {
            WidgetDriver in(dialog);
            in.find<QComboBox>(QStringLiteral("Port_num"))->setEditText(server.address());
            in.click(QStringLiteral("Command2"));
            finish(dialog->link());
            QCOMPARE(prompts.messages(),
                     QStringList{"Successful connect to the CPU with type 4660"});
            in.click(QStringLiteral("Command1"));
            tested = true;
        });
        ui.find<QAction>(QStringLiteral("Comm_setting"))->trigger();
        QVERIFY(tested);
        QVERIFY2(
            window.status().portText().startsWith("Active port COM 1: " + server.address() + ", "),
            qPrintable(window.status().portText()));

        prompts.queueFile(QFINDTESTDATA("../fixtures/project/sound.dpc"));
        ui.find<QAction>(QStringLiteral("Load_config"))->trigger();
        prompts.clearRecord();
        prompts.queueAnswer(true); // the write's confirmation
        ui.find<QPushButton>(QStringLiteral("Command19"))->click();
        finish(window.link());
        QVERIFY2(window.status().outcomeText().startsWith("UART 1 written"),
                 qPrintable(window.status().outcomeText()));
        QVERIFY(!plc.writesAt(0x2502).isEmpty());
        QCOMPARE(server.connections(), 2); // the dialog's test, the window's write
    }
};

QTEST_MAIN(TestSerialServerWindow)
#include "tst_serial_server_window.moc"
