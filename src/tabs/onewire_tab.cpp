#include "tabs/onewire_tab.h"

#include "common/prompts.h"
#include "link/device_map.h"
#include "link/port_line.h"
#include "onewire/aux_encoding.h"
#include "onewire/aux_transfer.h"
#include "onewire/rom_code.h"
#include "onewire/search_dialog.h"
#include "onewire/sensor_dialog.h"
#include "transfer/plc_verify.h"
#include "widgets/cell_editor.h"
#include "widgets/controls.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

OnewireTab::OnewireTab(const TabContext &context, QWidget *parent)
    : MainTab(context, QStringLiteral("tabOnewire"), parent),
      m_auxFrame(makeFrame(QStringLiteral("Frame2"), QStringLiteral(" Auxiliary port setting "),
                           QSize(190, 210))),
      m_fieldNetFrame(makeFrame(QStringLiteral("USART3_setting"),
                                QStringLiteral("Field Net port setting"), QSize(190, 200))),
      m_masterFrame(makeFrame(QStringLiteral("Frame3"),
                              QStringLiteral("1-wire master configuration"), QSize(640, 420)))
{
    const QString ini = iniPath();
    m_lineFactory = [ini] {
        return std::make_unique<PortLine>([ini](int com) { return comDevice(com, ini); });
    };

    // Port mode above the Field Net settings on the left; the sensor table to the right.
    auto *layout = new QGridLayout(this);
    layout->addWidget(m_auxFrame, 0, 0);
    layout->addWidget(m_fieldNetFrame, 1, 0);
    layout->addWidget(m_masterFrame, 0, 1, 3, 1);
    layout->setRowStretch(2, 1);
    layout->setColumnStretch(1, 1);

    buildAuxFrame();
    buildFieldNetFrame();
    buildMasterFrame();

    connect(&m_port, &AuxPort::modeChanged, this, &OnewireTab::showMode);
    connect(&m_port, &AuxPort::fieldNetChanged, this, &OnewireTab::showFieldNet);
    addMenuUpload([this] { return readFromPlc(); });
}

void OnewireTab::buildAuxFrame()
{
    auto *column = new QVBoxLayout(m_auxFrame);
    // The model's own selections come back here already made.
    m_modes =
        makeOptions(m_auxFrame, column, QStringLiteral("Option1"), auxModeNames(), [this](int id) {
            if (m_port.mode() != static_cast<AuxMode>(id))
                m_port.setMode(static_cast<AuxMode>(id));
        });
    // Switched off for good: only an upload or a project load selects Field Net.
    m_modes->button(static_cast<int>(AuxMode::FieldNet))->setEnabled(false);

    addTransferButtons(
        m_auxFrame, column, QStringLiteral("Command17"), QStringLiteral("Command18"),
        [this] { return writeToPlc(); }, [this] { return uploadFromPlc(); });
}

void OnewireTab::buildFieldNetFrame()
{
    auto *form = new QFormLayout(m_fieldNetFrame);
    auto list = [this, form](const char *name, const QString &label, const QStringList &items) {
        QComboBox *combo = makeList(m_fieldNetFrame, QLatin1String(name), items);
        form->addRow(labelFor(combo, label), combo);
        connect(combo, &QComboBox::currentIndexChanged, this, &OnewireTab::storeFieldNet);
        return combo;
    };
    m_speed = list("Combo4", QStringLiteral("Speed setting:"), FieldNetSettings::speeds());
    m_dataBits = list("Combo3", QStringLiteral("Bit number:"), FieldNetSettings::dataBitsItems());
    m_parity = list("Combo2", QStringLiteral("Parity setting"), FieldNetSettings::parities());
    m_stopBits = list("Combo5", QStringLiteral("Stop bit"), FieldNetSettings::stopBitsItems());
    showFieldNet(m_port.fieldNet());
}

void OnewireTab::buildMasterFrame()
{
    auto button = [this](const char *name, const QString &caption) {
        return makeButton(m_masterFrame, QLatin1String(name), caption);
    };
    QPushButton *add = button("Command8", QStringLiteral("Add slave"));
    QPushButton *modify = button("Command9", QStringLiteral("Modify slave"));
    QPushButton *search = button("Command10", QStringLiteral("Search slave"));
    QPushButton *remove = button("Command11", QStringLiteral("Delete slave"));
    // No action: it only keeps its place in the column.
    QPushButton *removeAll = button("Command21", QStringLiteral("Delete all slave"));
    connect(add, &QPushButton::clicked, this, [this] { openSensorDialog(false); });
    connect(modify, &QPushButton::clicked, this, [this] { openSensorDialog(true); });
    connect(search, &QPushButton::clicked, this, &OnewireTab::openSearchDialog);
    connect(remove, &QPushButton::clicked, this, &OnewireTab::deleteSensor);
    addPlcControl(search);

    m_grid = new QTableView(m_masterFrame);
    m_grid->setObjectName(QStringLiteral("Grid1"));
    m_grid->setAccessibleName(QStringLiteral("1-wire sensors"));
    m_grid->setModel(&m_port.sensors());
    m_grid->setItemDelegate(new CellRuleDelegate(
        m_grid,
        [this](const QModelIndex &cell) {
            const SensorTable &table = m_port.sensors();
            if (cell.row() >= table.sensorCount())
                return QString();
            const SensorRow sensor = table.sensor(cell.row());
            const int byte = cell.column() - SensorTable::FirstByteColumn;
            return byte >= 0 && byte < 8 ? romCellRule(sensor.rom, byte)
                                         : sensorCellRule(sensor, cell.column());
        },
        CellRuleDelegate::FirstColumn::Data,
        [this](const QModelIndex &cell) {
            const SensorTable &table = m_port.sensors();
            const int byte = cell.column() - SensorTable::FirstByteColumn;
            return cell.row() < table.sensorCount() && byte >= 0 && byte < 8
                       ? romFamilyText(table.sensor(cell.row()).rom)
                       : QString();
        }));
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->verticalHeader()->hide();
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_editor = new CellEditor(m_grid, CellEditor::NoGridKeys);
    m_editor->setObjectName(QStringLiteral("Text4"));
    m_editor->setAccessibleName(QStringLiteral("Cell of the sensor table"));

    // The selection follows the grid's current row; a table replaced as a whole keeps it.
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                if (current.isValid())
                    m_selectedRow = current.row();
            });
    connect(&m_port.sensors(), &QAbstractItemModel::modelReset, this, [this] {
        if (m_selectedRow < m_port.sensors().rowCount())
            m_grid->setCurrentIndex(m_port.sensors().index(m_selectedRow, 1));
    });

    auto *buttons = new QVBoxLayout;
    for (QPushButton *b : {add, modify, search, remove, removeAll})
        buttons->addWidget(b);
    buttons->addStretch(1);
    auto *row = new QHBoxLayout(m_masterFrame);
    row->addLayout(buttons);
    row->addWidget(m_grid, 1);
}

void OnewireTab::selectCell(int row, int column)
{
    m_grid->setCurrentIndex(m_port.sensors().index(row, column));
    m_grid->setFocus();
}

void OnewireTab::startUp()
{
    showFieldNet(FieldNetSettings{});
    m_port.setFieldNet(FieldNetSettings{});
    m_port.setMode(AuxMode::NotUse);
}

void OnewireTab::showMode(AuxMode mode)
{
    if (QAbstractButton *option = m_modes->button(static_cast<int>(mode)))
        option->setChecked(true);
    m_masterFrame->setVisible(mode == AuxMode::OnewireMaster);
    m_fieldNetFrame->setVisible(mode == AuxMode::FieldNet);
}

void OnewireTab::showFieldNet(const FieldNetSettings &settings)
{
    const QSignalBlocker b1(m_speed), b2(m_dataBits), b3(m_parity), b4(m_stopBits);
    m_speed->setCurrentIndex(settings.speed);
    m_dataBits->setCurrentIndex(settings.dataBits);
    m_parity->setCurrentIndex(settings.parity);
    m_stopBits->setCurrentIndex(settings.stopBits);
}

void OnewireTab::storeFieldNet()
{
    m_port.setFieldNet({m_speed->currentIndex(), m_dataBits->currentIndex(),
                        m_parity->currentIndex(), m_stopBits->currentIndex()});
}

void OnewireTab::openSensorDialog(bool modify)
{
    SensorTable &table = m_port.sensors();
    // Only a sensor or the placeholder row can be modified; a selection left beyond the table
    // by deletions names no row.
    if (modify && m_selectedRow > table.sensorCount())
        return;
    SensorDialog dialog(table, modify ? SensorDialog::Purpose::Modify : SensorDialog::Purpose::Add,
                        m_selectedRow, this);
    dialog.exec();
}

void OnewireTab::deleteSensor()
{
    if (!prompts().question(QStringLiteral("You are shure for delete this sensor?"), QString()))
        return;
    // The selection names a row number, not a sensor: it stays where it was, as the view would
    // otherwise move it up to the row above.
    const int selected = m_selectedRow;
    const int column = std::max(1, m_grid->currentIndex().column());
    m_port.sensors().deleteSensor(selected);
    m_selectedRow = selected;
    if (selected < m_port.sensors().rowCount())
        m_grid->setCurrentIndex(m_port.sensors().index(selected, column));
}

void OnewireTab::openSearchDialog()
{
    SearchDialog dialog(m_lineFactory(), link().context(), iniPath(), prompts(), m_port.sensors(),
                        this);
    connect(&dialog, &SearchDialog::searchEnded, this,
            [this](const QString &text, bool failure) { reportEnded(text, failure); });
    dialog.exec();
    if (!dialog.importNote().isEmpty())
        reportEnded(dialog.importNote());
}

QCoro::Task<> OnewireTab::writeToPlc()
{
    co_await runPortWrite(auxPortName(),
                          [this](bool verify, PortWriteReport &report) -> QCoro::Task<> {
                              co_await writePortVerified(link(), iniPath(), prompts(),
                                                         m_port.config(), verify, report);
                          });
}

QCoro::Task<> OnewireTab::uploadFromPlc()
{
    co_await runUploadButton([this] { return readFromPlc(); });
}

QCoro::Task<PortReadReport> OnewireTab::readFromPlc()
{
    co_return co_await runPortRead(auxPortName(), [this](PortReadReport &r) -> QCoro::Task<> {
        const auto uploaded = co_await uploadAuxPort(link(), iniPath(), prompts());
        r.endedAs(uploaded);
        if (uploaded)
            applyUploadedAux(m_port, *uploaded);
    });
}
