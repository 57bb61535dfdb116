#include "tabs/uart_tab.h"

#include "common/hex_text.h"
#include "common/prompts.h"
#include "link/line_settings.h"
#include "modbus/modbus_timing.h"
#include "modbus/modbus_upload.h"
#include "modbus/slave_dialog.h"
#include "modbus/slave_table.h"
#include "transfer/plc_verify.h"
#include "widgets/cell_editor.h"
#include "widgets/controls.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QTableView>
#include <QVBoxLayout>

namespace {

// The counterpart controls of the two ports: UART 1's name, then UART 2's.
UartTabNames namesOf(bool second)
{
    auto pick = [second](const char *one, const char *two) {
        return QString::fromLatin1(second ? two : one);
    };
    UartTabNames n;
    n.tab = pick("tabUart1", "tabUart2");
    n.general = pick("Frame1", "Frame13");
    n.master = pick("Frame_master", "Frame_master2");
    n.slave = pick("Frame_slave", "Frame_slave2");
    n.modeButtons = pick("Option4", "Option5");
    n.speed = pick("Speed_set", "Speed_set2");
    n.parity = pick("Parity_set", "Parity_set2");
    n.bitNumber = pick("Bit_setting", "Combo10");
    n.stopBit = pick("Stop_bit", "Combo7");
    n.write = pick("Command19", "Command7");
    n.upload = pick("Command20", "Command26");
    n.grid = pick("grid", "grid2");
    n.editor = pick("Text3", "Text10");
    n.add = pick("Command1", "Command27");
    n.modify = pick("Command2", "Command28");
    n.remove = pick("Command3", "Command29");
    n.slaveAddress = pick("Text1", "Text16");
    n.slaveTimeout = pick("Text2", "Text5");
    n.dialog = pick("Slave", "Slave2");
    n.dialogCaption = pick("Slave add/modify", "Form1");
    // Only UART 2 has the switched-off "Download" and "Upload" buttons.
    if (second)
        n.offButtons = {QStringLiteral("Command24"), QStringLiteral("Command25")};
    n.port = second ? &ModbusPortInfo::uart2() : &ModbusPortInfo::uart1();
    return n;
}

} // namespace

UartTabNames UartTabNames::uart1()
{
    return namesOf(false);
}

UartTabNames UartTabNames::uart2()
{
    return namesOf(true);
}

UartTab::UartTab(const TabContext &context, const UartTabNames &names, QWidget *parent)
    : MainTab(context, names.tab, parent), m_names(names),
      m_port(new ModbusPort(*names.port, this)),
      m_generalFrame(
          makeFrame(names.general, QStringLiteral("Modbus general setting"), QSize(260, 320))),
      m_masterFrame(
          makeFrame(names.master, QStringLiteral("Modbus master configuration"), QSize(600, 420))),
      m_slaveFrame(makeFrame(names.slave, QStringLiteral("Modbus slave setting"), QSize(260, 120)))
{
    buildGeneralFrame();
    buildSlaveFrame();
    buildMasterFrame();

    // Mode and line settings with the slave-mode fields below them on the left; the slave table
    // takes the rest of the tab.
    auto *layout = new QGridLayout(this);
    layout->addWidget(m_generalFrame, 0, 0);
    layout->addWidget(m_slaveFrame, 1, 0);
    layout->addWidget(m_masterFrame, 0, 1, 3, 1);
    layout->setRowStretch(2, 1);
    layout->setColumnStretch(1, 1);

    connect(m_port, &ModbusPort::modeSelected, this, &UartTab::onModeSelected);
    connect(m_port, &ModbusPort::settingsChanged, this, &UartTab::showSettings);
    addMenuUpload([this] { return readFromPlc(); });
    showSettings();
    onModeSelected(m_port->mode());
}

void UartTab::buildGeneralFrame()
{
    auto *layout = new QVBoxLayout(m_generalFrame);

    // The model's own selections come back here already made.
    m_modeGroup = makeOptions(m_generalFrame, layout, m_names.modeButtons, PortLists::modes(),
                              [this](int id) {
                                  if (m_port->mode() != static_cast<PortMode>(id))
                                      m_port->setMode(static_cast<PortMode>(id));
                              });

    auto *lists = new QGridLayout;
    auto addList = [&](const QString &name, const QString &label, const QStringList &items,
                       bool on) {
        QComboBox *list = makeList(m_generalFrame, name, items);
        QLabel *text = labelFor(list, label);
        // Bit number and stop bit are fixed by the PLC: shown, never changed here.
        list->setEnabled(on);
        text->setEnabled(on);
        const int row = lists->rowCount();
        lists->addWidget(text, row, 0);
        lists->addWidget(list, row, 1);
        return list;
    };
    m_speed = addList(m_names.speed, QStringLiteral("Speed setting:"), LineChoices::speeds(), true);
    m_parity =
        addList(m_names.parity, QStringLiteral("Parity setting"), PortLists::parities(), true);
    m_bitNumber =
        addList(m_names.bitNumber, QStringLiteral("Bit number:"), LineChoices::dataBits(), false);
    m_stopBit =
        addList(m_names.stopBit, QStringLiteral("Stop bit"), LineChoices::stopBits(), false);
    layout->addLayout(lists);
    connect(m_speed, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_port->setSpeed(index); });
    connect(m_parity, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_port->setParity(index); });

    addTransferButtons(
        m_generalFrame, layout, m_names.write, m_names.upload, [this] { return writeToPlc(); },
        [this] { return uploadFromPlc(); });

    if (m_names.offButtons.size() == 2) {
        // Switched off for good: they keep their place and do nothing.
        auto *row = new QHBoxLayout;
        for (const auto &[name, caption] : {std::pair{m_names.offButtons[0], "Download"},
                                            std::pair{m_names.offButtons[1], "Upload"}}) {
            QPushButton *off = makeButton(m_generalFrame, name, QLatin1String(caption));
            off->setEnabled(false);
            row->addWidget(off);
        }
        layout->addLayout(row);
    }
}

void UartTab::buildMasterFrame()
{
    auto *layout = new QVBoxLayout(m_masterFrame);

    m_grid = new QTableView(m_masterFrame);
    m_grid->setObjectName(m_names.grid);
    m_grid->setAccessibleName(QStringLiteral("Slave table"));
    m_grid->setModel(&m_port->slaves());
    m_grid->setItemDelegate(new CellRuleDelegate(
        m_grid,
        [this](const QModelIndex &cell) {
            return cell.row() < m_port->slaves().itemCount()
                       ? slaveCellRule(m_port->slaves(), cell.row(), cell.column())
                       : QString();
        },
        CellRuleDelegate::FirstColumn::Fixed,
        [this](const QModelIndex &cell) {
            // The table keeps the list's index; the request on the wire has a function code.
            if (cell.column() != SlaveColumn::Function)
                return QString();
            const auto index = roundHalfEven(m_port->slaves().cell(cell.row(), cell.column()));
            return index ? modbusFunctionTip(int(*index)) : QString();
        }));
    m_grid->verticalHeader()->hide();
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_grid->horizontalHeader()->setSectionResizeMode(SlaveColumn::Slot,
                                                     QHeaderView::ResizeToContents);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    m_grid->setTabKeyNavigation(false);
    // While an empty table is hidden, the buttons keep their place below it.
    QSizePolicy policy = m_grid->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    m_grid->setSizePolicy(policy);
    layout->addWidget(m_grid, 1);

    // The selection is the highlighted cell, however it got there (click, keys, a command).
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) {
                if (!current.isValid())
                    return;
                m_indexGrid = current.row() + 1;
                m_indexCol = current.column();
            });
    TextTable *table = &m_port->slaves();
    // A table filled from elsewhere (upload, project load) is shown with the selection kept.
    connect(table, &QAbstractItemModel::modelReset, this, [this] {
        showTable();
        selectRow(m_indexGrid);
    });
    connect(table, &QAbstractItemModel::rowsInserted, this, &UartTab::showTable);

    // The grid's own editor box, with the port's checks.
    m_editor =
        new CellEditor(m_grid, CellEditor::EnterOpens | CellEditor::DeleteEmpties, m_masterFrame);
    m_editor->setObjectName(m_names.editor);
    m_editor->setAccessibleName(QStringLiteral("Cell editor"));
    m_editor->setCheck(
        [this](const QModelIndex &cell, const QString &text) { return acceptCell(cell, text); });
    // The cell keeps the function's index; its editor names each with the code on the wire.
    m_editor->setChoices(SlaveColumn::Function, modbusFunctionChoices());

    auto *buttons = new QHBoxLayout;
    auto *add = makeButton(m_masterFrame, m_names.add, QStringLiteral("Add slave "));
    auto *modify = makeButton(m_masterFrame, m_names.modify, QStringLiteral("Modify slave"));
    auto *remove = makeButton(m_masterFrame, m_names.remove, QStringLiteral("Delete slave"));
    connect(add, &QPushButton::clicked, this, &UartTab::addSlave);
    connect(modify, &QPushButton::clicked, this, &UartTab::modifySlave);
    connect(remove, &QPushButton::clicked, this, &UartTab::deleteSlave);
    buttons->addWidget(add);
    buttons->addWidget(modify);
    buttons->addWidget(remove);
    buttons->addStretch(1);
    layout->addLayout(buttons);
}

void UartTab::buildSlaveFrame()
{
    auto *layout = new QGridLayout(m_slaveFrame);
    m_slaveAddress = new QLineEdit(m_slaveFrame);
    m_slaveAddress->setObjectName(m_names.slaveAddress);
    m_slaveTimeout = new QLineEdit(m_slaveFrame);
    m_slaveTimeout->setObjectName(m_names.slaveTimeout);
    QLabel *addressLabel = labelFor(m_slaveAddress, QStringLiteral("MB address"));
    QLabel *timeoutLabel = labelFor(m_slaveTimeout, QStringLiteral("Timeout,[msec]"));
    // The slave-mode timeout is kept in project files only; the PLC has no place for it.
    m_slaveTimeout->setEnabled(false);
    timeoutLabel->setEnabled(false);
    layout->addWidget(addressLabel, 0, 0);
    layout->addWidget(m_slaveAddress, 0, 1);
    layout->addWidget(timeoutLabel, 1, 0);
    layout->addWidget(m_slaveTimeout, 1, 1);
    layout->setRowStretch(2, 1);
    connect(m_slaveAddress, &QLineEdit::textEdited, m_port, &ModbusPort::setSlaveAddress);
}

void UartTab::startUp()
{
    m_port->setStartUpValues(iniPath());
}

void UartTab::onModeSelected(PortMode mode)
{
    if (QAbstractButton *option = m_modeGroup->button(static_cast<int>(mode)))
        option->setChecked(true);
    m_masterFrame->setVisible(mode == PortMode::Master);
    m_slaveFrame->setVisible(mode == PortMode::Slave);
    // An empty master table stays out of sight until the first slave is added or selected. One
    // that holds slaves (uploaded, loaded) is always shown: hiding it would hide what a write
    // sends.
    if (mode == PortMode::Master && m_indexGrid == 0 && m_port->slaves().itemCount() == 0)
        m_grid->hide();
}

void UartTab::showSettings()
{
    auto show = [](QComboBox *list, int index) {
        const QSignalBlocker quiet(list);
        list->setCurrentIndex(index);
    };
    show(m_speed, m_port->speed());
    show(m_parity, m_port->parity());
    show(m_bitNumber, m_port->bitNumber());
    show(m_stopBit, m_port->stopBit());
    if (m_slaveAddress->text() != m_port->slaveAddress())
        m_slaveAddress->setText(m_port->slaveAddress());
    if (m_slaveTimeout->text() != m_port->slaveTimeout())
        m_slaveTimeout->setText(m_port->slaveTimeout());
}

void UartTab::showTable()
{
    m_grid->show();
}

QCoro::Task<> UartTab::writeToPlc()
{
    co_await runPortWrite(
        m_port->info().name, [this](bool verify, PortWriteReport &report) -> QCoro::Task<> {
            co_await writePortVerified(link(), iniPath(), prompts(), *m_port, verify, report);
        });
}

QCoro::Task<> UartTab::uploadFromPlc()
{
    co_await runUploadButton([this] { return readFromPlc(); });
}

QCoro::Task<PortReadReport> UartTab::readFromPlc()
{
    // Whatever the upload brought, the table is in view afterwards.
    const auto shown = qScopeGuard([this] { showTable(); });
    co_return co_await runPortRead(m_port->info().name, [this](PortReadReport &r) -> QCoro::Task<> {
        const auto uploaded =
            co_await uploadModbusPort(link(), iniPath(), prompts(), m_port->info());
        r.endedAs(uploaded);
        if (uploaded)
            applyUploadedPort(*m_port, *uploaded);
    });
}

void UartTab::selectCell(int row, int column)
{
    showTable();
    m_indexCol = column;
    selectRow(row + 1);
    m_grid->setFocus();
}

void UartTab::addSlave()
{
    openSlaveDialog(SlaveFormMode::Add);
}

void UartTab::modifySlave()
{
    openSlaveDialog(SlaveFormMode::Modify);
}

void UartTab::openSlaveDialog(SlaveFormMode mode)
{
    TextTable &table = m_port->slaves();
    const SlaveFormStart start = startSlaveForm(mode, table, m_indexGrid);
    selectRow(start.selectedRow);
    if (!start.unreadable.isEmpty())
        prompts().message(start.unreadable, QStringLiteral("Error in data"));

    SlaveDialog dialog(m_names.dialog, m_names.dialogCaption, start.form, prompts(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    showTable();
    selectRow(Update_grid(table, mode, m_indexGrid, dialog.cells()));
}

void UartTab::deleteSlave()
{
    if (!prompts().question(QStringLiteral("You are shure for delete this sensor?"), QString()))
        return;
    const int row = m_indexGrid;
    if (deleteSlaveRow(m_port->slaves(), row))
        selectRow(row);
}

void UartTab::selectRow(int gridRow)
{
    m_indexGrid = gridRow;
    const QModelIndex cell =
        m_port->slaves().index(gridRow - 1, qMax(int(SlaveColumn::Address), m_indexCol));
    if (cell.isValid())
        m_grid->setCurrentIndex(cell);
}

bool UartTab::acceptCell(const QModelIndex &cell, const QString &text)
{
    if (cellTextAcceptable(cell.column(), text))
        return true;
    prompts().message(m_port->info().cellRefusal(cell.column()));
    return false;
}
