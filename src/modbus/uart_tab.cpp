#include "modbus/uart_tab.h"

#include "common/command.h"
#include "common/prompts.h"
#include "modbus/modbus_upload.h"
#include "modbus/modbus_write.h"
#include "modbus/slave_dialog.h"
#include "modbus/slave_table.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

UartTabNames UartTabNames::uart1()
{
    UartTabNames n;
    n.tab = QStringLiteral("tabUart1");
    n.general = QStringLiteral("Frame1");
    n.master = QStringLiteral("Frame_master");
    n.slave = QStringLiteral("Frame_slave");
    n.modeButtons = QStringLiteral("Option4");
    n.speed = QStringLiteral("Speed_set");
    n.parity = QStringLiteral("Parity_set");
    n.bitNumber = QStringLiteral("Bit_setting");
    n.stopBit = QStringLiteral("Stop_bit");
    n.write = QStringLiteral("Command19");
    n.upload = QStringLiteral("Command20");
    n.grid = QStringLiteral("grid");
    n.editor = QStringLiteral("Text3");
    n.add = QStringLiteral("Command1");
    n.modify = QStringLiteral("Command2");
    n.remove = QStringLiteral("Command3");
    n.slaveAddress = QStringLiteral("Text1");
    n.slaveTimeout = QStringLiteral("Text2");
    n.dialog = QStringLiteral("Slave");
    n.dialogCaption = QStringLiteral("Slave add/modify");
    n.port = &ModbusPortInfo::uart1();
    return n;
}

UartTabNames UartTabNames::uart2()
{
    UartTabNames n;
    n.tab = QStringLiteral("tabUart2");
    n.general = QStringLiteral("Frame13");
    n.master = QStringLiteral("Frame_master2");
    n.slave = QStringLiteral("Frame_slave2");
    n.modeButtons = QStringLiteral("Option5");
    n.speed = QStringLiteral("Speed_set2");
    n.parity = QStringLiteral("Parity_set2");
    n.bitNumber = QStringLiteral("Combo10");
    n.stopBit = QStringLiteral("Combo7");
    n.write = QStringLiteral("Command7");
    n.upload = QStringLiteral("Command26");
    n.grid = QStringLiteral("grid2");
    n.editor = QStringLiteral("Text10");
    n.add = QStringLiteral("Command27");
    n.modify = QStringLiteral("Command28");
    n.remove = QStringLiteral("Command29");
    n.slaveAddress = QStringLiteral("Text16");
    n.slaveTimeout = QStringLiteral("Text5");
    n.dialog = QStringLiteral("Slave2");
    n.dialogCaption = QStringLiteral("Form1");
    n.offButtons = {QStringLiteral("Command24"), QStringLiteral("Command25")};
    n.port = &ModbusPortInfo::uart2();
    return n;
}

namespace {

// Shades the Slot column like the header: it is part of the grid's frame, not of the data.
class SlotColumnDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const final
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->backgroundBrush = option->palette.button();
    }
};

QPushButton *button(const QString &name, const QString &caption, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    return b;
}

} // namespace

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
    addMenuUpload([this] { uploadFromPlc(); });
    showSettings();
    onModeSelected(m_port->mode());
}

void UartTab::buildGeneralFrame()
{
    auto *layout = new QVBoxLayout(m_generalFrame);

    m_modeGroup = new QButtonGroup(this);
    m_modeGroup->setObjectName(m_names.modeButtons);
    const QStringList modes = PortLists::modes();
    for (int i = 0; i < modes.size(); ++i) {
        auto *option = new QRadioButton(modes[i], m_generalFrame);
        option->setObjectName(QStringLiteral("%1_%2").arg(m_names.modeButtons).arg(i));
        m_modeGroup->addButton(option, i);
        layout->addWidget(option);
    }
    connect(m_modeGroup, &QButtonGroup::idClicked, this,
            [this](int id) { m_port->setMode(static_cast<PortMode>(id)); });

    auto *lists = new QGridLayout;
    auto addList = [&](const QString &name, const QString &label, const QStringList &items,
                       bool on) {
        auto *list = new QComboBox(m_generalFrame);
        list->setObjectName(name);
        list->addItems(items);
        auto *text = new QLabel(label, m_generalFrame);
        text->setBuddy(list);
        // Bit number and stop bit are fixed by the PLC: shown, never changed here.
        list->setEnabled(on);
        text->setEnabled(on);
        const int row = lists->rowCount();
        lists->addWidget(text, row, 0);
        lists->addWidget(list, row, 1);
        return list;
    };
    m_speed = addList(m_names.speed, QStringLiteral("Speed setting:"), PortLists::speeds(), true);
    m_parity =
        addList(m_names.parity, QStringLiteral("Parity setting"), PortLists::parities(), true);
    m_bitNumber =
        addList(m_names.bitNumber, QStringLiteral("Bit number:"), PortLists::bitNumbers(), false);
    m_stopBit = addList(m_names.stopBit, QStringLiteral("Stop bit"), PortLists::stopBits(), false);
    layout->addLayout(lists);
    connect(m_speed, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_port->setSpeed(index); });
    connect(m_parity, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_port->setParity(index); });

    auto *write = button(m_names.write, QStringLiteral("Write to PLC"), m_generalFrame);
    auto *upload = button(m_names.upload, QStringLiteral("Upload from PLC"), m_generalFrame);
    connect(write, &QPushButton::clicked, this, &UartTab::writeToPlc);
    connect(upload, &QPushButton::clicked, this, &UartTab::uploadFromPlc);
    addPlcControl(write);
    addPlcControl(upload);
    layout->addStretch(1);
    layout->addWidget(write);
    layout->addWidget(upload);

    if (m_names.offButtons.size() == 2) {
        // Switched off for good: they keep their place and do nothing.
        auto *row = new QHBoxLayout;
        auto *download = button(m_names.offButtons[0], QStringLiteral("Download"), m_generalFrame);
        auto *up = button(m_names.offButtons[1], QStringLiteral("Upload"), m_generalFrame);
        download->setEnabled(false);
        up->setEnabled(false);
        row->addWidget(download);
        row->addWidget(up);
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
    m_grid->setItemDelegateForColumn(SlaveColumn::Slot, new SlotColumnDelegate(m_grid));
    m_grid->verticalHeader()->hide();
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_grid->horizontalHeader()->setSectionResizeMode(SlaveColumn::Slot,
                                                     QHeaderView::ResizeToContents);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    // The grid has its own editor box with the port's checks.
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setTabKeyNavigation(false);
    m_grid->installEventFilter(this);
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
    connect(m_grid, &QAbstractItemView::doubleClicked, this, [this] { openEditor(); });
    TextTable *table = &m_port->slaves();
    // A table filled from elsewhere (upload, project load) is shown with the selection kept.
    connect(table, &QAbstractItemModel::modelReset, this, [this] {
        showTable();
        selectRow(m_indexGrid);
    });
    connect(table, &QAbstractItemModel::rowsInserted, this, &UartTab::showTable);

    m_editor = new QLineEdit(m_masterFrame);
    m_editor->setObjectName(m_names.editor);
    m_editor->setAccessibleName(QStringLiteral("Cell editor"));
    m_editor->hide();
    m_editor->installEventFilter(this);
    connect(m_editor, &QLineEdit::returnPressed, this, &UartTab::commitEditor);

    auto *buttons = new QHBoxLayout;
    auto *add = button(m_names.add, QStringLiteral("Add slave "), m_masterFrame);
    auto *modify = button(m_names.modify, QStringLiteral("Modify slave"), m_masterFrame);
    auto *remove = button(m_names.remove, QStringLiteral("Delete slave"), m_masterFrame);
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
    auto *addressLabel = new QLabel(QStringLiteral("MB address"), m_slaveFrame);
    addressLabel->setBuddy(m_slaveAddress);
    auto *timeoutLabel = new QLabel(QStringLiteral("Timeout,[msec]"), m_slaveFrame);
    timeoutLabel->setBuddy(m_slaveTimeout);
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

void UartTab::writeToPlc()
{
    runCommand(prompts(), [this] { writeModbusPort(link(), iniPath(), prompts(), *m_port); });
}

void UartTab::uploadFromPlc()
{
    runCommand(prompts(), [this] {
        if (uploadModbusPort(link(), iniPath(), prompts(), *m_port) == Outcome::Done)
            showTable();
    });
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

bool UartTab::editableCell(const QModelIndex &index) const
{
    // The placeholder is no slave: text typed there would look like one and never be sent.
    return index.isValid() && index.column() >= SlaveColumn::Address &&
           index.row() < m_port->slaves().itemCount();
}

void UartTab::openEditor()
{
    const QModelIndex cell = m_grid->currentIndex();
    if (!editableCell(cell) || !m_grid->isVisible())
        return;
    m_editing = cell;
    QRect area = m_grid->visualRect(cell);
    area.moveTopLeft(m_grid->viewport()->mapTo(m_masterFrame, area.topLeft()));
    m_editor->setGeometry(area);
    m_editor->setText(cell.data().toString());
    m_editor->selectAll();
    m_editor->show();
    m_editor->raise();
    m_editor->setFocus();
}

void UartTab::closeEditor()
{
    m_editing = QPersistentModelIndex();
    m_editor->hide();
}

void UartTab::commitEditor()
{
    const QModelIndex cell = m_editing;
    const QString typed = m_editor->text();
    // Closed first, so the refusal message taking the focus does not count as leaving the box.
    closeEditor();
    if (!cell.isValid())
        return;
    TextTable &table = m_port->slaves();
    table.setCell(cell.row(), cell.column(), typed);
    if (!cellTextAcceptable(cell.column(), typed)) {
        prompts().message(m_port->info().cellRefusal(cell.column()));
        table.setCell(cell.row(), cell.column(), QString());
    }
    const int next = qMin(cell.row() + 1, table.rowCount() - 1);
    m_grid->setCurrentIndex(table.index(next, cell.column()));
    m_grid->setFocus();
}

bool UartTab::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_grid && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            openEditor();
            return true;
        }
        if (key->key() == Qt::Key_Delete) {
            const QModelIndex cell = m_grid->currentIndex();
            if (editableCell(cell))
                m_port->slaves().setCell(cell.row(), cell.column(), QString());
            return true;
        }
    }
    if (watched == m_editor) {
        if (event->type() == QEvent::FocusOut && m_editor->isVisible()) {
            closeEditor(); // leaving the box drops what was typed
        } else if (event->type() == QEvent::KeyPress &&
                   static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
            closeEditor();
            m_grid->setFocus();
            return true;
        }
    }
    return MainTab::eventFilter(watched, event);
}
