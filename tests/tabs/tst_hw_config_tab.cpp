// The "HW config" tab as the user clicks and types: the IO grid with its drop-down list, and the
// firmware update refused before anything is asked or sent.
#include "support/sim_bench.h"
#include "support/widget_driver.h"

#include "service/service_commands.h"
#include "tabs/hw_config_tab.h"

#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableView>
#include <QtTest>

class TestHwConfigTab : public QObject
{
    Q_OBJECT

    std::unique_ptr<Bench> m_b;
    std::unique_ptr<HwConfigTab> m_tab;
    WidgetDriver m_ui;
    QTableView *m_grid = nullptr;
    QComboBox *m_list = nullptr;

    QModelIndex cell(int row, int column) const { return m_grid->model()->index(row, column); }
    // Function=Prog.name of IO 0 to 4.
    QString names() const
    {
        QString all;
        for (int row = 0; row < 5; ++row)
            all += cell(row, 1).data().toString() + '=' + cell(row, 2).data().toString() + ' ';
        return all;
    }
    void click(int row, int column) { WidgetDriver::clickCell(m_grid, row, column); }
    // Opens the list's popup and clicks the item, as the user picks it.
    void pick(const QString &item)
    {
        m_list->showPopup();
        QAbstractItemView *view = m_list->view();
        QTRY_VERIFY(view->isVisible());
        WidgetDriver::clickCell(view, m_list->findText(item), 0);
        QTRY_VERIFY(!m_list->isVisible());
    }

private Q_SLOTS:
    void init()
    {
        m_b = std::make_unique<Bench>();
        m_tab = std::make_unique<HwConfigTab>(TabContext{m_b->link, m_b->ini(), m_b->prompts});
        m_tab->setProgramFolder(m_b->dir.path());
        m_tab->startUp();
        m_tab->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_tab.get()));
        m_ui.setRoot(m_tab.get());
        m_grid = m_ui.find<QTableView>(QStringLiteral("MSFlexGrid1"));
        m_list = m_ui.find<QComboBox>(QStringLiteral("Combo1"));
    }
    void cleanup()
    {
        m_tab.reset();
        m_b.reset();
    }

    void theListAppearsOnlyOverFunctionCellsOfPoints_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<bool>("shown");
        QTest::newRow("IO 0, Function") << 0 << 1 << true;
        QTest::newRow("IO 20, Function") << 20 << 1 << true;
        QTest::newRow("IO 5, Prog.name") << 5 << 2 << false;
        QTest::newRow("the spare row, Function") << 21 << 1 << false;
    }
    void theListAppearsOnlyOverFunctionCellsOfPoints()
    {
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(bool, shown);
        m_grid->scrollTo(cell(row, column));
        click(row, column);
        QCOMPARE(m_list->isVisible() && m_list->hasFocus(), shown);
        if (shown)
            QCOMPARE(m_list->geometry(), m_grid->visualRect(cell(row, column)));
    }

    // By mouse and by keyboard the choice goes to the point the list was opened on. The list
    // shows that point's text, keeps to its cell when the columns are resized, and one left open
    // over a row does not give its choice to another.
    void theChoiceGoesToItsOwnPoint()
    {
        // Hidden at start-up, and as high as a row: it covers its cell exactly.
        QVERIFY(!m_list->isVisible() && m_grid->rowHeight(0) >= m_list->sizeHint().height());
        click(0, 1);
        pick(QStringLiteral("Input -X"));
        click(1, 1);
        QCOMPARE(m_list->currentText(), QString());
        pick(QStringLiteral("Output-Y"));
        click(0, 1);
        QCOMPARE(m_list->currentText(), QStringLiteral("Input -X"));
        click(3, 1);
        click(0, 2);
        QVERIFY(!m_list->isVisible());
        click(4, 1);
        m_grid->horizontalHeader()->resizeSection(1, 210);
        m_grid->horizontalHeader()->resizeSection(0, 40);
        QCOMPARE(m_list->geometry(), m_grid->visualRect(cell(4, 1)));
        pick(QStringLiteral("Not use"));
        QCOMPARE(names(), "Input -X=X0 Output-Y=Y0 = = Not use= ");

        QTest::keyClick(m_grid, Qt::Key_Up); // to IO 3
        QTest::keyClick(m_grid, Qt::Key_Return);
        QVERIFY(m_list->isVisible() && m_list->hasFocus());
        QTest::keyClick(m_list, Qt::Key_Escape); // away without a choice
        QVERIFY(!m_list->isVisible() && m_grid->hasFocus());
        QTest::keyClick(m_grid, Qt::Key_Up); // to IO 2
        QTest::keyClick(m_grid, Qt::Key_Return);
        QTest::keyClick(m_list, Qt::Key_Down); // the first item
        QCOMPARE(names(), "Input -X=X0 Output-Y=Y0 Input -X=X1 = Not use= ");
    }

    // An updater that is missing or cannot be started would leave the PLC waiting in update mode:
    // the tab names it under an empty title before the question, and sends nothing.
    void aFirmwareUpdateWithoutItsUpdaterIsRefusedFirst()
    {
        const QString updater = updaterPath({m_b->dir.path()});
        m_ui.click(QStringLiteral("Command31"));
        // There, but not a program.
        QVERIFY(QDir().mkpath(QFileInfo(updater).path()) &&
                QFile(updater).open(QIODevice::WriteOnly));
        m_ui.click(QStringLiteral("Command31"));
        const QString named = "The firmware updater " + QDir::toNativeSeparators(updater);
        const QString howToSet =
            " Choose the updater in \"Firmware updater\" on the HW config tab, or set Updater= in "
            "section [Options] of " +
            QDir::toNativeSeparators(m_b->ini()) + ".";
        QCOMPARE(m_b->prompts.messages(),
                 (QStringList{named + " was not found.\nIt was looked for as " +
                                  QDir::toNativeSeparators(updater) +
                                  ". The updater does not come with plc-config." + howToSet,
                              named + " is not a program that can be started"}));
        QCOMPARE(m_b->prompts.shown().size(), 2); // no question
        QCOMPARE(m_b->prompts.shown().first().title, Prompts::Title(QString()));
        QCOMPARE(m_b->line.sends().size() + m_b->line.openCount(), 0);

        // The one named in the field is the one looked for, from then on.
        auto *field = m_ui.find<QLineEdit>(QStringLiteral("updaterProgram"));
        QCOMPARE(field->placeholderText(), QDir::toNativeSeparators(updater));
        const QString chosen = m_b->dir.filePath(QStringLiteral("tools/flasher"));
        field->setText(chosen);
        QVERIFY(QMetaObject::invokeMethod(field, "editingFinished"));
        QCOMPARE(storedUpdater(m_b->ini()), chosen);
        m_b->prompts.clearRecord();
        m_ui.click(QStringLiteral("Command31"));
        QCOMPARE(m_b->prompts.messages(),
                 QStringList{"The firmware updater " + QDir::toNativeSeparators(chosen) +
                             " was not found.\nIt is the one set.ini names." + howToSet});
    }
};

QTEST_MAIN(TestHwConfigTab)
#include "tst_hw_config_tab.moc"
