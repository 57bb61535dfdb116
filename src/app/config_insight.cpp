#include "app/config_insight.h"

#include "app/main_window.h"
#include "app/project_state.h"
#include "app/status_bar.h"
#include "common/hex_text.h"
#include "diag/diag_grid.h"
#include "tabs/error_buffer_tab.h"
#include "modbus/modbus_timing.h"
#include "modbus/slave_table.h"
#include "project/port_texts.h"
#include "project/project_file.h"
#include "tabs/onewire_tab.h"
#include "tabs/uart_tab.h"
#include "widgets/controls.h"

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QStyle>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

quint64 cellKey(FindingPort port, int row, int column)
{
    return (quint64(port) << 48) | (quint64(quint32(row)) << 16) | quint16(column);
}

} // namespace

FindingsWindow::FindingsWindow(QWidget *parent)
    : QDockWidget(QStringLiteral("Check config"), parent), m_summary(new QLabel(this)),
      m_table(new QTableWidget(0, 5, this)),
      m_notes(new QCheckBox(QStringLiteral("Show &notes"), this))
{
    setObjectName(QStringLiteral("findingsWindow"));
    setAllowedAreas(Qt::BottomDockWidgetArea | Qt::TopDockWidgetArea);

    m_summary->setObjectName(QStringLiteral("findingsSummary"));
    m_summary->setBuddy(m_table);
    m_table->setObjectName(QStringLiteral("findings"));
    m_table->setAccessibleName(QStringLiteral("Findings"));
    m_table->setHorizontalHeaderLabels({QStringLiteral("Severity"), QStringLiteral("Port"),
                                        QStringLiteral("Row"), QStringLiteral("Column"),
                                        QStringLiteral("Text")});
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    // Two findings at least; more scroll. A taller minimum would push the window past the
    // bottom of a small screen rather than scroll.
    m_table->setMinimumHeight(m_table->horizontalHeader()->sizeHint().height() +
                              2 * (fontMetrics().height() + 8) + 2 * m_table->frameWidth());
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setWordWrap(false);
    m_table->setTabKeyNavigation(false);
    m_table->horizontalHeader()->setStretchLastSection(true);
    connect(m_table, &QAbstractItemView::activated, this, [this](const QModelIndex &index) {
        if (index.row() < m_listed.size())
            Q_EMIT findingChosen(m_listed[index.row()]);
    });

    m_notes->setObjectName(QStringLiteral("showNotes"));
    m_notes->setChecked(true);
    connect(m_notes, &QCheckBox::toggled, this, &FindingsWindow::fill);
    QPushButton *close = makeButton(this, QStringLiteral("closeFindings"), QStringLiteral("Close"));
    connect(close, &QPushButton::clicked, this, &QDockWidget::close);

    // The summary and the controls share one line, so the list has the height there is.
    auto *pane = new QWidget(this);
    auto *layout = new QVBoxLayout(pane);
    layout->setContentsMargins(4, 2, 4, 4);
    layout->setSpacing(2);
    auto *top = new QHBoxLayout;
    top->addWidget(m_summary, 1);
    top->addWidget(m_notes);
    top->addWidget(close);
    layout->addLayout(top);
    layout->addWidget(m_table, 1);
    // On a small screen the pane scrolls as a whole rather than push the window's status bar
    // off the screen.
    auto *scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("findingsScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(pane);
    scroll->setMinimumHeight(3 * fontMetrics().height());
    setWidget(scroll);
}

void FindingsWindow::showFindings(const QList<Finding> &findings)
{
    m_findings = findings;
    fill();
}

void FindingsWindow::focusList()
{
    m_table->setFocus();
}

void FindingsWindow::fill()
{
    // The finding chosen stays chosen while the list follows the edits, as long as it is there.
    const int current = m_table->currentRow();
    const std::optional<Finding> chosen =
        current >= 0 && current < m_listed.size() ? std::optional(m_listed[current]) : std::nullopt;

    m_listed.clear();
    for (const Finding &f : std::as_const(m_findings)) {
        if (f.severity == FindingSeverity::Warning || m_notes->isChecked())
            m_listed << f;
    }
    const int warnings = warningCount(m_findings);
    const qsizetype notes = m_findings.size() - warnings;
    QString summary = QStringLiteral("%1, %2 %3. Double-click a finding to go to its cell.")
                          .arg(warningCountText(warnings))
                          .arg(notes)
                          .arg(QLatin1String(notes == 1 ? "note" : "notes"));
    summary[0] = summary[0].toUpper();
    m_summary->setText(m_findings.isEmpty() ? QStringLiteral("No findings.") : summary);

    m_table->setCurrentItem(nullptr);
    m_table->setRowCount(int(m_listed.size()));
    const QIcon warningIcon = style()->standardIcon(QStyle::SP_MessageBoxWarning);
    const QIcon noteIcon = style()->standardIcon(QStyle::SP_MessageBoxInformation);
    for (int r = 0; r < m_listed.size(); ++r) {
        const Finding &f = m_listed[r];
        const QString cells[] = {severityText(f.severity), findingPortName(f.port),
                                 f.row > 0 ? QString::number(f.row) : QString(),
                                 findingColumnName(f), f.text};
        for (int c = 0; c < 5; ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            item->setToolTip(findingPlace(f) + QStringLiteral(": ") + f.text);
            m_table->setItem(r, c, item);
        }
        m_table->item(r, 0)->setIcon(f.severity == FindingSeverity::Warning ? warningIcon
                                                                            : noteIcon);
        if (chosen && f == *chosen)
            m_table->setCurrentCell(r, 0);
    }
    m_table->resizeColumnsToContents();
}

ConfigInsight::ConfigInsight(MainWindow &window, QAction *checkConfig)
    : QObject(&window), m_window(window), m_pending(new QTimer(this)), m_status(new QLabel(&window))
{
    // An edit, a load or an upload changes many cells at once: the check runs once they are in.
    m_pending->setSingleShot(true);
    m_pending->setInterval(0);
    connect(m_pending, &QTimer::timeout, this, &ConfigInsight::recheck);

    m_status->setObjectName(QStringLiteral("statusFindings"));
    m_status->setAccessibleName(QStringLiteral("Configuration warnings"));
    m_status->setStyleSheet(QStringLiteral("color: #8a5a00"));
    m_status->hide();
    window.status().addPermanentWidget(m_status);

    checkConfig->setEnabled(true);
    checkConfig->setShortcut(QKeySequence(Qt::Key_F7));
    connect(checkConfig, &QAction::triggered, this, &ConfigInsight::openFindings);

    watchPorts();
    linkDiagnostics();
    markCells();
    m_pending->start();
}

void ConfigInsight::watchPorts()
{
    auto table = [this](const TextTable &t) {
        onTableChange(t, this, [this] { m_pending->start(); });
    };
    for (UartTab *tab : {m_window.uart1Tab(), m_window.uart2Tab()}) {
        const ModbusPort &port = tab->port();
        connect(&port, &ModbusPort::settingsChanged, m_pending, qOverload<>(&QTimer::start));
        connect(&port, &ModbusPort::modeSelected, m_pending, qOverload<>(&QTimer::start));
        table(port.slaves());
    }
    const AuxPort &aux = m_window.onewireTab()->auxPort();
    connect(&aux, &AuxPort::modeChanged, m_pending, qOverload<>(&QTimer::start));
    table(aux.sensors());
}

void ConfigInsight::recheck()
{
    m_findings = checkConfiguration(m_window.projectPorts());
    m_cellWarnings.clear();
    for (const Finding &f : std::as_const(m_findings)) {
        if (f.severity == FindingSeverity::Warning && f.row > 0 && f.column >= 0)
            m_cellWarnings[cellKey(f.port, f.row - 1, f.column)] << f.text;
    }
    for (QTableView *grid : tableGrids())
        grid->viewport()->update();
    const QString text = statusText();
    m_status->setText(text);
    m_status->setVisible(!text.isEmpty());
    if (m_findingsWindow && m_findingsWindow->isVisible())
        m_findingsWindow->showFindings(m_findings);
}

QString ConfigInsight::statusText() const
{
    const int warnings = warningCount(m_findings);
    if (warnings == 0)
        return {};
    return warningCountText(warnings) + QStringLiteral(": PLC \u2192 Check config");
}

void ConfigInsight::openFindings()
{
    if (!m_findingsWindow) {
        m_findingsWindow = new FindingsWindow(&m_window);
        m_window.addDockWidget(Qt::BottomDockWidgetArea, m_findingsWindow);
        connect(m_findingsWindow, &FindingsWindow::findingChosen, this, &ConfigInsight::goTo);
    }
    m_findingsWindow->show();
    m_findingsWindow->raise();
    // A pane that shows a few findings and leaves the tab's table in sight: at most a third of
    // the window.
    m_window.resizeDocks({m_findingsWindow}, {qMin(240, m_window.height() / 3)}, Qt::Vertical);
    // Whatever is pending is in the list it opens with.
    m_pending->stop();
    recheck();
    m_findingsWindow->focusList();
}

void ConfigInsight::goTo(const Finding &finding)
{
    const int row = qMax(finding.row, 1) - 1;
    if (finding.port == FindingPort::Onewire) {
        OnewireTab *tab = m_window.onewireTab();
        m_window.showTab(tab);
        tab->selectCell(row, finding.column >= 0 ? finding.column : SensorTable::FirstByteColumn);
    } else {
        UartTab *tab =
            finding.port == FindingPort::Uart1 ? m_window.uart1Tab() : m_window.uart2Tab();
        m_window.showTab(tab);
        tab->selectCell(row, finding.column >= 0 ? finding.column : int(SlaveColumn::Address));
    }
    m_window.activateWindow();
}

QString ConfigInsight::slaveRowTip(FindingPort port, int row) const
{
    const UartTab *tab = port == FindingPort::Uart1 ? m_window.uart1Tab() : m_window.uart2Tab();
    const TextTable &t = tab->port().slaves();
    const QString name = findingPortName(port);
    if (row >= t.itemCount())
        return QStringLiteral("Slot %1: %2 has no row %1").arg(row + 1).arg(name);
    const auto function = roundHalfEven(t.cell(row, SlaveColumn::Function));
    return QStringLiteral("Slot %1 is %2 row %1: slave %3, %4, Address slave %5, Address master "
                          "%6. Double-click to go to it.")
        .arg(row + 1)
        .arg(name, t.cell(row, SlaveColumn::Address),
             function ? modbusFunctionTip(int(*function)) : t.cell(row, SlaveColumn::Function),
             t.cell(row, SlaveColumn::AddressSlave), t.cell(row, SlaveColumn::AddressMaster));
}

QString ConfigInsight::sensorRowTip(int row) const
{
    const SensorTable &t = m_window.onewireTab()->auxPort().sensors();
    if (row >= t.sensorCount())
        return QStringLiteral("Num %1: the 1-wire table has no row %1").arg(row + 1);
    const SensorRow sensor = t.sensor(row);
    return QStringLiteral("Num %1 is 1-wire row %1: ROM code %2, Dxxxx %3. Double-click to go to "
                          "it.")
        .arg(row + 1)
        .arg(romText(sensor), sensor.reg);
}

QList<QTableView *> ConfigInsight::tableGrids() const
{
    return {m_window.uart1Tab()->grid(), m_window.uart2Tab()->grid(),
            m_window.onewireTab()->grid()};
}

void ConfigInsight::markCells()
{
    const QList<QTableView *> grids = tableGrids();
    const FindingPort ports[] = {FindingPort::Uart1, FindingPort::Uart2, FindingPort::Onewire};
    for (int i = 0; i < grids.size(); ++i) {
        auto *delegate = dynamic_cast<CellRuleDelegate *>(grids[i]->itemDelegate());
        if (!delegate)
            continue;
        delegate->setWarnings([this, port = ports[i]](const QModelIndex &cell) {
            return cellWarnings(port, cell.row(), cell.column());
        });
    }
}

QString ConfigInsight::cellWarnings(FindingPort port, int row, int column) const
{
    return m_cellWarnings.value(cellKey(port, row, column)).join(QLatin1Char('\n'));
}

void ConfigInsight::linkDiagnostics()
{
    // Slot n of a Modbus error buffer is row n of its port's slave table; Num n of the 1-wire
    // buffer is sensor row n. A grid row holds an error once a read has filled its type.
    const struct
    {
        DiagGrid *grid;
        FindingPort port;
    } links[] = {{m_window.modbusDiagTab()->grid(0), FindingPort::Uart1},
                 {m_window.modbusDiagTab()->grid(1), FindingPort::Uart2},
                 {m_window.onewireDiagTab()->grid(0), FindingPort::Onewire}};
    for (const auto &link : links) {
        DiagGrid *grid = link.grid;
        if (!grid)
            continue;
        const FindingPort port = link.port;
        auto holdsError = [grid](int row) {
            return grid->table() && !grid->table()->cell(row, 1).trimmed().isEmpty();
        };
        auto exists = [this, port](int row) {
            return port == FindingPort::Onewire
                       ? row < m_window.onewireTab()->auxPort().sensors().sensorCount()
                       : row < (port == FindingPort::Uart1 ? m_window.uart1Tab()
                                                           : m_window.uart2Tab())
                                   ->port()
                                   .slaves()
                                   .itemCount();
        };
        grid->setRowLink(
            [this, port, holdsError](int row) {
                if (!holdsError(row))
                    return QString();
                return port == FindingPort::Onewire ? sensorRowTip(row) : slaveRowTip(port, row);
            },
            [this, port, holdsError, exists](int row) {
                if (holdsError(row) && exists(row))
                    goTo({FindingSeverity::Note, port, row + 1, -1, QString()});
            });
    }
}
