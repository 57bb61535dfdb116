// What the window shows of the configuration check: the findings leading to their cells, red ROM
// codes, tooltips that explain cells and diagnostics rows, the warnings on the status bar.
#include "support/config_recipe.h"
#include "support/sim_bench.h"
#include "support/widget_driver.h"

#include "app/config_insight.h"
#include "app/main_window.h"
#include "onewire/search_dialog.h"
#include "sim/demo_plc.h"
#include "tabs/onewire_tab.h"
#include "tabs/uart_tab.h"

#include <QAction>
#include <QHelpEvent>
#include <QLabel>
#include <QTabWidget>
#include <QTableView>
#include <QToolTip>
#include <QtTest>

namespace {
const QStringList Config = {"uart1: 1,10,0,100,1,500", "uart1: 2,4,0,300,0,500",
                            "uart2: 5,10,0,105,4,500", "sensor: 28FF641E0F000034 1500",
                            "sensor: 286164118D2C013B 1502"};
const QString Mistyped = "CRC is F3, byte 7 holds 3B: a byte is mistyped";
const QString Sound = "family 28: a DS18B20 temperature sensor";
} // namespace

class TestConfigInsight : public QObject
{
    Q_OBJECT

    std::unique_ptr<Bench> m_b;
    std::unique_ptr<MainWindow> m_window;
    WidgetDriver m_ui;

    QTabWidget *tabs() const { return m_ui.find<QTabWidget>("tabs"); }
    // The tooltip a grid's cell shows, empty when it has none.
    static QString tipAt(QAbstractItemView *grid, int row, int column)
    {
        const QPoint at = WidgetDriver::cellCentre(grid, row, column);
        QHelpEvent help(QEvent::ToolTip, at, grid->viewport()->mapToGlobal(at));
        QApplication::sendEvent(grid->viewport(), &help); // ignored where there is no tip
        return help.isAccepted() ? QToolTip::text() : QString();
    }

private Q_SLOTS:
    void init()
    {
        m_b = std::make_unique<Bench>();
        m_window = std::make_unique<MainWindow>(
            m_b->ini(), std::make_unique<sim::SimulatedLine>(m_b->plc(), m_b->clock), &m_b->prompts,
            &m_b->clock);
        m_ui.setRoot(m_window.get());
        applyRecipe(m_window->projectPorts(), Config);
        m_window->show();
        QCoreApplication::processEvents(); // the check after the edits
    }
    void cleanup() { m_window.reset(); }

    void aFindingDoubleClickedSelectsItsCell_data()
    {
        QTest::addColumn<QString>("finding"); // its text starts so
        QTest::addColumn<QString>("grid");
        QTest::addColumn<QPoint>("cell"); // column, row of the model
        QTest::newRow("overlap across the UARTs") << "registers 105 to 114"
                                                  << "grid2" << QPoint(4, 0);
        QTest::newRow("mistyped ROM byte") << "CRC is F3"
                                           << "Grid1" << QPoint(8, 1);
    }
    void aFindingDoubleClickedSelectsItsCell()
    {
        QFETCH(QString, finding);
        QFETCH(QString, grid);
        QFETCH(QPoint, cell);
        m_ui.find<QAction>("check_config")->trigger();
        FindingsWindow *window = m_window->insight().findingsWindow();
        QVERIFY(window && window->isVisible() && !window->isModal());
        auto *list = window->findChild<QTableView *>("findings");
        const auto at = list->model()->match(list->model()->index(0, 4), Qt::DisplayRole, finding,
                                             1, Qt::MatchStartsWith);
        QCOMPARE(at.size(), 1);
        WidgetDriver::doubleClickCell(list, at[0].row(), 4);
        auto *view = m_ui.find<QTableView>(grid);
        QVERIFY(tabs()->currentWidget()->isAncestorOf(view));
        QCOMPARE(QPoint(view->currentIndex().column(), view->currentIndex().row()), cell);
    }

    void cellsExplainThemselves_data()
    {
        QTest::addColumn<bool>("found"); // in the search dialog's grid, else in the window's
        QTest::addColumn<QString>("grid");
        QTest::addColumn<QPoint>("cell");
        QTest::addColumn<QString>("typed"); // into the cell first, unless empty
        QTest::addColumn<QColor>("paint");  // invalid: not painted
        QTest::addColumn<QString>("tip");   // how the tooltip starts
        const QColor red(0xffb0b0), amber(0xffd880), none;
        QTest::newRow("a sound ROM code")
            << false << "Grid1" << QPoint(3, 0) << QString() << none << Sound;
        QTest::newRow("a mistyped ROM code")
            << false << "Grid1" << QPoint(3, 1) << QString() << red << Mistyped;
        QTest::newRow("a sound code found")
            << true << "grid" << QPoint(1, 0) << QString() << none << Sound;
        QTest::newRow("a mistyped code found")
            << true << "grid" << QPoint(8, 1) << QString() << red << Mistyped;
        QTest::newRow("a function")
            << false << "grid" << QPoint(5, 1) << QString() << none << "Read coils, function 01";
        QTest::newRow("a warned overlap")
            << false << "grid2" << QPoint(4, 0) << QString() << amber << "registers 105 to 114";
        // The range a red Num word names is the one the check has no warning for.
        QTest::newRow("a Num word of none")
            << false << "grid" << QPoint(2, 0) << "0" << amber << "a request for no registers";
        QTest::newRow("a Num word over the limit")
            << false << "grid" << QPoint(2, 0) << "126" << red
            << "Num word: a whole number from 1 to 125 for this function";
        QTest::newRow("a Num word within it")
            << false << "grid" << QPoint(2, 0) << "125" << none << QString();
    }
    void cellsExplainThemselves()
    {
        QFETCH(bool, found);
        QFETCH(QString, grid);
        QFETCH(QPoint, cell);
        QFETCH(QString, typed);
        QFETCH(QColor, paint);
        QFETCH(QString, tip);
        TextTable &sensors = m_window->onewireTab()->auxPort().sensors();
        // The search dialog's grid as a search would fill it: the sensor table's codes.
        SearchDialog search(std::make_unique<sim::SimulatedLine>(m_b->plc(), m_b->clock),
                            {m_b->clock, m_b->tap}, m_b->ini(), m_b->prompts,
                            m_window->onewireTab()->auxPort().sensors());
        for (int r = 0; r < 2; ++r)
            search.results().appendItem(sensors.rowCells(r).mid(0, 9));
        if (found)
            search.show();
        tabs()->setCurrentIndex(grid == "Grid1" ? 3 : grid == "grid2" ? 2 : 1);
        auto *view = WidgetDriver(found ? static_cast<QWidget *>(&search) : m_window.get())
                         .find<QTableView>(grid);
        if (!typed.isEmpty()) {
            view->model()->setData(view->model()->index(cell.y(), cell.x()), typed);
            QCoreApplication::processEvents(); // the check after the edit
        }
        view->selectionModel()->clear();
        const QRect drawn = view->visualRect(view->model()->index(cell.y(), cell.x()));
        const QColor painted = view->viewport()->grab(drawn).toImage().pixelColor(2, 2);
        if (paint.isValid())
            QCOMPARE(painted, paint);
        else
            QVERIFY(painted != QColor(0xffb0b0) && painted != QColor(0xffd880));
        const QString shown = tipAt(view, cell.y(), cell.x());
        QVERIFY2(tip.isEmpty() ? shown.isEmpty() : shown.startsWith(tip), qPrintable(shown));
    }

    // Up to the demo PLC's configuration, which gives no warning.
    void theStatusBarCountsTheWarningsAfterEachEdit()
    {
        auto *status = m_ui.find<QLabel>("statusFindings");
        QCOMPARE(status->text(), "2 warnings: PLC \u2192 Check config");
        m_window->onewireTab()->auxPort().sensors().setCell(1, 8, "F3");
        QCoreApplication::processEvents();
        QCOMPARE(status->text(), "1 warning: PLC \u2192 Check config");
        m_window->uart2Tab()->port().slaves().setCell(0, 4, "110");
        QCoreApplication::processEvents();
        QVERIFY(status->isHidden());
        sim::fillDemoPlc(m_b->plc());
        m_ui.find<QAction>("upload_from_plc")->trigger();
        finish(m_window->link());
        QCoreApplication::processEvents();
        QCOMPARE(m_window->insight().findings().size(), 3); // two poll cycles, one family
        QVERIFY(status->isHidden());
    }

    void diagnosticsRowsLeadToTheirTableRows_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("grid");
        QTest::addColumn<QString>("tip");
        QTest::newRow("UART 1") << 4 << "MB_grid"
                                << "Slot 2 is UART 1 row 2: slave 2, Read coils, function 01, "
                                   "Address slave 0, Address master 300. Double-click to go to it.";
        QTest::newRow("1-wire") << 5 << "W1_grid"
                                << "Num 2 is 1-wire row 2: ROM code 286164118D2C013B, Dxxxx 1502. "
                                   "Double-click to go to it.";
    }
    void diagnosticsRowsLeadToTheirTableRows()
    {
        QFETCH(int, tab);
        QFETCH(QString, grid);
        QFETCH(QString, tip);
        m_b->plc().setWord(sim::Addr::Uart1Port, 0xC002);
        m_b->plc().setErrorBuffer(sim::PlcModel::ErrorBuffer::Uart1, QByteArray::fromHex("0084"));
        m_b->plc().setWord(sim::Addr::AuxMode, 0xC002);
        m_b->plc().setErrorBuffer(sim::PlcModel::ErrorBuffer::OneWire, QByteArray::fromHex("00C5"));
        tabs()->setCurrentIndex(tab);
        m_ui.click(tab == 4 ? "Command4" : "Command5");
        finish(m_window->link());
        auto *view = m_ui.find<QTableView>(grid);
        QCOMPARE(tipAt(view, 1, 1), tip);
        QCOMPARE(tipAt(view, 2, 1), QString()); // the row after the buffer holds no error
        WidgetDriver::doubleClickCell(view, 1, 1);
        QCOMPARE(tabs()->currentIndex(), tab == 4 ? 1 : 3);
    }
};

QTEST_MAIN(TestConfigInsight)
#include "tst_config_insight.moc"
