// The main window: caption and line settings at start-up, the guard on PLC commands while a
// transfer runs, closing during a transfer, "Upload from PLC" and project files.
#include "support/fake_clock.h"
#include "support/file_bytes.h"
#include "support/scripted_prompts.h"
#include "support/small_project.h"
#include "support/widget_driver.h"

#include "app/help_menu.h"
#include "app/main_window.h"
#include "app/project_file_commands.h"
#include "app/project_state.h"
#include "app/status_bar.h"
#include "app/window_settings.h"
#include "common/command.h"
#include "common/errors.h"
#include "link/ini_file.h"
#include "link/plc_link.h"
#include "production/production_run.h"
#include "production/production_window.h"
#include "project/project_file.h"
#include "project/project_record.h"
#include "sim/sim_line.h"
#include "support/wait_for_task.h"
#include "tabs/uart_tab.h"
#include "transfer/plc_verify.h"
#include "transfer/unit_log.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace std::chrono_literals;

const QString Caption = QStringLiteral(
    "PLC Cordavo v 466 for  STM32F103C8T6 from firmware G025   //Active port - COM ");
enum Close { NotClosed, CloseBox, FileExit };
enum During { Waiting, Pausing, Uploading };

class TestMainWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    FakeClock m_clock; // timeouts and pauses pass at once, in deadline order
    ScriptedPrompts m_prompts;
    sim::SimulatedLine *m_line = nullptr; // the window's line, to a PLC that never answers
    std::unique_ptr<MainWindow> m_window;
    WidgetDriver m_ui;

    QString iniPath() const { return m_dir->filePath(QStringLiteral("set.ini")); }
    void makeWindow()
    {
        m_window.reset();
        m_line = new sim::SimulatedLine(m_clock);
        m_line->model().faults().silent = true;
        m_window = std::make_unique<MainWindow>(iniPath(), std::unique_ptr<SerialLine>(m_line),
                                                &m_prompts, &m_clock);
        m_ui.setRoot(m_window.get());
    }
    QAction *action(const char *name) const { return m_ui.find<QAction>(QLatin1String(name)); }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_prompts = ScriptedPrompts();
        makeWindow();
    }
    void cleanup() { m_window.reset(); }

    // Start-up takes the caption and the line's settings from set.ini, opens nothing and reports
    // nothing, even for values the line refuses.
    void startUpFollowsSetIniQuietly_data()
    {
        QTest::addColumn<QString>("entries");  // key=value in section COM
        QTest::addColumn<char>("port");        // as the caption shows it
        QTest::addColumn<QString>("settings"); // empty: not checked
        QTest::newRow("no set.ini") << "" << '1' << "9600,N,7,1";
        QTest::newRow("all stored")
            << "Speed=4 Parity=2 Bit_num=1 Stop_bit=1 Port_num=2" << '3' << "115200,E,8,1.5";
        QTest::newRow("speed 5, refused by the line") << "Speed=5 Port_num=4" << '5' << "";
        QTest::newRow("port not a whole number") << "Port_num=two" << '?' << "";
    }
    void startUpFollowsSetIniQuietly()
    {
        QFETCH(QString, entries);
        QFETCH(char, port);
        QFETCH(QString, settings);
        for (const QString &e : entries.split(' ', Qt::SkipEmptyParts))
            Write_ini(iniPath(), "COM", e.section('=', 0, 0), e.section('=', 1));
        makeWindow();
        QCOMPARE(m_window->windowTitle(), Caption + port);
        if (!settings.isEmpty()) {
            QCOMPARE(m_line->settingsText(), settings);
            QCOMPARE(m_line->portNumber(), port - '0');
        }
        QVERIFY(m_prompts.shown().isEmpty());
        QCOMPARE(m_line->openCount(), 0);

        // The caption is renewed from set.ini when asked.
        Write_ini(iniPath(), "COM", "Port_num", "2");
        m_window->Change_main_caption();
        QCOMPARE(m_window->windowTitle(), Caption + '3');
    }

    // While a transfer runs, the PLC controls and what replaces the project are greyed and the
    // others stay usable; afterwards
    // each is put back as it was, so one greyed for its own reason stays greyed. Closing the
    // window aborts the transfer at once (no timeout waited out, nothing shown) and the window
    // closes once the link is idle.
    void aTransferGreysThePlcControlsAndClosingAbortsIt_data()
    {
        QTest::addColumn<Close>("close"); // how, 5 ms into the transfer
        QTest::addColumn<During>("during");
        QTest::newRow("not closed: runs to its end") << NotClosed << Waiting;
        QTest::newRow("close box, waiting for an answer") << CloseBox << Waiting;
        QTest::newRow("File > Exit, waiting for an answer") << FileExit << Waiting;
        // The close comes between two steps: the next exchange must not go out.
        QTest::newRow("close box, in a pause") << CloseBox << Pausing;
        // It ends the whole sequence, not just the upload that was running.
        QTest::newRow("close box, in Upload from PLC") << CloseBox << Uploading;
    }
    void aTransferGreysThePlcControlsAndClosingAbortsIt()
    {
        QFETCH(Close, close);
        QFETCH(During, during);
        auto *offButton = new QPushButton(QStringLiteral("Download to PLC"), m_window.get());
        offButton->setEnabled(false);
        m_window->registerPlcControl(offButton);
        auto usable = [&] {
            QList<bool> on{offButton->isEnabled()};
            for (const char *name :
                 {"check_config", "Comm_setting", "Search_1wire", "upload_from_plc", "Load_config",
                  "New_config", "Import_project", "grid2_import_csv", "Exit"})
                on << action(name)->isEnabled();
            return on;
        };
        const QList<bool> before{false, true, true, true, true, true, true, true, true, true};
        QCOMPARE(usable(), before);
        m_window->show();
        QList<bool> inside;
        const qint64 start = m_clock.nowMs();
        const auto closing = m_clock.callAfter(5, [&] {
            inside = usable();
            if (close == FileExit)
                action("Exit")->trigger();
            else if (close == CloseBox)
                m_window->close();
        });
        bool ranToItsEnd = false;
        qint64 ended = -1; // when the command had unwound, before the line's drain
        connect(&m_window->status(), &StatusBar::outcomeShown, this,
                [&] { ended = m_clock.nowMs(); });
        if (during == Uploading)
            action("upload_from_plc")->trigger();
        else
            ranToItsEnd = runCommand(m_prompts, [&] {
                LinkTransfer transfer(m_window->link(), iniPath());
                waitForTask(transfer.open());
                waitForTask(m_window->link().pause(during == Pausing ? 400ms : 0ms));
                waitForTask(m_window->link().Write_plc_block(20s, WriteCommand::Configuration,
                                                             0x3000, "\x0F"));
            });
        if (during != Uploading)
            ended = m_clock.nowMs();
        // A command cut short leaves the line draining. Only the link is waited for here: the
        // window's own close comes after it.
        waitForTask(m_window->link().idle());
        // What replaces the project waits too: a load halfway through a write would leave the
        // PLC with a mix of two projects.
        QCOMPARE(inside,
                 (QList<bool>{false, true, false, false, false, false, false, false, false, true}));
        QCOMPARE(ranToItsEnd, close == NotClosed);
        QCOMPARE(m_line->sends().size(), during == Pausing ? 0 : 1); // upload: UART 1's first read
        if (close != NotClosed)
            QCOMPARE(ended - start, 5);
        if (during == Uploading)
            QVERIFY(m_window->findChild<QLabel *>("statusOutcome")
                        ->text()
                        .startsWith(QStringLiteral("Upload from PLC aborted ")));
        QVERIFY(!m_line->isOpen() && !m_window->link().busy());
        QCOMPARE(usable(), before);
        QVERIFY(m_window->isVisible()); // until the command has unwound
        QTRY_COMPARE(m_window->isVisible(), close == NotClosed);
        QVERIFY(m_prompts.shown().isEmpty());
    }

    void uploadFromPlcRunsTheThreeUploadsEvenWhenEachFails()
    {
        const QString missing = QStringLiteral("COM1 (/dev/ttyUSB0): no such device");
        m_line->setOpenFailure(missing);
        // One more upload, whose failure escapes it: shown, and it does not stop the others.
        m_window->registerUpload([]() -> QCoro::Task<PortReadReport> {
            throw PlatformError(QStringLiteral("extra went wrong"));
            co_return {};
        });
        action("upload_from_plc")->trigger();
        finish(m_window->link());
        QCOMPARE(m_prompts.messages(),
                 (QStringList{missing, missing, missing, QStringLiteral("extra went wrong")}));
        QCOMPARE(m_window->uart1Tab()->port().mode(), PortMode::NotUse);
    }

    // A project file loads into the tabs and saves from them as it was, also after a trip out as
    // JSON and into a fresh window.
    void projectFilesLoadIntoTheTabsAndSaveFromThem()
    {
        const QString sound = QFINDTESTDATA("../fixtures/project/sound.dpc");
        m_prompts.queueFile(sound);
        action("Load_config")->trigger();
        QVERIFY2(m_prompts.messages().isEmpty(), qPrintable(m_prompts.messages().join('|')));
        QCOMPARE(m_window->uart1Tab()->port().mode(), PortMode::Master);
        QCOMPARE(m_window->uart1Tab()->port().slaves().itemCount(), 2);
        const QString json = m_dir->filePath("p.json"), again = m_dir->filePath("again.dpc");
        m_prompts.queueFile(again);
        action("Save_config")->trigger();
        QCOMPARE(fileBytes(again), fileBytes(sound));

        m_prompts.queueFile(json);
        action("Export_project")->trigger();
        makeWindow();
        m_prompts.queueFile(json);
        action("Import_project")->trigger();
        QVERIFY(m_window->projectFiles().project().isChanged());
        // Another import asks first about the changes; cancelled, nothing is chosen.
        const qsizetype requests = m_prompts.fileRequests().size();
        m_prompts.queueSaveChoice(Prompts::SaveChoice::Cancel);
        action("Import_project")->trigger();
        QCOMPARE(m_prompts.fileRequests().size(), requests);
        QCOMPARE(m_prompts.questions().size(), 1);
        m_prompts.clearRecord();
        QFile saved(m_dir->filePath(QStringLiteral("travelled.dpc")));
        m_prompts.queueFile(saved.fileName());
        action("Save_config")->trigger();
        QVERIFY2(m_prompts.shown().isEmpty(), qPrintable(m_prompts.messages().join('|')));
        QVERIFY(saved.open(QIODevice::ReadWrite));
        QCOMPARE(saved.readAll(), fileBytes(sound));

        // A master table without slaves is in view after the load all the same.
        saved.seek(ProjectRecord::SlaveCountOffset); // UART 1's block comes first
        QVERIFY(saved.putChar(0) && saved.flush());
        makeWindow();
        m_prompts.queueFile(saved.fileName());
        action("Load_config")->trigger();
        QCOMPARE(m_window->uart1Tab()->port().mode(), PortMode::Master);
        QCOMPARE(m_window->uart1Tab()->port().slaves().itemCount(), 0);
        QVERIFY(m_ui.find(QStringLiteral("grid"))->isVisibleTo(m_window->uart1Tab()));
    }

    // "Save" goes back into the project's own file without a question; a project without one
    // (and "Save config" always) asks where. The question before a load saves the same way.
    void saveGoesBackIntoTheProjectsFile()
    {
        const QString path = m_dir->filePath(QStringLiteral("p.dpc"));
        auto slaveAddress = [&path] {
            QFile f(path);
            return f.open(QIODevice::ReadOnly)
                       ? int(f.readAll().at(ProjectRecord::SlaveAddressOffset))
                       : -1;
        };
        ModbusPort &uart1 = m_window->uart1Tab()->port();
        uart1.setSlaveAddress(QStringLiteral("41"));
        m_prompts.queueFile(path);
        action("Save")->trigger();
        QCOMPARE(m_prompts.fileRequests().size(), 1);
        QCOMPARE(slaveAddress(), 41);

        uart1.setSlaveAddress(QStringLiteral("42"));
        QVERIFY(m_window->projectFiles().project().isChanged());
        action("Save")->trigger();
        QCOMPARE(m_prompts.fileRequests().size(), 1);
        QCOMPARE(slaveAddress(), 42);
        QVERIFY(!m_window->projectFiles().project().isChanged());

        uart1.setSlaveAddress(QStringLiteral("43"));
        m_prompts.queueSaveChoice(Prompts::SaveChoice::Save);
        m_prompts.queueFile(path);
        action("Load_config")->trigger();
        QCOMPARE(m_prompts.fileRequests().size(), 2); // the load's chooser only
        QCOMPARE(slaveAddress(), 43);

        action("Save_config")->trigger(); // asks, and is cancelled
        QCOMPARE(m_prompts.fileRequests().size(), 3);
        QVERIFY2(m_prompts.messages() == QStringList{cancelledChoiceMessage()},
                 qPrintable(m_prompts.messages().join('|')));
    }

    // Help lists the shortcuts the menus really have; the manual is the README as a web page,
    // found where an installation puts it.
    void helpNamesTheShortcutsAndMakesTheManual()
    {
        action("help_shortcuts")->trigger();
        const QString shown = m_prompts.messages().value(0);
        for (const char *line :
             {"File \u2192 Save: Ctrl+S", "File \u2192 Save config: Ctrl+Shift+S",
              "Edit \u2192 Undo: Ctrl+Z", "Edit \u2192 Redo: Ctrl+Shift+Z",
              "PLC \u2192 Check config: F7", "Slave table \u2192 Import CSV...: Ctrl+I"})
            QVERIFY2(shown.contains(QString::fromUtf8(line)), qPrintable(shown));

        QTemporaryDir installed;
        QVERIFY(QDir(installed.path()).mkpath("bin") &&
                QDir(installed.path()).mkpath("share/plc-config"));
        const QString readme = installed.filePath("share/plc-config/README.md");
        QFile f(readme);
        QVERIFY(f.open(QIODevice::WriteOnly) &&
                f.write("# The manual\n\nRead *this* first.\n\n![A picture](docs/p.png) "
                        "[the web](https://example.org/a) [below](#x)\n") > 0);
        f.close();
        QCOMPARE(manualSource(installed.filePath("bin")), readme);
        const QString page = writeManualPage(readme, m_dir->path());
        QFile html(page);
        QVERIFY(html.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(html.readAll());
        QVERIFY(text.contains("The manual") && text.contains("font-style:italic"));
        // Pictures are named from the README's folder; other links stay as they are.
        QVERIFY2(
            text.contains(
                QUrl::fromLocalFile(installed.filePath("share/plc-config/docs/p.png")).toString()),
            qPrintable(text));
        QVERIFY(text.contains("\"https://example.org/a\"") && text.contains("\"#x\""));
    }

    // A CSV into UART 2 from its table's menu: the rows replace the table and mark the project
    // changed. Rows already there go only when the user agrees, and a file at fault changes
    // nothing and says where.
    void aCsvImportsIntoUart2()
    {
        const QByteArray header = "Address;Num word;Address slave;Address master;Function;"
                                  "Timeout,[ms]\r\n";
        const QString good = m_dir->filePath("u2.csv"), bad = m_dir->filePath("bad.csv");
        for (const auto &[path, rows] : {std::pair{good, "10;8;0;1100;0;250\r\n11;6;0;200;1;400"},
                                         std::pair{bad, "12;8;0;1100;0;5000\r\n"}}) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(header + rows) > 0);
        }
        const QList<QStringList> imported = {{"1", "10", "8", "0", "1100", "0", "250"},
                                             {"2", "11", "6", "0", "200", "1", "400"}};
        TextTable &table = m_window->uart2Tab()->port().slaves();
        QVERIFY(!m_window->projectFiles().project().isChanged());
        m_prompts.queueFile(good);
        action("grid2_import_csv")->trigger();
        QVERIFY2(m_prompts.shown().isEmpty(), qPrintable(m_prompts.messages().join('|')));
        QCOMPARE(table.items(), imported);
        QVERIFY(m_window->projectFiles().project().isChanged());

        m_prompts.queueFile(bad);
        m_prompts.queueAnswer(false);
        action("grid2_import_csv")->trigger();
        m_prompts.queueFile(bad);
        action("grid2_import_csv")->trigger();
        QCOMPARE(
            m_prompts.questions(),
            QStringList(2, "Replace the rows of the UART 2 slave table with those of bad.csv?"));
        QCOMPARE(m_prompts.messages(),
                 QStringList{"Nothing was imported from " + bad +
                             ":\nline 2: You configuration has error in the Timeout - row 1\r\n"
                             "Column [Timeout,[ms]]"});
        QCOMPARE(table.items(), imported);
    }

    // Each menu's items in order, as "name caption keys", a separator as "-", a submenu by its
    // name: the commands come from several places, each adding its own items.
    void theMenusKeepTheirItemsNamesAndKeys_data()
    {
        QTest::addColumn<QString>("menu"); // its caption in the menu bar
        QTest::addColumn<QStringList>("items");
        QTest::newRow("File") << "&File"
                              << QStringList{"New_config New config ",
                                             "Load_config Load config Ctrl+O",
                                             "Open_example Open e&xample ",
                                             "Save &Save Ctrl+S",
                                             "Save_config Save config Ctrl+Shift+S",
                                             "Export_project Export... ",
                                             "Import_project Import... ",
                                             "Print Print Ctrl+P",
                                             "Save_app Save app setting ",
                                             "-",
                                             "Recent_1 &1 a.dpc ",
                                             "-",
                                             "Exit Exit Ctrl+Q"};
        QTest::newRow("PLC") << "&PLC"
                             << QStringList{"Comm_setting Comm. setting ",
                                            "check_config Check config F7",
                                            "Search_1wire Search 1-wire ",
                                            "upload_from_plc Upload from PLC F5",
                                            "load_to_plc Load to PLC ",
                                            "production P&roduction... ",
                                            "-",
                                            "Frame_monitor Frame monitor ",
                                            "-",
                                            "verify_after_write &Verify after write ",
                                            "compare_with_plc Co&mpare with PLC... ",
                                            "Messages Messages Ctrl+M"};
        QTest::newRow("Help") << "&Help"
                              << QStringList{"help_shortcuts &Keyboard shortcuts ",
                                             "help_manual &Manual F1",
                                             "help_getting_started &Getting started "};
    }
    void theMenusKeepTheirItemsNamesAndKeys()
    {
        QFETCH(QString, menu);
        QFETCH(QStringList, items);
        writeRecentFiles(iniPath(), {m_dir->filePath("a.dpc")});
        makeWindow();
        QStringList bar;
        QMenu *shown = nullptr;
        for (QAction *item : m_window->menuBar()->actions()) {
            bar << item->text();
            if (item->text() == menu)
                shown = item->menu();
        }
        QCOMPARE(bar, (QStringList{"&File", "&Edit", "&PLC", "About", "&Help"}));
        QVERIFY(action("about")->isEnabled());
        QVERIFY(shown);
        QStringList found;
        for (const QAction *item : shown->actions()) {
            if (item->isSeparator())
                found << "-";
            else if (item->menu())
                found << item->menu()->objectName() + ' ' + item->text() + ' ';
            else
                found << item->objectName() + ' ' + item->text() + ' ' +
                             item->shortcut().toString();
        }
        QCOMPARE(found, items);
        for (const QAction *item : shown->actions())
            QVERIFY2(item->isSeparator() || item->isEnabled(), qPrintable(item->objectName()));
    }

    // PLC > Production... opens the production window on the project open here; closing the
    // main window while it writes stops every port first (each recorded as stopped) and closes
    // only once all have let go of their ports.
    void closingStopsTheProductionRunFirst()
    {
        const QString project = m_dir->filePath("cabinet.dpc");
        writeSmallProject(project);
        m_prompts.queueFile(project);
        action("Load_config")->trigger();
        m_window->show();
        action("production")->trigger();
        auto *production = m_window->findChild<ProductionWindow *>("Production");
        QVERIFY(production && production->isVisible());
        ProductionRun &run = production->run();
        QCOMPARE(run.project(), project);

        sim::PlcModel plcs[2];
        for (sim::PlcModel &plc : plcs)
            plc.faults().delayMs = 50;
        run.setLineMaker([&](const StationPort &port) {
            return std::make_unique<sim::SimulatedLine>(plcs[port.name.back() == u'1' ? 0 : 1],
                                                        m_clock);
        });
        run.setPorts({{"/dev/plc1", true, {}, {}}, {"/dev/plc2", true, {}, {}}});
        run.setLogPath(m_dir->filePath("units.jsonl"));
        connect(&run, &ProductionRun::rowChanged, this, [&](int row) {
            if (run.rows().at(row).state == ProductionRun::State::WritingUart2)
                m_window->close();
        });
        QSignalSpy finished(&run, &ProductionRun::finished);
        startCommand(run.writeAll());
        QVERIFY(finished.wait());
        QCOMPARE(ProductionRun::stateText(run.rows().at(0)), "stopped");
        QCOMPARE(ProductionRun::stateText(run.rows().at(1)), "stopped");
        QCOMPARE(readUnitLog(run.logPath()).records.size(), 2);
        QTRY_VERIFY(!m_window->isVisible());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
