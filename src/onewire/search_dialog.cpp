#include "onewire/search_dialog.h"

#include "common/command.h"
#include "link/plc_link.h"
#include "link/serial_line.h"
#include "onewire/rom_code.h"
#include "onewire/sensor_table.h"
#include "widgets/cell_editor.h"
#include "widgets/controls.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

SearchDialog::SearchDialog(std::unique_ptr<SerialLine> line, LinkContext context,
                           const QString &iniPath, Prompts &prompts, SensorTable &table,
                           QWidget *parent)
    : QDialog(parent), m_line(std::move(line)), m_link(std::make_unique<PlcLink>(*m_line, context)),
      m_iniPath(iniPath), m_prompts(prompts), m_table(table),
      m_results(QStringLiteral("Num | Byte 0 | Byte 1 | Byte 2 | Byte 3 | Byte 4 | Byte 5 | "
                               "Byte 6 | Byte 7 "))
{
    setObjectName(QStringLiteral("Search_onewire"));
    setWindowTitle(QStringLiteral("Search module for 1-wire device"));
    setModal(true);
    m_results.setCentred(true);

    m_count = new QLineEdit(QStringLiteral("0"), this);
    m_count->setObjectName(QStringLiteral("Text1"));
    m_count->setReadOnly(true); // the PLC's answer, not an input
    m_count->setMaximumWidth(80);
    QLabel *countLabel = labelFor(m_count, QStringLiteral("Number sensor on the bus"));

    m_start = new QLineEdit(QStringLiteral("1500"), this);
    m_start->setObjectName(QStringLiteral("Text2"));
    m_start->setMaximumWidth(80);
    QLabel *startLabel = labelFor(
        m_start, QStringLiteral("Start address for automatic slave addition in the main table"));

    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("grid"));
    m_grid->setAccessibleName(QStringLiteral("Sensors found on the bus"));
    m_grid->setModel(&m_results);
    // A code read off the bus with a failing CRC, or one mistyped here, shows before it is copied.
    auto romAt = [this](const QModelIndex &cell) -> std::optional<std::pair<RomTexts, int>> {
        const int byte = cell.column() - 1;
        if (cell.row() >= m_results.itemCount() || byte < 0 || byte >= 8)
            return std::nullopt;
        RomTexts rom;
        for (int b = 0; b < 8; ++b)
            rom[size_t(b)] = m_results.cell(cell.row(), 1 + b);
        return std::pair(rom, byte);
    };
    m_grid->setItemDelegate(new CellRuleDelegate(
        m_grid,
        [romAt](const QModelIndex &cell) {
            const auto rom = romAt(cell);
            return rom ? romCellRule(rom->first, rom->second) : QString();
        },
        CellRuleDelegate::FirstColumn::Data,
        [romAt](const QModelIndex &cell) {
            const auto rom = romAt(cell);
            return rom ? romFamilyText(rom->first) : QString();
        }));
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->verticalHeader()->hide();
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_editor = new CellEditor(m_grid, CellEditor::EnterOpens | CellEditor::DeleteEmpties);
    m_editor->setObjectName(QStringLiteral("Text3"));
    m_editor->setAccessibleName(QStringLiteral("Cell of the sensors found"));

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("searchStatus"));

    auto button = [this](const char *name, const QString &caption) {
        QPushButton *b = makeButton(this, QLatin1String(name), caption);
        // Enter belongs to the grid and its editor here, never to a button.
        b->setAutoDefault(false);
        return b;
    };
    QPushButton *start = button("Command2", QStringLiteral("Start search"));
    QPushButton *append = button("Command3", QStringLiteral("Add new in the table"));
    QPushButton *replace = button("Command4", QStringLiteral("Replace all in the table"));
    QPushButton *close = button("Command1", QStringLiteral("Close"));
    connect(start, &QPushButton::clicked, this, [this] { startCommand(startSearch()); });
    connect(append, &QPushButton::clicked, this, [this] { import(SensorImport::Append); });
    connect(replace, &QPushButton::clicked, this, [this] { import(SensorImport::Replace); });
    connect(close, &QPushButton::clicked, this, &SearchDialog::reject);
    m_searchBlocked = {start, append, replace, m_start, m_grid};
    start->setFocus();

    auto *fields = new QGridLayout;
    fields->addWidget(countLabel, 0, 0);
    fields->addWidget(m_count, 0, 1);
    fields->addWidget(startLabel, 1, 0);
    fields->addWidget(m_start, 1, 1);
    fields->setColumnStretch(2, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(start);
    buttons->addWidget(append);
    buttons->addWidget(replace);
    buttons->addStretch(1);
    buttons->addWidget(close);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(m_grid, 1);
    layout->addWidget(m_status);
    layout->addLayout(buttons);
    resize(720, 420);

    connect(m_link.get(), &PlcLink::busyChanged, this, &SearchDialog::onBusyChanged);
}

SearchDialog::~SearchDialog()
{
    m_link->abort();
}

QCoro::Task<> SearchDialog::startSearch()
{
    m_results.clearItems();
    m_foundSensors = 0;
    std::optional<QList<RomTexts>> found;
    Result<QList<RomTexts>> result(Outcome::Cancelled);
    const CommandEnd end = co_await runCommandEndAsync(m_prompts, [&]() -> QCoro::Task<> {
        result = co_await searchOnewireBus(*m_link, m_iniPath, m_prompts);
        if (result)
            found = *result;
    });
    if (end.kind == CommandEnd::Kind::Aborted) {
        Q_EMIT searchEnded(tr("1-wire search aborted"), true);
    } else {
        const QString why = end.failure.isEmpty() ? result.failure().message : end.failure;
        const qsizetype count = found ? found->size() : 0;
        Q_EMIT searchEnded(!found       ? tr("1-wire search failed: %1").arg(why)
                           : count == 1 ? tr("1-wire search: 1 sensor found")
                                        : tr("1-wire search: %1 sensors found").arg(count),
                           !found);
    }
    if (found) {
        m_foundSensors = static_cast<int>(found->size());
        m_count->setText(QString::number(m_foundSensors));
        for (const RomTexts &rom : *found) {
            QStringList cells{QString()};
            for (const QString &byte : rom)
                cells.append(byte);
            m_results.appendItem(cells);
        }
        m_results.renumber(true);
    }
}

void SearchDialog::import(SensorImport how)
{
    // Copied as the grid shows them, edits included.
    QList<RomTexts> found;
    for (int r = 0; r < m_foundSensors; ++r) {
        RomTexts rom;
        for (int b = 0; b < 8; ++b)
            rom[size_t(b)] = m_results.cell(r, 1 + b);
        found.append(rom);
    }
    QList<SensorRow> before;
    for (int r = 0; r < m_table.sensorCount(); ++r)
        before << m_table.sensor(r);
    // A start address that cannot be numbered keeps the dialog open to correct it.
    if (runCommand(
            m_prompts, [&] { importFoundSensors(m_table, found, how, m_start->text()); },
            QStringLiteral("Error in data"))) {
        m_importNote = how == SensorImport::Append ? alreadyInTableNote(before, found) : QString();
        accept();
    }
}

void SearchDialog::reject()
{
    if (m_link->busy()) {
        m_link->abort();
        if (!m_closeWhenIdle)
            startCommand(rejectWhenIdle());
        return;
    }
    QDialog::reject();
}

QCoro::Task<> SearchDialog::rejectWhenIdle()
{
    m_closeWhenIdle = true;
    co_await m_link->idle();
    m_closeWhenIdle = false;
    QDialog::reject();
}

void SearchDialog::onBusyChanged(bool busy)
{
    for (QWidget *w : std::as_const(m_searchBlocked))
        w->setEnabled(!busy);
    m_status->setText(busy ? QStringLiteral("Searching the 1-wire bus...") : QString());
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}
