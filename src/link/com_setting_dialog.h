#pragma once

#include "link/com_setting.h"
#include "link/port_choice.h"
#include "link/serial_devices.h"

#include <QDialog>

#include <QCoroTask>

#include <functional>
#include <memory>
#include <optional>

class PlcLink;
struct LinkContext;
class Prompts;
class QComboBox;
class QLabel;
class QPushButton;
class QTreeWidget;
class SerialLine;

// The modal dialog "Com_setting": chooses the PLC port and its line settings, stores them in
// section "COM" of set.ini, and tests them on a serial line of its own. The port box takes a COM
// number, a device path (typed, or one of the serial devices found) or a serial server's address
// (rfc2217://HOST:PORT, tcp://HOST:PORT), which "OK" stores as what the COM number leads to in
// section "Devices", or the simulated PLC, used for this run. Below,
// the serial devices the system has: choosing one maps the shown COM number to it there.
class ComSettingDialog final : public QDialog
{
    Q_OBJECT
public:
    // line: the dialog's own line, closed whenever the dialog closes. captionChanged renews the
    // main window's caption once "OK" has stored the settings or a device has been mapped.
    // context: the window's clock and frame tap, which the dialog's Test uses too.
    ComSettingDialog(const QString &iniPath, std::unique_ptr<SerialLine> line, LinkContext context,
                     Prompts &prompts, std::function<void()> captionChanged,
                     QWidget *parent = nullptr);
    ~ComSettingDialog() override;

    // The dialog on the serial port each COM number maps to, or the one the port box names
    // while a test runs.
    static std::unique_ptr<ComSettingDialog> create(const QString &iniPath, LinkContext context,
                                                    Prompts &prompts,
                                                    std::function<void()> captionChanged,
                                                    QWidget *parent);
    // The same, run modally.
    static void runModal(const QString &iniPath, LinkContext context, Prompts &prompts,
                         std::function<void()> captionChanged, QWidget *parent);

    // The five selections as shown; for a device path or the simulated PLC, the COM number the
    // box showed last.
    ComSetting shownSetting() const;
    // What the port box names; nothing when its text names no port.
    std::optional<PortChoice> shownPort() const;
    // The device or address the dialog's line is sent to instead of the COM number's, while a
    // typed device path, a typed address or the simulated PLC is tested. A line made by create()
    // asks it at every open.
    const std::shared_ptr<QString> &testRoute() const { return m_testRoute; }
    PlcLink &link() { return *m_link; }

    // Closes the dialog's line; while a test is running, ends the test first.
    void done(int result) final;

private:
    void onOk();
    QCoro::Task<> onTest();
    void showDevice();
    void listDevices();
    void onUseDevice();
    void fillPortList(int comNumber);
    // Where the port box leads, for the test; the reason when nowhere.
    QString routeTest(const std::optional<PortChoice> &port);
    void storePort(const PortChoice &port);

    QString m_iniPath;
    std::unique_ptr<SerialLine> m_line;
    std::unique_ptr<PlcLink> m_link; // refers to m_line, so it goes first
    Prompts &m_prompts;
    std::function<void()> m_captionChanged;
    std::optional<int> m_pendingResult; // asked to close while a test was running
    std::shared_ptr<QString> m_testRoute = std::make_shared<QString>();
    int m_comNumber = 1; // the COM number the port box showed last

    QComboBox *m_port;     // Port_num, editable
    QComboBox *m_speed;    // Speed_set
    QComboBox *m_parity;   // Parity_set
    QComboBox *m_bits;     // Bit_setting
    QComboBox *m_stopBits; // Stop_bit
    QLabel *m_device;      // where the chosen COM number leads
    QLabel *m_devicesLabel;
    QTreeWidget *m_devices; // the system's serial devices
    QPushButton *m_useDevice;
    QPushButton *m_refresh;
    QList<SerialDevice> m_found;
    QPushButton *m_ok;   // Command1
    QPushButton *m_test; // Command2
};
