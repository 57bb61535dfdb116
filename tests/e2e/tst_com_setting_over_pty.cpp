// The COM-port dialog on a real serial port (QSerialPort on a pty) against plc-sim: the test,
// storing with "OK", and a port whose device has gone.
#include "plc_sim_process.h"
#include "support/scripted_prompts.h"

#include "link/com_setting_dialog.h"
#include "link/device_map.h"
#include "link/ini_file.h"
#include "link/plc_link.h"
#include "link/qt_serial_line.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

class TestComSettingOverPty : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void testAndStoreAgainstPlcSim()
    {
        PlcSimProcess sim;
        QVERIFY(sim.start({QStringLiteral("--cpu-type"), QStringLiteral("4660")}));
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("set.ini"));
        Write_ini(ini, QStringLiteral("Devices"), QStringLiteral("COM3"), sim.linkPath());
        auto lineOfIni = [ini] {
            return std::make_unique<QtSerialLine>([ini](int n) { return comDevice(n, ini); });
        };
        ScriptedPrompts prompts;

        {
            ComSettingDialog dialog(ini, lineOfIni(), &prompts, {});
            dialog.show();
            auto *port = dialog.findChild<QComboBox *>(QStringLiteral("Port_num"));
            port->setCurrentIndex(port->findText(QStringLiteral("COM3")));
            QVERIFY(dialog.findChild<QLabel *>(QStringLiteral("portDevice"))
                        ->text()
                        .endsWith(QLatin1String("\nPresent")));
            QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("Command2")),
                              Qt::LeftButton);
            QCOMPARE(prompts.messages(),
                     QStringList{QStringLiteral("Successful connect to the CPU with type 4660")});
            QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("Command1")),
                              Qt::LeftButton);
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
        }

        // What "OK" stored leads a transfer of the main window to the same PLC.
        auto line = lineOfIni();
        PlcLink link(*line);
        {
            LinkTransfer transfer(link, ini);
            transfer.open();
            QCOMPARE(link.Read_plc_word(500, QStringLiteral("0E02")), std::optional<quint16>(4660));
        }

        // With plc-sim gone the test tells why under its first message.
        sim.kill();
        prompts.clearRecord();
        ComSettingDialog dialog(ini, lineOfIni(), &prompts, {});
        dialog.show();
        QCOMPARE(dialog.findChild<QComboBox *>(QStringLiteral("Port_num"))->currentText(),
                 QStringLiteral("COM3"));
        QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("Command2")),
                          Qt::LeftButton);
        QCOMPARE(prompts.messages().size(), 1);
        const QStringList paragraphs = prompts.messages().first().split(QStringLiteral("\n\n"));
        QCOMPARE(paragraphs.size(), 2);
        QCOMPARE(paragraphs[0], QStringLiteral("No first answer from PLC. Check cable "
                                               "connection,port setting,and e.t.c."));
        QVERIFY2(paragraphs[1].startsWith(QStringLiteral("COM3 (") + sim.linkPath()),
                 qPrintable(paragraphs[1]));
    }
};

QTEST_MAIN(TestComSettingOverPty)
#include "tst_com_setting_over_pty.moc"
