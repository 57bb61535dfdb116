#include "link/com_setting_dialog.h"

#include "common/command.h"
#include "common/errors.h"
#include "link/device_map.h"
#include "link/ini_file.h"
#include "link/line_settings.h"
#include "link/plc_link.h"
#include "link/port_line.h"
#include "link/serial_line.h"
#include "widgets/controls.h"

#include <QComboBox>
#include <QCompleter>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

ComSettingDialog::ComSettingDialog(const QString &iniPath, std::unique_ptr<SerialLine> line,
                                   LinkContext context, Prompts &prompts,
                                   std::function<void()> captionChanged, QWidget *parent)
    : QDialog(parent), m_iniPath(iniPath), m_line(std::move(line)),
      m_link(std::make_unique<PlcLink>(*m_line, context)), m_prompts(prompts),
      m_captionChanged(std::move(captionChanged)), m_port(new QComboBox(this)),
      m_speed(new QComboBox(this)), m_parity(new QComboBox(this)), m_bits(new QComboBox(this)),
      m_stopBits(new QComboBox(this)), m_device(new QLabel(this)), m_devicesLabel(new QLabel(this)),
      m_devices(new QTreeWidget(this)), m_useDevice(new QPushButton(this)),
      m_refresh(new QPushButton(QStringLiteral("Refresh"), this)),
      m_ok(new QPushButton(QStringLiteral("OK"), this)),
      m_test(new QPushButton(QStringLiteral("Test"), this))
{
    setObjectName(QStringLiteral("Com_setting"));
    setWindowTitle(QStringLiteral("COM-port setting"));
    setModal(true);

    const ComSetting stored = readComSetting(m_iniPath);
    auto *form = new QFormLayout;
    auto addList = [&](QComboBox *list, const char *name, const QString &label,
                       const QStringList &items, int position) {
        list->setObjectName(QLatin1String(name));
        list->addItems(items);
        list->setCurrentIndex(position);
        form->addRow(labelFor(list, label), list);
    };
    m_port->setObjectName(QStringLiteral("Port_num"));
    m_port->setEditable(true);
    m_port->setInsertPolicy(QComboBox::NoInsert);
    // Completing inline would turn a typed "COM1" into "COM10": offer, never fill in.
    m_port->completer()->setCompletionMode(QCompleter::PopupCompletion);
    m_port->setToolTip(
        tr("COM1 to COM10, a device path such as /dev/ttyUSB0, or %1").arg(simulatedPlcText()));
    form->addRow(labelFor(m_port, QStringLiteral("COM-port :")), m_port);
    fillPortList(stored.portNumber());
    m_device->setObjectName(QStringLiteral("portDevice"));
    m_device->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_device->setWordWrap(true);
    form->addRow(QString(), m_device);
    addList(m_speed, "Speed_set", QStringLiteral("Speed setting:"), LineChoices::portSpeeds(),
            stored.speed);
    addList(m_parity, "Parity_set", QStringLiteral("Parity setting"), LineChoices::parityLetters(),
            stored.parity);
    addList(m_bits, "Bit_setting", QStringLiteral("Bit number:"), LineChoices::dataBits(),
            stored.bitNum);
    addList(m_stopBits, "Stop_bit", QStringLiteral("Stop bit"), LineChoices::stopBits(),
            stored.stopBit);

    m_ok->setObjectName(QStringLiteral("Command1"));
    m_test->setObjectName(QStringLiteral("Command2"));
    m_ok->setDefault(true);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_test);

    m_devices->setObjectName(QStringLiteral("serialDevices"));
    m_devicesLabel->setBuddy(m_devices);
    m_devices->setAccessibleName(QStringLiteral("Serial devices"));
    m_devices->setRootIsDecorated(false);
    m_devices->setAllColumnsShowFocus(true);
    m_devices->setHeaderLabels({QStringLiteral("Device"), QStringLiteral("Stable name"),
                                QStringLiteral("Maker"), QStringLiteral("Product"),
                                QStringLiteral("Serial number")});
    m_devices->setMinimumSize(fontMetrics().averageCharWidth() * 100, fontMetrics().height() * 8);
    m_useDevice->setObjectName(QStringLiteral("useDevice"));
    m_refresh->setObjectName(QStringLiteral("refreshDevices"));
    auto *deviceButtons = new QHBoxLayout;
    deviceButtons->addWidget(m_useDevice);
    deviceButtons->addWidget(m_refresh);
    deviceButtons->addStretch(1);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_devicesLabel);
    layout->addWidget(m_devices);
    layout->addLayout(deviceButtons);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    m_device->setMinimumWidth(fontMetrics().averageCharWidth() * 48);

    connect(m_port, &QComboBox::editTextChanged, this, &ComSettingDialog::showDevice);
    connect(m_devices, &QTreeWidget::currentItemChanged, this,
            [this] { m_useDevice->setEnabled(m_devices->currentItem()); });
    // Enter is the dialog's own (OK); a double click or the button maps.
    connect(m_devices, &QTreeWidget::itemDoubleClicked, this, &ComSettingDialog::onUseDevice);
    connect(m_useDevice, &QPushButton::clicked, this, &ComSettingDialog::onUseDevice);
    connect(m_refresh, &QPushButton::clicked, this, &ComSettingDialog::listDevices);
    connect(m_ok, &QPushButton::clicked, this, &ComSettingDialog::onOk);
    connect(m_test, &QPushButton::clicked, this, [this] { startCommand(onTest()); });
    connect(m_link.get(), &PlcLink::busyChanged, this, [this](bool busy) {
        m_ok->setEnabled(!busy);
        m_test->setEnabled(!busy);
    });
    listDevices();
}

ComSettingDialog::~ComSettingDialog()
{
    m_link.reset();
    m_line->close();
}

std::unique_ptr<ComSettingDialog> ComSettingDialog::create(const QString &iniPath,
                                                           LinkContext context, Prompts &prompts,
                                                           std::function<void()> captionChanged,
                                                           QWidget *parent)
{
    const auto route = std::make_shared<QString>();
    auto line = std::make_unique<PortLine>([iniPath, route](int comNumber) {
        return route->isEmpty() ? comDevice(comNumber, iniPath) : *route;
    });
    auto dialog = std::make_unique<ComSettingDialog>(iniPath, std::move(line), context, prompts,
                                                     std::move(captionChanged), parent);
    dialog->m_testRoute = route;
    return dialog;
}

void ComSettingDialog::runModal(const QString &iniPath, LinkContext context, Prompts &prompts,
                                std::function<void()> captionChanged, QWidget *parent)
{
    create(iniPath, context, prompts, std::move(captionChanged), parent)->exec();
}

void ComSettingDialog::fillPortList(int comNumber)
{
    const QString shown = m_port->currentText();
    const QSignalBlocker quiet(m_port);
    m_port->clear();
    m_port->addItems(comPortItems());
    for (const SerialDevice &device : serialDevicesStableFirst()) {
        m_port->addItem(device.mappingName());
        const QString details = device.details();
        m_port->setItemData(m_port->count() - 1,
                            details.isEmpty() ? device.location
                                              : details + QStringLiteral("\n") + device.location,
                            Qt::ToolTipRole);
    }
    if (simulatedPlcOffered())
        m_port->addItem(simulatedPlcText());

    if (!shown.isEmpty()) {
        m_port->setEditText(shown);
        return;
    }
    // How this run reaches the PLC now: the simulated PLC and a device given for this run are
    // not in set.ini, so the box shows them rather than the COM number they stand behind.
    const ComMapping mapping = mapComNumber(comNumber, m_iniPath);
    m_comNumber = comNumber;
    if (mapping.simulated)
        m_port->setEditText(simulatedPlcText());
    else if (mapping.fromOverride)
        m_port->setEditText(mapping.device);
    else
        m_port->setCurrentIndex(comNumber - 1);
}

std::optional<PortChoice> ComSettingDialog::shownPort() const
{
    return parsePortText(m_port->currentText());
}

ComSetting ComSettingDialog::shownSetting() const
{
    const auto port = shownPort();
    const int comNumber =
        port && port->kind == PortChoice::Kind::Com ? port->comNumber : m_comNumber;
    return {comNumber - 1, m_speed->currentIndex(), m_parity->currentIndex(),
            m_bits->currentIndex(), m_stopBits->currentIndex()};
}

void ComSettingDialog::showDevice()
{
    const auto port = shownPort();
    if (port && port->kind == PortChoice::Kind::Com)
        m_comNumber = port->comNumber;
    const int comNumber = m_comNumber;
    ComDeviceInfo info = describeComDevice(comNumber, m_iniPath);
    if (!port) {
        m_device->setText(portTextProblem(m_port->currentText()));
    } else if (port->kind == PortChoice::Kind::Simulated) {
        m_device->setText(tr("The simulated PLC built into the program: every COM number leads to "
                             "it for this run, until another port is chosen"));
    } else {
        if (!port->target().isEmpty()) {
            info = describeDevice(port->target());
            info.mappedBy = tr("to %1 in set.ini [Devices] by OK").arg(comName(comNumber));
        }
        m_device->setText(comDeviceText(info));
    }
#ifdef Q_OS_WIN
    m_useDevice->setText(QStringLiteral("Choose its COM number"));
#else
    m_useDevice->setText(QStringLiteral("Map %1 to it").arg(comName(comNumber)));
#endif
    // The device the COM number leads to, when it is one of those listed.
    for (int row = 0; row < m_found.size(); ++row) {
        if (m_found[row].isNamedBy(info.device))
            m_devices->setCurrentItem(m_devices->topLevelItem(row));
    }
}

void ComSettingDialog::listDevices()
{
    fillPortList(m_comNumber);
    m_found = serialDevices();
    m_devices->clear();
    for (const SerialDevice &d : std::as_const(m_found)) {
        new QTreeWidgetItem(m_devices,
                            {d.location, d.stableName, d.maker, d.product, d.serialNumber});
    }
    for (int column = 0; column < m_devices->columnCount(); ++column)
        m_devices->resizeColumnToContents(column);
    m_devicesLabel->setText(m_found.isEmpty()
                                ? QStringLiteral("Serial devices on this computer: none found")
                                : QStringLiteral("Serial devices on this computer:"));
    m_useDevice->setEnabled(false);
    showDevice();
}

void ComSettingDialog::onUseDevice()
{
    const int row = m_devices->indexOfTopLevelItem(m_devices->currentItem());
    if (row < 0 || row >= m_found.size())
        return;
    const SerialDevice &device = m_found[row];
#ifdef Q_OS_WIN
    // COMn is the device itself: the choice is its number, when the list holds it.
    const int index = m_port->findText(device.location, Qt::MatchFixedString);
    if (index >= 0)
        m_port->setCurrentIndex(index);
#else
    const QString key = comName(m_comNumber);
    if (!runCommand(m_prompts, [&] {
            Write_ini(m_iniPath, QStringLiteral("Devices"), key, device.mappingName());
        }))
        return;
    showDevice();
    if (m_captionChanged)
        m_captionChanged();
#endif
}

void ComSettingDialog::storePort(const PortChoice &port)
{
    switch (port.kind) {
    case PortChoice::Kind::Simulated:
        useSimulatedPlc();
        return;
    case PortChoice::Kind::Device:
    case PortChoice::Kind::Network:
        Write_ini(m_iniPath, QStringLiteral("Devices"), comName(m_comNumber), port.target());
        break;
    case PortChoice::Kind::Com:
        break;
    }
    // Another port is chosen: what this run used instead of set.ini ends here.
    clearComOverrides();
}

QString ComSettingDialog::routeTest(const std::optional<PortChoice> &port)
{
    m_testRoute->clear();
    if (!port)
        return portTextProblem(m_port->currentText());
    try {
        if (!port->target().isEmpty())
            *m_testRoute = port->target();
        else if (port->kind == PortChoice::Kind::Simulated)
            *m_testRoute = simulatedPlcDevice();
    } catch (const CommandError &e) {
        return e.description();
    }
    return {};
}

void ComSettingDialog::onOk()
{
    const auto port = shownPort();
    if (!port) {
        m_prompts.message(portTextProblem(m_port->currentText()));
        return;
    }
    const ComSetting setting = shownSetting();
    // Settings that were not stored must not look stored: the dialog stays open.
    if (!runCommand(m_prompts, [&] {
            storePort(*port);
            writeComSetting(m_iniPath, setting);
        }))
        return;
    if (m_captionChanged)
        m_captionChanged();
    runCommand(m_prompts, [&] { Open_com_port(*m_line, m_iniPath); });
    accept();
}

QCoro::Task<> ComSettingDialog::onTest()
{
    const ComSetting setting = shownSetting();
    const QString problem = routeTest(shownPort());
    co_await runCommandAsync(m_prompts, [&]() -> QCoro::Task<> {
        co_await testConnection(*m_link, m_prompts, setting, problem);
    });
    // A test cut short leaves the line draining: the dialog closes once the link is free.
    co_await m_link->idle();
    m_testRoute->clear();
    if (m_pendingResult)
        done(*std::exchange(m_pendingResult, std::nullopt));
}

void ComSettingDialog::done(int result)
{
    if (m_link->busy()) {
        // The test's wait ends at once; the dialog closes when the test has unwound.
        m_pendingResult = result;
        m_link->abort();
        return;
    }
    m_line->close();
    QDialog::done(result);
}
