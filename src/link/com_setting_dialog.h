#pragma once

#include "link/com_setting.h"
#include "link/serial_devices.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <optional>

class PlcLink;
class Prompts;
class QComboBox;
class QLabel;
class QPushButton;
class QTreeWidget;
class SerialLine;

// The modal dialog "Com_setting": chooses the PLC port and its line settings, stores them in
// section "COM" of set.ini, and tests them on a serial line of its own. Below, the serial
// devices the system has: choosing one maps the chosen COM number to it in section "Devices".
class ComSettingDialog final : public QDialog
{
    Q_OBJECT
public:
    // line: the dialog's own line, closed whenever the dialog closes. captionChanged renews the
    // main window's caption once "OK" has stored the settings or a device has been mapped.
    ComSettingDialog(const QString &iniPath, std::unique_ptr<SerialLine> line, Prompts &prompts,
                     std::function<void()> captionChanged, QWidget *parent = nullptr);
    ~ComSettingDialog() override;

    // Runs the dialog modally on the serial port each COM number maps to.
    static void runModal(const QString &iniPath, Prompts &prompts,
                         std::function<void()> captionChanged, QWidget *parent);

    // The five selections as shown.
    ComSetting shownSetting() const;
    PlcLink &link() { return *m_link; }

    // Closes the dialog's line; while a test is running, ends the test first.
    void done(int result) final;

private:
    void onOk();
    void onTest();
    void showDevice();
    void listDevices();
    void onUseDevice();

    QString m_iniPath;
    std::unique_ptr<SerialLine> m_line;
    std::unique_ptr<PlcLink> m_link; // refers to m_line, so it goes first
    Prompts &m_prompts;
    std::function<void()> m_captionChanged;
    std::optional<int> m_pendingResult; // asked to close while a test was running

    QComboBox *m_port;     // Port_num
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
