// The COM-port dialog: what it shows on opening, the connection test against the simulated PLC,
// storing with "OK", and closing.
#include "support/counted_plc.h"
#include "support/sim_bench.h"
#include "support/widget_driver.h"

#include "link/com_setting_dialog.h"
#include "link/device_map.h"
#include "link/plc_address.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>
#include <QtTest>

namespace {
const QString NoFirst =
    QStringLiteral("No first answer from PLC. Check cable connection,port setting,and e.t.c.");
const QString NoSecond = QStringLiteral(
    "No second answer from PLC with type. Check cable connection,port setting,and e.t.c.");
const QByteArray Enquiry("\x05");
const QByteArray TypeRead = frame("00E0202", "6C");
const QString Missing = QStringLiteral("COM1 (/dev/ttyUSB0): no such device");
const QString Connected = QStringLiteral("Successful connect to the CPU with type 4660");
const SerialDevice Acm{"/dev/ttyACM0", QString(), "STMicroelectronics", "ComPort", "37"};
const SerialDevice Ftdi{"/dev/ttyUSB0", "/dev/serial/by-id/usb-FTDI_A5-if00-port0", "FTDI",
                        "FT232R USB UART", "A5"};
} // namespace

class TestComSettingDialog : public QObject
{
    Q_OBJECT

    std::unique_ptr<Bench> m_b; // its clock lets the connection test's timeouts pass at once
    QStringList m_captionPorts; // Port_num in set.ini each time the caption was renewed
    WidgetDriver m_ui;
    sim::SimulatedLine *m_line = nullptr; // the dialog's own line, to the bench's PLC

    QString storedPort() const { return Read_ini(m_b->ini(), "COM", "Port_num", "none"); }
    std::unique_ptr<ComSettingDialog> openDialog()
    {
        m_line = new sim::SimulatedLine(m_b->plc(), m_b->clock);
        auto dialog = std::make_unique<ComSettingDialog>(
            m_b->ini(), std::unique_ptr<SerialLine>(m_line), m_b->link.context(), m_b->prompts,
            [this] { m_captionPorts << storedPort(); });
        dialog->show();
        m_ui.setRoot(dialog.get());
        return dialog;
    }

private Q_SLOTS:
    void cleanup() { setSimulatedPlcFactory({}); }
    void init()
    {
        m_b = std::make_unique<Bench>();
        m_captionPorts.clear();
        setSerialDeviceSource([] { return QList<SerialDevice>{}; }); // none plugged in
    }

    void testReportsWhatThePlcAnswered_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QList<QByteArray>>("sends");
        using Bytes = QList<QByteArray>;
        QTest::newRow("ACK then the type word")
            << QString() << Connected << Bytes{Enquiry, TypeRead};
        QTest::newRow("silent PLC") << "silent" << NoFirst << Bytes{Enquiry};
        QTest::newRow("NAK to the enquiry") << "NAK first" << NoFirst << Bytes{Enquiry};
        QTest::newRow("no type word") << "no type" << NoSecond << Bytes{Enquiry, TypeRead};
        QTest::newRow("port cannot open") << "no device" << NoFirst + "\n\n" + Missing << Bytes{};
    }
    void testReportsWhatThePlcAnswered()
    {
        QFETCH(QString, fault);
        QFETCH(QString, message);
        QFETCH(QList<QByteArray>, sends);
        const auto dialog = openDialog();
        sim::Faults &faults = m_b->plc().faults();
        faults.silent = fault == "silent";
        faults.strayBefore = fault == "NAK first" ? Nak : QByteArray();
        if (fault == "no type")
            faults.silentAt.insert(Addr::CpuType);
        m_line->setOpenFailure(fault == "no device" ? Missing : QString());
        m_ui.click("Command2");
        finish(dialog->link());
        QCOMPARE(m_b->prompts.messages(), QStringList{message});
        QCOMPARE(m_line->sends(), sends);
        QVERIFY(!m_line->isOpen());
        QVERIFY(dialog->isVisible());
    }

    // Opening shows the stored positions and the chosen port's device. "Test" tries the shown
    // settings and stores nothing; "OK" stores them, even for a port whose device is missing,
    // then renews the caption and closes.
    void testTriesTheShownSettingsAndOkStoresThem()
    {
        const QString present = m_b->dir.filePath(QStringLiteral("plc"));
        QFile(present).open(QIODevice::WriteOnly);
        writeComSetting(m_b->ini(), ComSetting{9, 3, 1, 1, 2});
        m_b->setIni("Devices", "COM10", present);
        m_b->setIni("Devices", "COM4", m_b->dir.filePath(QStringLiteral("unplugged")));
        const auto dialog = openDialog();
        QStringList shown, labels;
        for (const char *name : {"Port_num", "Speed_set", "Parity_set", "Bit_setting", "Stop_bit"})
            shown << m_ui.find<QComboBox>(QLatin1String(name))->currentText();
        QCOMPARE(shown, (QStringList{"COM10", "57600", "O", "8", "2"}));
        auto *device = m_ui.find<QLabel>(QStringLiteral("portDevice"));
        QCOMPARE(device->text(), "Device: " + present + " (mapped in set.ini [Devices])\nPresent");
        // Every list is named by its label.
        for (const QLabel *label : dialog->findChildren<QLabel *>()) {
            if (label->buddy())
                labels << label->text();
        }
        QCOMPARE(labels, (QStringList{"Serial devices on this computer: none found",
                                      "COM-port :", "Speed setting:", "Parity setting",
                                      "Bit number:", "Stop bit"}));

        auto *port = m_ui.find<QComboBox>(QStringLiteral("Port_num"));
        port->setCurrentIndex(port->findText(QStringLiteral("COM4")));
        QVERIFY2(device->text().contains("Not present"), qPrintable(device->text()));
        m_ui.click("Command2");
        finish(dialog->link());
        QCOMPARE(m_b->prompts.messages(), QStringList{Connected});
        QCOMPARE(m_line->portNumber(), 4);
        QCOMPARE(m_line->settingsText(), QStringLiteral("57600,O,8,2"));
        QCOMPARE(m_line->openCount(), 1);
        QCOMPARE(storedPort(), QStringLiteral("9"));
        QVERIFY(m_captionPorts.isEmpty());

        m_ui.click("Command1");
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QVERIFY(!dialog->isVisible());
        QCOMPARE(m_captionPorts, QStringList{"3"});
    }

    // The system's serial devices are listed with the one the COM number leads to chosen;
    // choosing another maps the shown COM number to it, by its stable name where it has one.
    void choosingASerialDeviceMapsTheComNumberToIt()
    {
        setSerialDeviceSource([] { return QList{Acm, Ftdi}; });
        m_b->setIni("Devices", "COM2", Acm.location);
        writeComSetting(m_b->ini(), ComSetting{1, 0, 0, 0, 0});
        const auto dialog = openDialog();
        auto *list = m_ui.find<QTreeWidget>(QStringLiteral("serialDevices"));
        QCOMPARE(list->topLevelItemCount(), 2);
        QCOMPARE(list->topLevelItem(1)->text(1), Ftdi.stableName);
        QCOMPARE(list->currentItem(), list->topLevelItem(0));

        m_ui.find<QComboBox>(QStringLiteral("Port_num"))->setCurrentIndex(2);
        list->setCurrentItem(list->topLevelItem(1));
        m_ui.click(QStringLiteral("useDevice"));
        QCOMPARE(Read_ini(m_b->ini(), "Devices", "COM3", "-"), Ftdi.stableName);
        QCOMPARE(m_ui.find<QLabel>(QStringLiteral("portDevice"))->text(),
                 "Device: " + Ftdi.stableName +
                     " (mapped in set.ini [Devices])\nPresent: FT232R USB UART, FTDI, serial A5");
        WidgetDriver::doubleClickCell(list, 0, 0);
        QCOMPARE(Read_ini(m_b->ini(), "Devices", "COM3", "-"), Acm.location);
        QCOMPARE(m_captionPorts, (QStringList{"1", "1"})); // the stored COM2 until OK
        QVERIFY(dialog->isVisible());
    }

    // A device path typed into the port box is tested as it stands and stored by "OK" as the
    // device of the COM number the box showed last.
    void aTypedDevicePathIsTestedAndStoredForTheComNumber()
    {
        writeComSetting(m_b->ini(), ComSetting{2, 0, 0, 0, 0});
        const auto dialog = openDialog();
        auto *port = m_ui.find<QComboBox>(QStringLiteral("Port_num"));
        QVERIFY(port->isEditable());
        // Typing is taken as typed: "COM1" is not completed into "COM10".
        port->lineEdit()->selectAll();
        QTest::keyClicks(port->lineEdit(), QStringLiteral("COM1"));
        QCOMPARE(port->currentText(), QStringLiteral("COM1"));
        port->setCurrentIndex(2);
        port->lineEdit()->selectAll();
        QTest::keyClicks(port->lineEdit(), QStringLiteral("/dev/plc-adapter"));
        QCOMPARE(m_ui.find<QLabel>(QStringLiteral("portDevice"))->text(),
                 QStringLiteral("Device: /dev/plc-adapter (mapped to COM3 in set.ini [Devices] by "
                                "OK)\nNot present now; it can still be chosen and stored"));
        m_ui.click("Command2");
        finish(dialog->link());
        QCOMPARE(m_b->prompts.messages(), QStringList{Connected});
        QVERIFY(dialog->testRoute()->isEmpty()); // only while the test runs
        QCOMPARE(Read_ini(m_b->ini(), "Devices", "COM3", "-"), QStringLiteral("-"));

        m_ui.click("Command1");
        QVERIFY(!dialog->isVisible());
        QCOMPARE(Read_ini(m_b->ini(), "Devices", "COM3", "-"), QStringLiteral("/dev/plc-adapter"));
        QCOMPARE(m_captionPorts, QStringList{"2"});
    }

    // A text that names no port is neither tested nor stored; both say what the box takes, or
    // what is wrong with an address.
    void aTextThatNamesNoPortIsRefused_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("a bare name") << "ttyUSB0";
        QTest::newRow("an address without its TCP port") << "rfc2217://plc-hall";
    }
    void aTextThatNamesNoPortIsRefused()
    {
        QFETCH(QString, text);
        const auto dialog = openDialog();
        auto *port = m_ui.find<QComboBox>(QStringLiteral("Port_num"));
        port->setEditText(text);
        QCOMPARE(m_ui.find<QLabel>(QStringLiteral("portDevice"))->text(), portTextProblem(text));
        m_ui.click("Command2");
        finish(dialog->link());
        m_ui.click("Command1");
        QCOMPARE(m_b->prompts.messages(),
                 (QStringList{NoFirst + "\n\n" + portTextProblem(text), portTextProblem(text)}));
        QVERIFY(m_line->sends().isEmpty());
        QVERIFY(dialog->isVisible());
        QCOMPARE(storedPort(), QStringLiteral("none"));
        QCOMPARE(Read_ini(m_b->ini(), "Devices", "COM1", "-"), QStringLiteral("-"));
    }

    // A serial server, mapped in set.ini or typed, is shown as one; "OK" stores a typed address
    // as what the COM number the box showed last leads to.
    void aServerAddressIsShownAndStoredForTheComNumber_data()
    {
        QTest::addColumn<QString>("typed"); // empty: COM3 chosen from the list
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("stored");
        const QString mapped = QStringLiteral("rfc2217://10.0.0.5:4001");
        QTest::newRow("mapped in set.ini")
            << QString()
            << "Serial server: " + mapped +
                   " (mapped in set.ini [Devices])\nReached over the network; the line settings "
                   "are sent to the server"
            << mapped;
        QTest::newRow("typed, raw TCP")
            << " tcp://plc-hall:4002"
            << "Serial server: tcp://plc-hall:4002 (mapped to COM3 in set.ini [Devices] by OK)\n"
               "Reached over the network as a raw TCP port; the server's own line settings apply"
            << "tcp://plc-hall:4002";
    }
    void aServerAddressIsShownAndStoredForTheComNumber()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(QString, stored);
        m_b->setIni("Devices", "COM3", "rfc2217://10.0.0.5:4001");
        writeComSetting(m_b->ini(), ComSetting{2, 0, 0, 0, 0});
        const auto dialog = openDialog();
        if (!typed.isEmpty())
            m_ui.find<QComboBox>(QStringLiteral("Port_num"))->setEditText(typed);
        QCOMPARE(m_ui.find<QLabel>(QStringLiteral("portDevice"))->text(), shown);
        m_ui.click("Command1");
        QVERIFY(!dialog->isVisible());
        QCOMPARE(Read_ini(m_b->ini(), "Devices", "COM3", "-"), stored);
        QCOMPARE(storedPort(), QStringLiteral("2"));
    }

    // The box offers the serial devices found, stable names first with what they are, and the
    // simulated PLC, which "OK" leads every COM number to until another port is chosen.
    void theSimulatedPlcIsChosenUntilAnotherPortIs()
    {
        int running = 0;
        setSimulatedPlcFactory([&] { return std::make_unique<CountedPlc>(running); });
        setSerialDeviceSource([] { return QList{Acm, Ftdi}; });
        auto dialog = openDialog();
        auto *port = m_ui.find<QComboBox>(QStringLiteral("Port_num"));
        QStringList offered;
        for (int i = 10; i < port->count(); ++i)
            offered << port->itemText(i);
        QCOMPARE(offered, (QStringList{Ftdi.stableName, Acm.location, "Simulated PLC"}));
        QVERIFY(port->itemData(10, Qt::ToolTipRole).toString().contains("FTDI, serial A5"));

        port->setCurrentIndex(12);
        m_ui.click("Command2");
        finish(dialog->link());
        QCOMPARE(running, 1); // started for the test, on its own device
        QCOMPARE(m_b->prompts.messages(), QStringList{Connected});
        QVERIFY(!simulatedPlcInUse());
        m_ui.click("Command1");
        QVERIFY(simulatedPlcInUse() && mapComNumber(5, m_b->ini()).simulated);
        QCOMPARE(m_captionPorts, QStringList{"0"});

        dialog = openDialog();
        port = m_ui.find<QComboBox>(QStringLiteral("Port_num"));
        QCOMPARE(port->currentText(), QStringLiteral("Simulated PLC"));
        port->setCurrentIndex(1);
        m_ui.click("Command1");
        QVERIFY(!simulatedPlcInUse() && !mapComNumber(2, m_b->ini()).fromOverride);
        QCOMPARE(running, 0);
        QCOMPARE(storedPort(), QStringLiteral("1"));
    }

    void okThatCannotStoreSaysWhyAndStaysOpen()
    {
        // set.ini is a folder here: no program can write it, not even one run as root.
        QVERIFY(QDir(m_b->dir.path()).mkdir(QStringLiteral("set.ini")));
        const auto dialog = openDialog();
        m_ui.click("Command1");
        QCOMPARE(m_b->prompts.messages().size(), 1);
        QVERIFY(m_b->prompts.messages().first().contains(QDir::toNativeSeparators(m_b->ini())));
        QVERIFY(dialog->isVisible());
        QVERIFY(m_captionPorts.isEmpty());
    }

    void closingDuringATestEndsItQuietly()
    {
        const auto dialog = openDialog();
        m_b->plc().faults().silent = true;
        bool okGreyed = false;
        const auto closing = m_b->clock.callAfter(20, [&] {
            okGreyed = !m_ui.find(QStringLiteral("Command1"))->isEnabled();
            dialog->close();
        });
        m_ui.click("Command2");
        finish(dialog->link());
        QVERIFY(okGreyed);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
        QCOMPARE(storedPort(), QStringLiteral("none")); // closing stores nothing
        QVERIFY(m_captionPorts.isEmpty());
        QVERIFY(m_b->prompts.shown().isEmpty());
        QVERIFY(!m_line->isOpen());
    }
};

QTEST_MAIN(TestComSettingDialog)
#include "tst_com_setting_dialog.moc"
