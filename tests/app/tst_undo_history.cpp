// Undo and Redo in the window: each edit of a cell, a row, a mode or a box, each load and each
// upload is one step that gives back the ports as they were; a text box keeps Ctrl+Z for its own
// typing.
#include "support/config_recipe.h"
#include "support/file_bytes.h"
#include "support/sim_bench.h"
#include "support/widget_driver.h"

#include "app/main_window.h"
#include "app/project_file_commands.h"
#include "app/project_state.h"
#include "app/undo_history.h"
#include "link/plc_link.h"
#include "modbus/slave_dialog.h"
#include "sim/demo_plc.h"
#include "tabs/onewire_tab.h"
#include "tabs/uart_tab.h"

#include <QAction>
#include <QLineEdit>
#include <QTabWidget>
#include <QTableView>
#include <QUndoStack>
#include <QtTest>

class TestUndoHistory : public QObject
{
    Q_OBJECT

    std::unique_ptr<Bench> m_b;
    std::unique_ptr<MainWindow> m_window;
    WidgetDriver m_ui;

    PortsSnapshot now() const { return PortsSnapshot::take(m_window->projectPorts()); }
    QAction *action(const char *name) const { return m_ui.find<QAction>(QLatin1String(name)); }
    // Ctrl+Z or Ctrl+Shift+Z where the keyboard's focus is.
    static void press(QKeyCombination keys)
    {
        QWidget *focus = QApplication::focusWidget();
        QVERIFY(focus);
        QTest::keyClick(focus, keys.key(), keys.keyboardModifiers());
    }

private Q_SLOTS:
    void init()
    {
        m_b = std::make_unique<Bench>();
        m_window = std::make_unique<MainWindow>(
            m_b->ini(), std::make_unique<sim::SimulatedLine>(m_b->plc(), m_b->clock), &m_b->prompts,
            &m_b->clock);
        m_ui.setRoot(m_window.get());
        applyRecipe(m_window->projectPorts(), {"uart1: 1,10,0,100,1,500", "uart1: 2,4,0,300,0,500",
                                               "sensor: 28FF641E0F000034 1500"});
        // What the recipe set up is where the history begins.
        m_window->undo().restart();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        m_window->findChild<QTabWidget *>("tabs")->setCurrentWidget(m_window->uart1Tab());
        m_ui.find<QTableView>("grid")->setFocus();
    }
    void cleanup()
    {
        m_window.reset();
        m_b.reset();
    }

    void eachChangeIsOneStepBackAndForth_data()
    {
        auto row = [](const char *name, const QString &change, const QString &undoText) {
            QTest::newRow(name) << change << undoText;
        };
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("undoText");
        row("a cell typed in the grid", "cell", "&Undo change of UART 1");
        row("a slave added in the dialog", "add", "&Undo change of UART 1");
        row("a row deleted", "delete", "&Undo change of UART 1");
        row("a mode chosen", "mode", "&Undo change of UART 2");
        row("a project loaded", "load", "&Undo change of UART 1, ");
        row("the three uploads of the PLC menu", "upload", "&Undo change of UART 1, ");
    }
    void eachChangeIsOneStepBackAndForth()
    {
        QFETCH(QString, change);
        QFETCH(QString, undoText);
        const PortsSnapshot before = now();
        auto *grid = m_ui.find<QTableView>("grid");
        if (change == "cell") {
            grid->setCurrentIndex(grid->model()->index(1, 3));
            QTest::keyClick(grid, Qt::Key_Return);
            QTest::keyClicks(m_ui.find<QLineEdit>("Text3"), "77");
            QTest::keyClick(m_ui.find<QLineEdit>("Text3"), Qt::Key_Return);
        } else if (change == "add") {
            WidgetDriver::onModal<SlaveDialog>(
                [](SlaveDialog *dialog) { WidgetDriver(dialog).click("Command2"); });
            m_ui.click("Command1");
            m_window->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
            grid->setFocus();
        } else if (change == "delete") {
            grid->setCurrentIndex(grid->model()->index(0, 1));
            m_b->prompts.queueAnswer(true);
            m_ui.click("Command3");
        } else if (change == "mode") {
            m_window->findChild<QTabWidget *>("tabs")->setCurrentWidget(m_window->uart2Tab());
            m_ui.clickOption("Option5_1");
        } else if (change == "load") {
            m_b->prompts.queueSaveChoice(Prompts::SaveChoice::Discard);
            m_b->prompts.queueFile(QFINDTESTDATA("../fixtures/project/sound.dpc"));
            action("Load_config")->trigger();
        } else if (change == "upload") {
            sim::fillDemoPlc(m_b->plc());
            m_b->prompts.queueSaveChoice(Prompts::SaveChoice::Discard);
            action("upload_from_plc")->trigger();
            finish(m_window->link());
        }
        QCoreApplication::processEvents();
        const PortsSnapshot after = now();
        QVERIFY(after != before);
        QCOMPARE(m_window->undo().stack().count(), 1);
        QVERIFY2(action("edit_undo")->text().startsWith(undoText),
                 qPrintable(action("edit_undo")->text()));

        press(QKeySequence(QKeySequence::Undo)[0]);
        QVERIFY(now() == before);
        QVERIFY(action("edit_redo")->isEnabled());
        press(Qt::CTRL | Qt::SHIFT | Qt::Key_Z);
        QVERIFY(now() == after);
        QVERIFY(!action("edit_redo")->isEnabled());
    }

    // The undo of a text box (or of the cell being edited) goes first: the table's last change
    // stays until the keys reach the window.
    void aTextBoxKeepsItsOwnUndo()
    {
        TextTable &slaves = m_window->uart1Tab()->port().slaves();
        slaves.setCell(0, 1, "9");
        QCoreApplication::processEvents();

        auto *grid = m_ui.find<QTableView>("grid");
        grid->setCurrentIndex(grid->model()->index(1, 1));
        QTest::keyClick(grid, Qt::Key_Return);
        auto *editor = m_ui.find<QLineEdit>("Text3");
        QTest::keyClicks(editor, "5");
        press(QKeySequence(QKeySequence::Undo)[0]);
        QCOMPARE(editor->text(), "2");
        QCOMPARE(slaves.cell(0, 1), "9");

        m_window->uart1Tab()->port().setMode(PortMode::Slave);
        QCoreApplication::processEvents();
        auto *address = m_ui.find<QLineEdit>("Text1");
        address->setFocus();
        address->selectAll();
        QTest::keyClicks(address, "17");
        press(QKeySequence(QKeySequence::Undo)[0]);
        QCOMPARE(address->text(), "1");
        QCOMPARE(m_window->uart1Tab()->port().mode(), PortMode::Slave);
        QCOMPARE(slaves.cell(0, 1), "9");

        m_ui.find("Option4_1")->setFocus();
        press(QKeySequence(QKeySequence::Undo)[0]); // the mode
        press(QKeySequence(QKeySequence::Undo)[0]); // the cell
        QCOMPARE(m_window->uart1Tab()->port().mode(), PortMode::Master);
        QCOMPARE(slaves.cell(0, 1), "1");
    }

    // Undoing back to what was saved leaves nothing unsaved; redoing makes it unsaved again.
    void undoingBackToTheSavedProjectLeavesItUnchanged()
    {
        ProjectState &project = m_window->projectFiles().project();
        TextTable &slaves = m_window->uart1Tab()->port().slaves();
        slaves.setCell(0, 1, "9");
        m_b->prompts.queueFile(m_b->dir.filePath("p.dpc"));
        action("Save")->trigger();
        QVERIFY(!project.isChanged());
        slaves.setCell(0, 1, "8");
        QCoreApplication::processEvents();
        QVERIFY(project.isChanged());
        action("edit_undo")->trigger();
        QCOMPARE(slaves.cell(0, 1), "9");
        QVERIFY(!project.isChanged());
        action("edit_undo")->trigger();
        QCOMPARE(slaves.cell(0, 1), "1");
        QVERIFY(project.isChanged());
        action("edit_redo")->trigger();
        QVERIFY(!project.isChanged());
    }

    // Undo never costs work: not while a transfer reads the ports, not through Save after undo
    // went back past a load, not by an undone import passing for saved.
    void undoNeverLosesWork()
    {
        TextTable &slaves = m_window->uart1Tab()->port().slaves();
        slaves.setCell(0, 1, "9");
        QCoreApplication::processEvents();
        {
            const LinkTransfer transfer(m_window->link(), m_b->ini(),
                                        LinkTransfer::Settings::AsTheyAre);
            QVERIFY(!action("edit_undo")->isEnabled());
            m_window->undo().undo();
            QCOMPARE(slaves.cell(0, 1), "9");
        }
        QVERIFY(action("edit_undo")->isEnabled());

        const QString loaded = m_b->dir.filePath("loaded.dpc");
        QVERIFY(QFile::copy(QFINDTESTDATA("../fixtures/project/sound.dpc"), loaded));
        const QByteArray loadedBytes = fileBytes(loaded);
        m_b->prompts.queueSaveChoice(Prompts::SaveChoice::Discard);
        m_b->prompts.queueFile(loaded);
        action("Load_config")->trigger();
        QCOMPARE(m_window->projectFiles().project().file(), loaded);
        action("edit_undo")->trigger();
        QCOMPARE(slaves.cell(0, 1), "9");
        const qsizetype asked = m_b->prompts.fileRequests().size();
        action("Save")->trigger(); // asks where; the chooser is cancelled
        QCOMPARE(m_b->prompts.fileRequests().size(), asked + 1);
        QCOMPARE(fileBytes(loaded), loadedBytes);

        const QString json = m_b->dir.filePath("p.json");
        m_b->prompts.queueFile(json);
        action("Export_project")->trigger();
        m_b->prompts.queueSaveChoice(Prompts::SaveChoice::Discard);
        m_b->prompts.queueFile(json);
        action("Import_project")->trigger();
        QVERIFY(m_window->projectFiles().project().isChanged());
        action("edit_undo")->trigger();
        QVERIFY(m_window->projectFiles().project().isChanged());
    }

    // A cell the editor refuses changes nothing, and so leaves nothing to undo.
    void aRefusedCellLeavesNoStep()
    {
        auto *grid = m_ui.find<QTableView>("grid");
        grid->setCurrentIndex(grid->model()->index(0, 1));
        QTest::keyClick(grid, Qt::Key_Return);
        QTest::keyClicks(m_ui.find<QLineEdit>("Text3"), "256");
        QTest::keyClick(m_ui.find<QLineEdit>("Text3"), Qt::Key_Return);
        QCoreApplication::processEvents();
        QCOMPARE(m_b->prompts.messages().size(), 1);
        QCOMPARE(m_window->undo().stack().count(), 0);
        QVERIFY(!action("edit_undo")->isEnabled());
    }
};

QTEST_MAIN(TestUndoHistory)
#include "tst_undo_history.moc"
