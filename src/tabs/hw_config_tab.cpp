#include "tabs/hw_config_tab.h"

#include "common/command.h"
#include "common/program_folders.h"
#include "common/prompts.h"
#include "link/plc_link.h"
#include "service/service_commands.h"
#include "widgets/controls.h"

#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

HwConfigTab::HwConfigTab(const TabContext &context, QWidget *parent)
    : MainTab(context, QStringLiteral("tabHwConfig"), parent),
      m_ioFrame(makeFrame(QStringLiteral("Frame5"), QStringLiteral("Input-output configuration"),
                          QSize(380, 420))),
      m_generalFrame(
          makeFrame(QStringLiteral("Frame4"), QStringLiteral("General setting"), QSize(300, 120)))
{
    // The IO table runs down the left; the service commands sit at the top right.
    auto *layout = new QGridLayout(this);
    layout->addWidget(m_ioFrame, 0, 0, 2, 1);
    layout->addWidget(m_generalFrame, 0, 1);
    layout->setRowStretch(1, 1);
    layout->setColumnStretch(2, 1);

    buildIoFrame();
    buildGeneralFrame();
}

void HwConfigTab::buildIoFrame()
{
    m_grid = new QTableView(m_ioFrame);
    m_grid->setObjectName(QStringLiteral("MSFlexGrid1"));
    m_grid->setAccessibleName(m_ioFrame->title());
    m_grid->setModel(&m_ioTable);
    m_grid->setItemDelegate(new FixedColumnDelegate(m_grid));
    m_grid->verticalHeader()->hide();
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    // Cells change only through the drop-down list.
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab leaves the grid, so the buttons after it stay reachable from the keyboard.
    m_grid->setTabKeyNavigation(false);
    m_grid->horizontalHeader()->setHighlightSections(false);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_grid->setColumnWidth(IoTable::AddressColumn, 70);
    m_grid->setColumnWidth(IoTable::FunctionColumn, 130);

    // The list lives on the grid's viewport, so it scrolls with the cell it stands over.
    m_list = new QComboBox(m_grid->viewport());
    m_list->setObjectName(QStringLiteral("Combo1"));
    m_list->setAccessibleName(QStringLiteral("Function"));
    m_list->hide();
    m_list->installEventFilter(this);

    connect(m_grid, &QTableView::clicked, this, &HwConfigTab::onCellClicked);
    // Enter on a cell: the keyboard's way to the list.
    connect(m_grid, &QTableView::activated, this, &HwConfigTab::onCellClicked);
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) {
                // The list belongs to the cell it was opened on; the choice must not land on
                // another row.
                if (m_listPoint >= 0 &&
                    (current.row() != m_listPoint || current.column() != IoTable::FunctionColumn))
                    hideList();
            });
    connect(m_list, &QComboBox::activated, this, &HwConfigTab::onListChosen);
    // The list keeps the width of its column when the user resizes the columns.
    connect(m_grid->horizontalHeader(), &QHeaderView::sectionResized, this,
            &HwConfigTab::placeList);
    connect(m_grid->verticalHeader(), &QHeaderView::sectionResized, this, &HwConfigTab::placeList);

    // Switched off in the window's definition: they keep their places and have no action.
    auto *buttons = new QHBoxLayout;
    for (const auto &[name, caption] :
         {std::pair{"Command12", QStringLiteral("New IO config")},
          std::pair{"Command13", QStringLiteral("Upload from PLC")},
          std::pair{"Command14", QStringLiteral("Download to PLC")}}) {
        QPushButton *button = makeButton(m_ioFrame, QLatin1String(name), caption);
        button->setEnabled(false);
        buttons->addWidget(button);
    }

    auto *layout = new QVBoxLayout(m_ioFrame);
    layout->addWidget(m_grid, 1);
    layout->addLayout(buttons);
}

void HwConfigTab::buildGeneralFrame()
{
    QPushButton *restart = makeButton(m_generalFrame, QStringLiteral("Command32"),
                                      QStringLiteral("Restart PLC, based on the STM32F3"));
    QPushButton *update = makeButton(m_generalFrame, QStringLiteral("Command31"),
                                     QStringLiteral("Start update firmware for STM32F3"));
    addPlcControl(restart);
    addPlcControl(update);

    // Their failures are shown under an empty title.
    connect(restart, &QPushButton::clicked, this, [this] { startCommand(restartPlcCommand()); });
    connect(update, &QPushButton::clicked, this,
            [this] { startCommand(startFirmwareUpdateCommand()); });

    auto *layout = new QVBoxLayout(m_generalFrame);
    layout->addWidget(restart);
    layout->addWidget(update);
    layout->addLayout(buildUpdaterField());
    layout->addStretch(1);
}

QCoro::Task<> HwConfigTab::restartPlcCommand()
{
    Result<WriteAnswer> answer(Outcome::Cancelled);
    const CommandEnd end = co_await runCommandEndAsync(
        prompts(),
        [&]() -> QCoro::Task<> { answer = co_await restartPlc(link(), iniPath(), prompts()); },
        QString());
    // The window does not ask the PLC's answer for a message; the status bar tells it.
    if (end.kind == CommandEnd::Kind::Aborted)
        reportEnded(tr("Restart %1").arg(abortedText()), true);
    else if (!end.failure.isEmpty())
        reportEnded(QStringLiteral("Restart not sent: %1").arg(end.failure), true);
    else if (answer && answer->accepted())
        reportEnded(QStringLiteral("Restart sent"));
    // A refusal is the PLC saying no: it still runs as before.
    else if (answer && answer->kind == AnswerKind::Refused)
        reportEnded(QStringLiteral("Restart refused: %1").arg(answerMessage(answer->kind)), true);
    // Something came, but not an acceptance: whether the PLC took the word is not known.
    else if (answer && answer->kind == AnswerKind::Damaged)
        reportEnded(QStringLiteral("Restart not confirmed: %1").arg(answerMessage(answer->kind)),
                    true);
    else if (answer)
        reportEnded(QStringLiteral("Restart sent; the PLC did not confirm it (it may have "
                                   "restarted at once)"));
}

QCoro::Task<> HwConfigTab::startFirmwareUpdateCommand()
{
    Outcome outcome = Outcome::Cancelled;
    const CommandEnd end = co_await runCommandEndAsync(
        prompts(),
        [&]() -> QCoro::Task<> {
            const UpdaterChoice updater = chooseUpdater(iniPath(), updaterFolders());
            outcome = co_await startFirmwareUpdate(link(), iniPath(), prompts(), updater.program,
                                                   updater.missingHint);
        },
        QString());
    if (end.kind == CommandEnd::Kind::Aborted)
        reportEnded(tr("Firmware update %1").arg(abortedText()), true);
    else if (!end.failure.isEmpty())
        reportEnded(tr("Firmware update not started: %1").arg(end.failure), true);
    else if (outcome == Outcome::Done)
        reportEnded(tr("Firmware update started: the PLC waits for the updater"));
}

QStringList HwConfigTab::updaterFolders() const
{
    return m_programFolder.isEmpty() ? programPartFolders() : QStringList{m_programFolder};
}

QLayout *HwConfigTab::buildUpdaterField()
{
    m_updater = new QLineEdit(m_generalFrame);
    m_updater->setObjectName(QStringLiteral("updaterProgram"));
    m_updater->setClearButtonEnabled(true);
    m_updater->setMinimumWidth(fontMetrics().averageCharWidth() * 36);
    m_updater->setToolTip(tr("The program \"Start update firmware\" starts; empty: the one "
                             "beside plc-config. It does not come with plc-config."));
    QPushButton *choose =
        makeButton(m_generalFrame, QStringLiteral("chooseUpdater"), tr("Choose..."));
    choose->setAccessibleName(tr("Choose the firmware updater"));
    // Stored as soon as it is typed or chosen, like the other settings of the window.
    auto store = [this] {
        if (runCommand(prompts(), [this] { storeUpdater(iniPath(), m_updater->text()); }))
            showUpdater();
    };
    connect(m_updater, &QLineEdit::editingFinished, this, store);
    connect(choose, &QPushButton::clicked, this, [this, store] {
        FileChoice choice{tr("Choose the firmware updater"), {}, {}, m_updater->text()};
        if (choice.startFolder.isEmpty())
            choice.startFolder = QFileInfo(m_updater->placeholderText()).path();
        if (const auto path = prompts().chooseFileToOpen(choice)) {
            m_updater->setText(QDir::toNativeSeparators(*path));
            store();
        }
    });
    auto *row = new QHBoxLayout;
    row->addWidget(labelFor(m_updater, tr("Firmware &updater:")));
    row->addWidget(m_updater, 1);
    row->addWidget(choose);
    return row;
}

void HwConfigTab::showUpdater()
{
    m_updater->setText(storedUpdater(iniPath()));
    m_updater->setPlaceholderText(
        QDir::toNativeSeparators(QFileInfo(updaterPath(updaterFolders())).absoluteFilePath()));
}

void HwConfigTab::startUp()
{
    showUpdater();
    hideList();
    m_ioTable.startUp();
    m_list->clear();
    m_list->addItems(IoTable::choiceTexts());
    m_list->setCurrentIndex(-1);
    // Rows as high as the list, so that it covers its cell exactly.
    m_grid->verticalHeader()->setMinimumSectionSize(0);
    m_grid->verticalHeader()->setDefaultSectionSize(m_list->sizeHint().height());
}

void HwConfigTab::onCellClicked(const QModelIndex &index)
{
    const int p = index.row();
    if (!index.isValid() || index.column() != IoTable::FunctionColumn || p < 0 ||
        p >= IoTable::PointCount || !m_ioTable.isStarted()) {
        hideList();
        return;
    }
    m_listPoint = p;
    m_list->setCurrentIndex(m_list->findText(m_ioTable.functionText(p)));
    placeList();
    m_list->show();
    m_list->raise();
    m_list->setFocus(Qt::OtherFocusReason);
}

void HwConfigTab::onListChosen(int choice)
{
    const int p = m_listPoint;
    hideList();
    m_ioTable.Choose_io_function(p, choice);
    m_grid->setFocus(Qt::OtherFocusReason);
}

void HwConfigTab::placeList()
{
    if (m_listPoint < 0)
        return;
    m_list->setGeometry(m_grid->visualRect(m_ioTable.index(m_listPoint, IoTable::FunctionColumn)));
}

void HwConfigTab::hideList()
{
    m_listPoint = -1;
    if (m_list)
        m_list->hide();
}

bool HwConfigTab::eventFilter(QObject *watched, QEvent *event)
{
    // Escape puts the list away without a choice and returns to the grid.
    if (watched == m_list && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        hideList();
        m_grid->setFocus(Qt::OtherFocusReason);
        return true;
    }
    return MainTab::eventFilter(watched, event);
}
