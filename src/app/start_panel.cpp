#include "app/start_panel.h"

#include "app/main_window.h"
#include "app/window_commands.h"
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

StartPanel::StartPanel(MainWindow &window, WindowCommands &commands)
    : QDockWidget(tr("Getting started"), &window), m_window(window), m_commands(commands),
      m_projects(new QListWidget)
{
    setObjectName(QStringLiteral("startPanel"));
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
    auto *content = new QWidget(this);
    auto *layout = new QVBoxLayout(content);
    auto action = [&](const char *name) {
        QAction *found = window.findChild<QAction *>(QLatin1String(name));
        Q_ASSERT(found);
        return found;
    };

    layout->addWidget(stepLabel(content, tr("1. Choose the PLC's port")));
    layout->addWidget(buttonFor(content, "startChoosePort", tr("Choose the port..."),
                                window.commSettingAction()));

    layout->addWidget(stepLabel(content, tr("2. Open a project, or upload it from the PLC")));
    auto *listLabel = new QLabel(tr("&Recent files and examples:"), content);
    listLabel->setBuddy(m_projects);
    m_projects->setParent(content);
    m_projects->setObjectName(QStringLiteral("startProjects"));
    m_projects->setAccessibleName(tr("Recent files and examples"));
    layout->addWidget(listLabel);
    m_projects->setMaximumHeight(fontMetrics().height() * 8);
    // Long names are cut in the middle; the tooltip has the whole path.
    m_projects->setTextElideMode(Qt::ElideMiddle);
    m_projects->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_projects->setResizeMode(QListView::Adjust);
    layout->addWidget(m_projects);
    auto *open = new QPushButton(tr("Open the chosen one"), content);
    open->setObjectName(QStringLiteral("startOpenProject"));
    open->setEnabled(false);
    layout->addWidget(open);
    layout->addWidget(buttonFor(content, "startLoadConfig", tr("Open another file..."),
                                window.loadConfigAction()));
    layout->addWidget(
        buttonFor(content, "startUpload", tr("Upload from PLC"), action("upload_from_plc")));

    layout->addWidget(stepLabel(content, tr("3. Write the project to the PLC")));
    QAction *verify = action("verify_after_write");
    auto *verifyBox = new QCheckBox(verify->text(), content);
    verifyBox->setObjectName(QStringLiteral("startVerify"));
    verifyBox->setChecked(verify->isChecked());
    connect(verifyBox, &QCheckBox::toggled, verify, &QAction::setChecked);
    connect(verify, &QAction::toggled, verifyBox, &QCheckBox::setChecked);
    layout->addWidget(verifyBox);
    layout->addWidget(buttonFor(content, "startWrite", tr("Write to PLC"), action("load_to_plc")));

    layout->addStretch(1);
    auto *never = new QPushButton(tr("Do not show this again"), content);
    never->setObjectName(QStringLiteral("startCloseForGood"));
    layout->addWidget(never);
    setWidget(content);
    setMinimumWidth(fontMetrics().averageCharWidth() * 28);

    auto openChosen = [this] {
        if (QListWidgetItem *item = m_projects->currentItem())
            m_commands.openProjectFile(item->data(Qt::UserRole).toString(),
                                       item->data(Qt::UserRole + 1).toBool());
    };
    connect(m_projects, &QListWidget::currentItemChanged, open,
            [open](QListWidgetItem *item) { open->setEnabled(item); });
    connect(m_projects, &QListWidget::itemActivated, this, openChosen);
    connect(open, &QPushButton::clicked, this, openChosen);
    connect(never, &QPushButton::clicked, this, &StartPanel::closeForGood);
    connect(&commands, &WindowCommands::recentFilesChanged, this, &StartPanel::listProjects);
    listProjects();
}

bool StartPanel::wanted(const QString &iniPath)
{
    if (!QFileInfo::exists(iniPath))
        return true;
    try {
        return Read_ini(iniPath, Options, Key, QStringLiteral("0")).trimmed() == QLatin1String("1");
    } catch (const PlatformError &) {
        return false;
    }
}

void StartPanel::showOnFirstStart(MainWindow &window, WindowCommands &commands)
{
    if (!wanted(window.iniPath()))
        return;
    window.addDockWidget(Qt::RightDockWidgetArea, new StartPanel(window, commands));
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
    for (const QString &path : m_commands.recentFiles())
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
