// The first hour in the window: the start panel on a first start, File > Open example, the
// caption on the simulated PLC and on a port given for this run, and the names the export
// choosers propose.
#include "support/counted_plc.h"
#include "support/fake_clock.h"
#include "support/scripted_prompts.h"
#include "support/widget_driver.h"

#include "app/main_window.h"
#include "app/project_file_commands.h"
#include "app/project_state.h"
#include "app/start_panel.h"
#include "app/status_bar.h"
#include "link/config_location.h"
#include "link/device_map.h"
#include "link/ini_file.h"
#include "sim/sim_line.h"
#include "tabs/uart_tab.h"

#include <QAction>
#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class TestStartPanel : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    FakeClock m_clock; // the uploads' timeouts pass at once
    ScriptedPrompts m_prompts;
    sim::SimulatedLine *m_line = nullptr;
    std::unique_ptr<MainWindow> m_window;
    WidgetDriver m_ui;

    QString iniPath() const { return m_dir->filePath(QStringLiteral("set.ini")); }
    void makeWindow(int pinnedPort = 0)
    {
        m_window.reset();
        m_line = new sim::SimulatedLine(m_clock);
        m_line->model().faults().silent = true;
        if (pinnedPort)
            m_line->pinPortNumber(pinnedPort);
        m_window = std::make_unique<MainWindow>(iniPath(), std::unique_ptr<SerialLine>(m_line),
                                                &m_prompts, &m_clock);
        m_ui.setRoot(m_window.get());
    }
    StartPanel *panel() const { return m_window->findChild<StartPanel *>(); }
    QString example(const char *name) const
    {
        return QDir(examplesFolder(QCoreApplication::applicationDirPath()))
            .filePath(QLatin1String(name));
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_prompts = ScriptedPrompts();
    }
    void cleanup()
    {
        m_window.reset();
        setSimulatedPlcFactory({});
    }

    void thePanelComesOnAFirstStartOnly_data()
    {
        QTest::addColumn<QString>("options"); // [Options] StartPanel; "-": no set.ini at all
        QTest::addColumn<bool>("shown");
        QTest::newRow("no set.ini yet") << "-" << true;
        QTest::newRow("set.ini there") << "" << false;
        QTest::newRow("asked for again") << "1" << true;
        QTest::newRow("closed for good") << "0" << false;
    }
    void thePanelComesOnAFirstStartOnly()
    {
        QFETCH(QString, options);
        QFETCH(bool, shown);
        if (options != "-")
            Write_ini(iniPath(), "COM", "Port_num", "0");
        if (!options.isEmpty() && options != "-")
            Write_ini(iniPath(), "Options", "StartPanel", options);
        makeWindow();
        QCOMPARE(panel() != nullptr, shown);
    }

    // The panel's steps run the window's own items and follow their state; "Do not show this
    // again" is remembered.
    void thePanelLeadsFromPortToWrite()
    {
        makeWindow();
        m_window->show();
        QVERIFY(panel() && panel()->isVisible());
        // Beside the tabs or, on a screen too narrow for both, below them; never over them, and
        // the window stays on a 1024x700 screen.
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        const QRect tabs = m_ui.find(QStringLiteral("tabs"))->geometry();
        QVERIFY(!tabs.intersects(panel()->geometry()));
        const QRect screen = m_window->screen()->availableGeometry();
        QVERIFY2(
            screen.contains(m_window->frameGeometry()),
            qPrintable(QDebug::toString(m_window->frameGeometry()) + QDebug::toString(screen)));

        auto *verify = m_ui.find<QCheckBox>(QStringLiteral("startVerify"));
        verify->click();
        QVERIFY(m_ui.find<QAction>(QStringLiteral("verify_after_write"))->isChecked());
        QCOMPARE(Read_ini(iniPath(), "Options", "Verify", "-"), QStringLiteral("1"));

        // Recent files first, then the examples; an example opens as a new, unsaved project.
        auto *projects = m_ui.find<QListWidget>(QStringLiteral("startProjects"));
        QVERIFY(projects->count() >= 2);
        QCOMPARE(projects->item(0)->text(), QStringLiteral("Example: mistakes.dpc"));
        projects->setCurrentRow(1);
        m_ui.click(QStringLiteral("startOpenProject"));
        QCOMPARE(m_window->uart1Tab()->port().mode(), PortMode::Master);
        QVERIFY(m_window->uart1Tab()->port().slaves().itemCount() > 0);
        QCOMPARE(m_window->projectFiles().project().file(), QString());
        QVERIFY(!m_window->projectFiles().project().isChanged());

        // The upload runs as the menu item does, and is greyed when the item is.
        m_ui.click(QStringLiteral("startUpload"));
        finish(m_window->link());
        QVERIFY(m_line->openCount() > 0);
        QAction *upload = m_ui.find<QAction>(QStringLiteral("upload_from_plc"));
        upload->setEnabled(false);
        QVERIFY(!m_ui.find(QStringLiteral("startUpload"))->isEnabled());
        upload->setEnabled(true);

        m_ui.click(QStringLiteral("startCloseForGood"));
        QVERIFY(!panel()->isVisible());
        QCOMPARE(Read_ini(iniPath(), "Options", "StartPanel", "-"), QStringLiteral("0"));
        makeWindow();
        QVERIFY(!panel());
        // Help brings it back for the run, without asking for it at every start.
        m_ui.find<QAction>(QStringLiteral("help_getting_started"))->trigger();
        QVERIFY(panel() && !panel()->isHidden());
        QCOMPARE(Read_ini(iniPath(), "Options", "StartPanel", "-"), QStringLiteral("0"));
    }

    // The examples are offered in the File menu; one opens as a project with no file yet, so that
    // saving it asks where and never offers the examples' own folder.
    void openExampleListsTheExamplesAndOpensOne()
    {
        makeWindow();
        auto *menu = m_ui.find<QMenu>(QStringLiteral("Open_example"));
        QStringList names;
        for (const QAction *item : menu->actions())
            names << item->text();
        QCOMPARE(names, (QStringList{"mistakes.dpc", "two-masters.dpc"}));
        menu->actions().at(1)->trigger();
        QVERIFY2(m_prompts.messages().isEmpty(), qPrintable(m_prompts.messages().join('|')));
        QCOMPARE(m_window->uart2Tab()->port().mode(), PortMode::Master);
        QVERIFY(m_window->status().outcomeText().startsWith("Opened the example two-masters.dpc"));

        m_prompts.queueFile(std::nullopt);
        m_ui.find<QAction>(QStringLiteral("Save_config"))->trigger();
        QCOMPARE(m_prompts.fileRequests().size(), 1);
        QVERIFY(QFileInfo(m_prompts.fileRequests()[0].choice.startFolder).absoluteFilePath() !=
                QFileInfo(example("two-masters.dpc")).absolutePath());
    }

    // The export choosers propose a name made from the project's, in the folder used last.
    void exportsProposeTheProjectsName()
    {
        makeWindow();
        const QString saved = m_dir->filePath(QStringLiteral("plant.dpc"));
        m_prompts.queueFile(saved);
        m_ui.find<QAction>(QStringLiteral("Save_config"))->trigger();
        m_prompts.clearRecord();
        m_ui.find<QAction>(QStringLiteral("Export_project"))->trigger();
        m_ui.find<QAction>(QStringLiteral("grid_export_csv"))->trigger();
        QCOMPARE(m_prompts.fileRequests().size(), 2);
        QCOMPARE(m_prompts.fileRequests()[0].choice.startFolder, m_dir->filePath("plant.json"));
        const QString csv = m_prompts.fileRequests()[1].choice.startFolder;
        QVERIFY2(csv.startsWith(m_dir->filePath("plant ")) && csv.endsWith(".csv"),
                 qPrintable(csv));
    }

    // The caption and the status bar name the simulated PLC while the COM numbers lead to it, and
    // a port given for this run while it is in force.
    void theCaptionNamesThePortInForce()
    {
        int running = 0;
        setSimulatedPlcFactory([&] { return std::make_unique<CountedPlc>(running); });
        Write_ini(iniPath(), "COM", "Port_num", "1");
        makeWindow();
        QVERIFY(m_window->windowTitle().endsWith("  //Active port - COM 2"));
        useSimulatedPlc();
        m_window->Change_main_caption();
        QVERIFY2(m_window->windowTitle().endsWith("  //Active port - simulated PLC"),
                 qPrintable(m_window->windowTitle()));
        QVERIFY(m_window->status().portText().startsWith("Active port COM 2: simulated PLC"));
        clearComOverrides();
        QCOMPARE(running, 0);
        m_window->Change_main_caption();
        QVERIFY(m_window->windowTitle().endsWith("  //Active port - COM 2"));

        makeWindow(7); // --port COM7
        QVERIFY(m_window->windowTitle().endsWith("  //Active port - COM 7"));
    }
};

QTEST_MAIN(TestStartPanel)
#include "tst_start_panel.moc"
