#include "app/start_panel.h"

#include "app/main_window.h"
#include "app/plc_commands.h"
#include "app/project_file_commands.h"
#include "app/recent_files.h"
#include "common/command.h"
#include "common/errors.h"
#include "link/config_location.h"
#include "link/ini_file.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

const QString Options = QStringLiteral("Options");
const QString Key = QStringLiteral("StartPanel");

// A button that runs a menu item, greyed whenever the item is.
QPushButton *buttonFor(QWidget *parent, const char *name, const QString &caption, QAction *action)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setEnabled(action->isEnabled());
    QObject::connect(button, &QPushButton::clicked, action, &QAction::trigger);
    QObject::connect(action, &QAction::enabledChanged, button, &QWidget::setEnabled);
    return button;
}

QLabel *stepLabel(QWidget *parent, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}

} // namespace

StartPanel::StartPanel(MainWindow &window, ProjectFileCommands &files)
    : QDockWidget(tr("Getting started"), &window), m_window(window), m_files(files),
      m_projects(new QListWidget)
{
    setObjectName(QStringLiteral("startPanel"));
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
    auto *content = new QWidget;
    m_steps = new QBoxLayout(QBoxLayout::TopToBottom, content);
    // Each step is a column of its own, so that the panel can stand beside the tabs (steps one
    // below the other) or below them (steps side by side) on a narrow screen.
    auto step = [&](const QString &title, int stretch) {
        auto *column = new QVBoxLayout;
        column->addWidget(stepLabel(content, title));
        m_steps->addLayout(column, stretch);
        return column;
    };

    QVBoxLayout *port = step(tr("1. Choose the PLC's port"), 1);
    port->addWidget(buttonFor(content, "startChoosePort", tr("Choose the port..."),
                              window.commSettingAction()));
    port->addStretch(1);

    QVBoxLayout *project = step(tr("2. Open a project, or upload it from the PLC"), 2);
    auto *listLabel = new QLabel(tr("&Recent files and examples:"), content);
    listLabel->setBuddy(m_projects);
    m_projects->setParent(content);
    m_projects->setObjectName(QStringLiteral("startProjects"));
    m_projects->setAccessibleName(tr("Recent files and examples"));
    project->addWidget(listLabel);
    // Long names are cut in the middle; the tooltip has the whole path.
    m_projects->setTextElideMode(Qt::ElideMiddle);
    m_projects->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_projects->setResizeMode(QListView::Adjust);
    project->addWidget(m_projects);
    m_openButtons = new QBoxLayout(QBoxLayout::TopToBottom);
    auto *open = new QPushButton(tr("Open the chosen one"), content);
    open->setObjectName(QStringLiteral("startOpenProject"));
    open->setEnabled(false);
    m_openButtons->addWidget(open);
    m_openButtons->addWidget(buttonFor(content, "startLoadConfig", tr("Open another file..."),
                                       window.loadConfigAction()));
    m_openButtons->addWidget(
        buttonFor(content, "startUpload", tr("Upload from PLC"), window.uploadAction()));
    project->addLayout(m_openButtons);

    QVBoxLayout *write = step(tr("3. Write the project to the PLC"), 1);
    QAction *verify = window.plcCommands().verifyAfterWrite();
    auto *verifyBox = new QCheckBox(verify->text(), content);
    verifyBox->setObjectName(QStringLiteral("startVerify"));
    verifyBox->setChecked(verify->isChecked());
    connect(verifyBox, &QCheckBox::toggled, verify, &QAction::setChecked);
    connect(verify, &QAction::toggled, verifyBox, &QCheckBox::setChecked);
    write->addWidget(verifyBox);
    write->addWidget(
        buttonFor(content, "startWrite", tr("Write to PLC"), window.loadToPlcAction()));
    write->addStretch(1);
    auto *never = new QPushButton(tr("Do not show this again"), content);
    never->setObjectName(QStringLiteral("startCloseForGood"));
    write->addWidget(never);

    // A panel taller or wider than the room the window has scrolls rather than pushing the
    // window off a small screen.
    auto *scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("startPanelScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(content);
    setWidget(scroll);
    connect(this, &QDockWidget::dockLocationChanged, this, &StartPanel::arrangeFor);
    arrangeFor(Qt::RightDockWidgetArea);

    auto openChosen = [this] {
        if (QListWidgetItem *item = m_projects->currentItem())
            m_files.openProjectFile(item->data(Qt::UserRole).toString(),
                                    item->data(Qt::UserRole + 1).toBool());
    };
    window.registerPlcControl(open);
    window.registerPlcControl(m_projects);
    connect(m_projects, &QListWidget::currentItemChanged, open,
            [open](QListWidgetItem *item) { open->setEnabled(item); });
    connect(m_projects, &QListWidget::itemActivated, this, openChosen);
    connect(open, &QPushButton::clicked, this, openChosen);
    connect(never, &QPushButton::clicked, this, &StartPanel::closeForGood);
    connect(&files.recentFiles(), &RecentFiles::changed, this, &StartPanel::listProjects);
    listProjects();
}

bool StartPanel::wanted(const QString &iniPath)
{
    if (!QFileInfo::exists(iniPath))
        return true;
    try {
        return Read_ini(iniPath, Options, Key, QStringLiteral("0")).trimmed() == QLatin1String("1");
    } catch (const CommandError &) {
        return false;
    }
}

StartPanel *StartPanel::addTo(MainWindow &window, ProjectFileCommands &files)
{
    auto *panel = new StartPanel(window, files);
    const QScreen *screen = window.screen();
    const int room = screen ? screen->availableGeometry().width() : 0;
    const bool beside =
        room >= window.minimumSizeHint().width() + panel->minimumSizeHint().width() + 40;
    window.addDockWidget(beside ? Qt::RightDockWidgetArea : Qt::BottomDockWidgetArea, panel);
    return panel;
}

void StartPanel::arrangeFor(Qt::DockWidgetArea area)
{
    const bool sideBySide = area == Qt::TopDockWidgetArea || area == Qt::BottomDockWidgetArea;
    m_steps->setDirection(sideBySide ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom);
    m_openButtons->setDirection(sideBySide ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom);
    // Side by side the project list takes the most room; one below the other the steps stay
    // together at the top.
    m_steps->setStretch(0, sideBySide ? 1 : 0);
    m_steps->setStretch(1, sideBySide ? 2 : 0);
    m_steps->setStretch(2, 1);
    const int line = fontMetrics().height();
    m_projects->setMaximumHeight(line * (sideBySide ? 4 : 8));
    // Beside the tabs the panel is as wide as its steps and scrolls only up and down; below them
    // it is as low as a few lines, so that the window still fits a small screen.
    auto *scroll = static_cast<QScrollArea *>(widget());
    scroll->setHorizontalScrollBarPolicy(sideBySide ? Qt::ScrollBarAsNeeded
                                                    : Qt::ScrollBarAlwaysOff);
    scroll->setMinimumWidth(sideBySide ? 0
                                       : scroll->widget()->minimumSizeHint().width() +
                                             scroll->verticalScrollBar()->sizeHint().width());
    scroll->setMinimumHeight(sideBySide ? line * 3 : 0);
}

void StartPanel::listProjects()
{
    m_projects->clear();
    auto add = [this](const QString &path, const QString &text, bool example) {
        auto *item = new QListWidgetItem(text, m_projects);
        item->setData(Qt::UserRole, path);
        item->setData(Qt::UserRole + 1, example);
        item->setToolTip(QDir::toNativeSeparators(path));
    };
    for (const QString &path : m_files.recentFiles().paths())
        add(path, QFileInfo(path).fileName(), false);
    for (const QString &path : exampleProjects())
        add(path, tr("Example: %1").arg(QFileInfo(path).fileName()), true);
}

void StartPanel::closeForGood()
{
    if (runCommand(m_window.prompts(),
                   [this] { Write_ini(m_window.iniPath(), Options, Key, QStringLiteral("0")); }))
        close();
}
