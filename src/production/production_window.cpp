#include "production/production_window.h"

#include "common/command.h"
#include "common/errors.h"
#include "common/prompts.h"
#include "link/line_settings.h"
#include "link/port_choice.h"
#include "production/production_run.h"
#include "production/station_ports.h"
#include "project/project_file.h"
#include "transfer/unit_log.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QPushButton *button(const QString &text, const char *name, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    return b;
}

// A label for an input, reached with Alt and its letter and read out as the input's name.
QLabel *buddyLabel(const QString &text, QWidget *input, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setBuddy(input);
    return label;
}

} // namespace

ProductionWindow::ProductionWindow(const QString &iniPath, Clock &clock, Prompts &prompts,
                                   QWidget *parent)
    : QWidget(parent, Qt::Window), m_iniPath(iniPath), m_prompts(prompts),
      m_run(new ProductionRun(iniPath, clock, this))
{
    setObjectName(QStringLiteral("Production"));
    setWindowTitle(tr("Production"));

    m_project = new QLineEdit(this);
    m_project->setObjectName(QStringLiteral("project"));
    m_project->setReadOnly(true);
    m_useOpen = button(tr("&Use the open project"), "useOpenProject", this);
    auto *choose = button(tr("C&hoose..."), "chooseProject", this);
    choose->setAccessibleName(tr("Choose the project file"));
    m_sha = new QLabel(this);
    m_sha->setObjectName(QStringLiteral("projectSha256"));
    m_sha->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_projectNote = new QLabel(this);
    m_projectNote->setObjectName(QStringLiteral("projectNote"));
    m_projectNote->setWordWrap(true);

    m_log = new QLineEdit(this);
    m_log->setObjectName(QStringLiteral("logFile"));
    auto *chooseLogButton = button(tr("Ch&oose..."), "chooseLog", this);
    chooseLogButton->setAccessibleName(tr("Choose the log file"));

    m_ports = new QTableWidget(0, 6, this);
    m_ports->setObjectName(QStringLiteral("ports"));
    m_ports->setHorizontalHeaderLabels(
        {tr("Port"), tr("Line"), tr("Device"), tr("Progress"), tr("State"), tr("Time")});
    m_ports->verticalHeader()->hide();
    m_ports->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_ports->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::AnyKeyPressed);
    m_ports->horizontalHeader()->setSectionResizeMode(DeviceColumn, QHeaderView::Stretch);
    m_ports->horizontalHeader()->setSectionResizeMode(StateColumn, QHeaderView::Stretch);
    m_ports->horizontalHeaderItem(LineColumn)
        ->setToolTip(tr("Line settings of the port's own, such as 115200,E,8,1; empty: those "
                        "of Comm. setting"));

    m_add = new QLineEdit(this);
    m_add->setObjectName(QStringLiteral("addPortText"));
    m_add->setPlaceholderText(tr("COM3, /dev/ttyUSB0, rfc2217://host:4001"));
    auto *add = button(tr("&Add"), "addPort", this);
    add->setAccessibleName(tr("Add the port"));
    auto *remove = button(tr("&Remove"), "removePort", this);
    remove->setAccessibleName(tr("Remove the chosen port"));
    auto *refresh = button(tr("F&ind devices"), "refreshPorts", this);

    m_verify = new QCheckBox(tr("&Verify after write"), this);
    m_verify->setObjectName(QStringLiteral("verifyAfterWrite"));
    m_verify->setChecked(true);
    m_writeAll = button(tr("&Write and verify all"), "writeAll", this);
    m_stop = button(tr("&Stop"), "stop", this);
    m_retry = button(tr("Retry &failed"), "retryFailed", this);
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("summary"));
    m_summary->setWordWrap(true);

    auto *form = new QGridLayout;
    form->addWidget(buddyLabel(tr("&Project:"), m_project, this), 0, 0);
    form->addWidget(m_project, 0, 1);
    form->addWidget(m_useOpen, 0, 2);
    form->addWidget(choose, 0, 3);
    form->addWidget(m_sha, 1, 1, 1, 3);
    form->addWidget(m_projectNote, 2, 1, 1, 3);
    form->addWidget(buddyLabel(tr("&Log file:"), m_log, this), 3, 0);
    form->addWidget(m_log, 3, 1, 1, 2);
    form->addWidget(chooseLogButton, 3, 3);
    auto *addRow = new QHBoxLayout;
    addRow->addWidget(buddyLabel(tr("A&dd port:"), m_add, this));
    addRow->addWidget(m_add, 1);
    addRow->addWidget(add);
    addRow->addWidget(remove);
    addRow->addWidget(refresh);
    auto *actions = new QHBoxLayout;
    actions->addWidget(m_verify);
    actions->addStretch(1);
    actions->addWidget(m_writeAll);
    actions->addWidget(m_stop);
    actions->addWidget(m_retry);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buddyLabel(tr("S&tation ports:"), m_ports, this));
    layout->addWidget(m_ports, 1);
    layout->addLayout(addRow);
    layout->addLayout(actions);
    layout->addWidget(m_summary);

    m_clockTick = new QTimer(this);
    m_clockTick->setInterval(250);
    connect(m_clockTick, &QTimer::timeout, this, &ProductionWindow::showTimes);

    connect(m_useOpen, &QPushButton::clicked, this, [this] { setProject(m_openProject); });
    connect(choose, &QPushButton::clicked, this, &ProductionWindow::chooseProject);
    connect(chooseLogButton, &QPushButton::clicked, this, &ProductionWindow::chooseLog);
    connect(m_log, &QLineEdit::editingFinished, this, [this] {
        m_run->setLogPath(m_log->text().trimmed());
        try {
            writeProductionLogPath(m_iniPath, m_run->logPath());
        } catch (const CommandError &e) {
            m_prompts.message(e.description());
        }
    });
    connect(add, &QPushButton::clicked, this, [this] {
        if (addPort(m_add->text()))
            m_add->clear();
    });
    connect(m_add, &QLineEdit::returnPressed, add, &QPushButton::click);
    connect(remove, &QPushButton::clicked, this, &ProductionWindow::removeChosenPort);
    connect(refresh, &QPushButton::clicked, this, &ProductionWindow::refreshPorts);
    connect(m_verify, &QCheckBox::toggled, this, &ProductionWindow::setVerify);
    connect(m_writeAll, &QPushButton::clicked, this, [this] { startCommand(m_run->writeAll()); });
    connect(m_retry, &QPushButton::clicked, this, [this] { startCommand(m_run->retryFailed()); });
    connect(m_stop, &QPushButton::clicked, m_run, &ProductionRun::stop);
    connect(m_ports, &QTableWidget::cellChanged, this, &ProductionWindow::itemEdited);
    connect(m_run, &ProductionRun::rowChanged, this, &ProductionWindow::showRow);
    connect(m_run, &ProductionRun::runningChanged, this, &ProductionWindow::showRunning);
    connect(m_run, &ProductionRun::finished, this, [this] {
        showTimes();
        showRunning(m_run->running());
    });

    m_run->setLogPath(productionLogPath(iniPath));
    m_log->setText(m_run->logPath());
    refreshPorts();
    showProject();
    showRunning(false);
    resize(980, 540);
}

ProductionWindow::~ProductionWindow() = default;

void ProductionWindow::closeEvent(QCloseEvent *event)
{
    // The window goes only once every transfer has let go of its port.
    if (m_run->running()) {
        m_run->stop();
        connect(m_run, &ProductionRun::finished, this, &QWidget::close, Qt::SingleShotConnection);
        event->ignore();
        return;
    }
    event->accept();
}

void ProductionWindow::setOpenProject(const QString &file, bool changed)
{
    m_openProject = file;
    m_openProjectChanged = changed;
    if (m_run->project().isEmpty() && !file.isEmpty())
        setProject(file);
    else
        showProject();
}

void ProductionWindow::setProject(const QString &file)
{
    if (m_run->running() || file.isEmpty())
        return;
    m_run->setProject(file);
    showProject();
}

void ProductionWindow::showProject()
{
    const QString file = m_run->project();
    m_project->setText(QDir::toNativeSeparators(file));
    m_useOpen->setEnabled(!m_openProject.isEmpty() && !m_run->running());
    m_sha->clear();
    m_sha->setToolTip({});
    if (!file.isEmpty()) {
        try {
            const QString sha = fileSha256(file);
            m_sha->setText(tr("SHA-256: %1").arg(sha.left(12)));
            m_sha->setToolTip(sha);
            m_sha->setAccessibleDescription(sha);
        } catch (const CommandError &e) {
            m_sha->setText(e.description());
        }
    }
    const bool unsaved =
        m_openProjectChanged && !file.isEmpty() && QFileInfo(file) == QFileInfo(m_openProject);
    m_projectNote->setText(unsaved ? tr("The open project has changes that are not saved: the "
                                        "file as saved is what is written.")
                                   : QString());
    m_projectNote->setVisible(unsaved);
}

void ProductionWindow::setVerify(bool verify)
{
    if (m_verify->isChecked() != verify)
        m_verify->setChecked(verify);
    m_run->setVerify(verify);
    m_writeAll->setText(verify ? tr("&Write and verify all") : tr("&Write all"));
}

bool ProductionWindow::addPort(const QString &text)
{
    const auto choice = parsePortText(text);
    if (!choice || choice->kind == PortChoice::Kind::Simulated) {
        m_prompts.message(choice ? tr("The simulated PLC cannot be a port of the station.")
                                 : portTextProblem(text));
        return false;
    }
    QList<StationPort> ports;
    for (const ProductionRun::Row &row : m_run->rows())
        ports << row.port;
    const QString id = portIdentity(choice->text(), m_iniPath);
    for (const StationPort &port : std::as_const(ports)) {
        if (portIdentity(port.name, m_iniPath) == id) {
            m_prompts.message(tr("%1 is listed already, as %2").arg(choice->text(), port.name));
            return false;
        }
    }
    ports << StationPort{choice->text(), true, {}, {}};
    if (!m_run->setPorts(ports))
        return false;
    showRows();
    keepPorts();
    return true;
}

void ProductionWindow::refreshPorts()
{
    if (m_run->running())
        return;
    QList<StationPort> kept;
    try {
        kept = readStationPorts(m_iniPath);
    } catch (const CommandError &e) {
        m_prompts.message(e.description());
    }
    m_run->setPorts(offeredPorts(kept, serialDevicesStableFirst(), m_iniPath));
    showRows();
}

void ProductionWindow::removeChosenPort()
{
    const int chosen = m_ports->currentRow();
    if (m_run->running() || chosen < 0)
        return;
    QList<StationPort> ports;
    for (const ProductionRun::Row &row : m_run->rows())
        ports << row.port;
    ports.removeAt(chosen);
    m_run->setPorts(ports);
    showRows();
    keepPorts();
}

void ProductionWindow::keepPorts()
{
    QList<StationPort> ports;
    for (const ProductionRun::Row &row : m_run->rows())
        ports << row.port;
    try {
        writeStationPorts(m_iniPath, ports);
    } catch (const CommandError &e) {
        m_prompts.message(e.description());
    }
}

void ProductionWindow::showRows()
{
    m_showing = true;
    m_ports->setRowCount(int(m_run->rows().size()));
    for (int row = 0; row < m_ports->rowCount(); ++row) {
        const StationPort &port = m_run->rows().at(row).port;
        auto *name = new QTableWidgetItem(port.name);
        name->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        name->setCheckState(port.checked ? Qt::Checked : Qt::Unchecked);
        m_ports->setItem(row, PortColumn, name);
        auto *line = new QTableWidgetItem(port.line);
        line->setToolTip(m_ports->horizontalHeaderItem(LineColumn)->toolTip());
        m_ports->setItem(row, LineColumn, line);
        for (int column : {DeviceColumn, StateColumn, TimeColumn}) {
            auto *item = new QTableWidgetItem;
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            m_ports->setItem(row, column, item);
        }
        auto *bar = new QProgressBar(m_ports);
        bar->setRange(0, 100);
        bar->setAccessibleName(tr("Progress of %1").arg(port.name));
        m_ports->setCellWidget(row, ProgressColumn, bar);
        showRow(row);
    }
    m_ports->resizeColumnToContents(PortColumn);
    m_showing = false;
}

void ProductionWindow::showRow(int row)
{
    if (row >= m_ports->rowCount())
        return;
    const bool showing = m_showing;
    m_showing = true;
    const ProductionRun::Row &r = m_run->rows().at(row);
    const QString device = r.device.isEmpty() ? r.port.details : r.device;
    m_ports->item(row, DeviceColumn)->setText(device);
    m_ports->item(row, DeviceColumn)->setToolTip(device);
    const QString state = ProductionRun::stateText(r);
    m_ports->item(row, StateColumn)->setText(state);
    m_ports->item(row, StateColumn)->setToolTip(state);
    m_ports->item(row, StateColumn)
        ->setForeground(r.state == ProductionRun::State::Failed ? QColor(Qt::darkRed)
                        : r.state == ProductionRun::State::Done ? QColor(Qt::darkGreen)
                                                                : palette().text().color());
    if (auto *bar = qobject_cast<QProgressBar *>(m_ports->cellWidget(row, ProgressColumn)))
        bar->setValue(r.percent);
    m_ports->item(row, TimeColumn)
        ->setText(r.state == ProductionRun::State::Idle
                      ? QString()
                      : tr("%1 s").arg(m_run->seconds(row), 0, 'f', 1));
    m_showing = showing;
}

void ProductionWindow::showTimes()
{
    for (int row = 0; row < m_ports->rowCount(); ++row)
        showRow(row);
}

void ProductionWindow::showRunning(bool running)
{
    for (QWidget *w : std::initializer_list<QWidget *>{m_writeAll, m_retry, m_verify, m_log})
        w->setEnabled(!running);
    for (QWidget *w : findChildren<QPushButton *>()) {
        if (w != m_stop && w != m_writeAll && w != m_retry)
            w->setEnabled(!running);
    }
    m_add->setEnabled(!running);
    m_ports->setEditTriggers(running ? QAbstractItemView::NoEditTriggers
                                     : QAbstractItemView::DoubleClicked |
                                           QAbstractItemView::EditKeyPressed |
                                           QAbstractItemView::AnyKeyPressed);
    m_stop->setEnabled(running);
    // Which ports a run writes is settled when it starts.
    const bool showing = m_showing;
    m_showing = true;
    for (int row = 0; row < m_ports->rowCount(); ++row) {
        if (QTableWidgetItem *port = m_ports->item(row, PortColumn))
            port->setFlags(port->flags().setFlag(Qt::ItemIsUserCheckable, !running));
    }
    m_showing = showing;
    int done = 0;
    int failed = 0;
    int stopped = 0;
    for (const ProductionRun::Row &row : m_run->rows()) {
        done += row.state == ProductionRun::State::Done;
        failed += row.state == ProductionRun::State::Failed;
        stopped += row.state == ProductionRun::State::Stopped;
    }
    m_retry->setEnabled(!running && failed + stopped > 0);
    if (running) {
        m_clockTick->start();
        m_summary->setText(tr("Writing..."));
    } else {
        m_clockTick->stop();
        QStringList summary{m_run->problem()};
        if (done + failed + stopped > 0)
            summary << tr("%1 done, %2 failed, %3 stopped").arg(done).arg(failed).arg(stopped);
        summary.removeAll(QString());
        m_summary->setText(summary.join(u'\n'));
    }
    showProject();
}

void ProductionWindow::itemEdited(int row, int column)
{
    if (m_showing || m_run->running())
        return;
    QTableWidgetItem *item = m_ports->item(row, column);
    if (column == PortColumn) {
        m_run->setChecked(row, item->checkState() == Qt::Checked);
    } else if (column == LineColumn) {
        const QString text = item->text().trimmed();
        try {
            if (!text.isEmpty())
                LineSettings::parse(text);
            QList<StationPort> ports;
            for (const ProductionRun::Row &r : m_run->rows())
                ports << r.port;
            ports[row].line = text;
            m_run->setPorts(ports);
        } catch (const PlatformError &e) {
            m_prompts.message(e.description());
        }
        showRows();
    }
    keepPorts();
}

void ProductionWindow::chooseProject()
{
    const auto file = m_prompts.chooseFileToOpen(
        projectFileChoice(tr("Project to write"), QFileInfo(m_run->project()).absolutePath()));
    if (file)
        setProject(*file);
}

void ProductionWindow::chooseLog()
{
    FileChoice choice{tr("Log of the units"),
                      {tr("JSON Lines (*.jsonl)")},
                      QStringLiteral("jsonl"),
                      QFileInfo(m_run->logPath()).absolutePath()};
    if (const auto file = m_prompts.chooseFileToSave(choice)) {
        m_log->setText(*file);
        Q_EMIT m_log->editingFinished();
    }
}
