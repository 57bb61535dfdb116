// The "HW config" tab as the user clicks and types: the IO grid with its drop-down list, the
// switched-off buttons, and the service buttons' failures under an empty title.
#include "support/scripted_prompts.h"

#include "common/clock.h"
#include "io/hw_config_tab.h"
#include "link/plc_link.h"
#include "service/service_commands.h"
#include "sim/sim_line.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class TestHwConfigTab : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<sim::SimulatedLine> m_line;
    std::unique_ptr<PlcLink> m_link;
    ScriptedPrompts m_prompts;
    std::unique_ptr<HwConfigTab> m_tab;
    QTableView *m_grid = nullptr;
    QComboBox *m_list = nullptr;

    QModelIndex cell(int row, int column) const { return m_grid->model()->index(row, column); }
    QString text(int row, int column) const { return cell(row, column).data().toString(); }
    void click(int row, int column)
    {
        m_grid->scrollTo(cell(row, column));
        QTest::mouseClick(m_grid->viewport(), Qt::LeftButton, {},
                          m_grid->visualRect(cell(row, column)).center());
    }
    QPushButton *button(const char *name) const
    {
        return m_tab->findChild<QPushButton *>(QLatin1String(name));
    }
    // Opens the list's popup and clicks the item, as the user picks it.
    void pick(const QString &item)
    {
        m_list->showPopup();
        QAbstractItemView *view = m_list->view();
        QTRY_VERIFY(view->isVisible());
        const QModelIndex index = view->model()->index(m_list->findText(item), 0);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
        QTRY_VERIFY(!m_list->isVisible());
    }

private Q_SLOTS:
    void init()
    {
        m_line = std::make_unique<sim::SimulatedLine>();
        m_link = std::make_unique<PlcLink>(*m_line);
        m_prompts = ScriptedPrompts();
        m_tab = std::make_unique<HwConfigTab>(
            TabContext{*m_link, m_dir.filePath(QStringLiteral("set.ini")), m_prompts});
        m_tab->setProgramFolder(m_dir.path());
        m_tab->startUp();
        m_tab->resize(800, 600);
        m_tab->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_tab.get()));
        m_grid = m_tab->findChild<QTableView *>(QStringLiteral("MSFlexGrid1"));
        m_list = m_tab->findChild<QComboBox *>(QStringLiteral("Combo1"));
        QVERIFY(m_grid && m_list);
    }
    void cleanup()
    {
        m_tab.reset();
        m_link.reset();
        m_line.reset();
    }

    void startUpHidesTheListAndGreysTheSwitchedOffButtons()
    {
        QVERIFY(!m_list->isVisible());
        QCOMPARE(m_list->count(), 3);
        QVERIFY(!m_grid->accessibleName().isEmpty() && !m_list->accessibleName().isEmpty());
        QVERIFY(m_grid->rowHeight(0) >= m_list->sizeHint().height()); // the list fits a cell
        for (const char *name : {"Command12", "Command13", "Command14"})
            QVERIFY2(!button(name)->isEnabled(), name);
        QCOMPARE(m_tab->plcControls(),
                 (QList<QWidget *>{button("Command32"), button("Command31")}));
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
        click(row, column);
        QCOMPARE(m_list->isVisible(), shown);
        if (shown) {
            QCOMPARE(m_list->geometry(), m_grid->visualRect(cell(row, column)));
            QVERIFY(m_list->hasFocus());
        }
    }

    void choosingAnItemAppliesItToThatPoint()
    {
        click(0, 1);
        pick(QStringLiteral("Input -X"));
        click(1, 1);
        QCOMPARE(m_list->currentText(), QString()); // the list shows the cell's text
        pick(QStringLiteral("Output-Y"));
        QCOMPARE(text(0, 2) + text(1, 2), QStringLiteral("X0Y0"));

        click(0, 1);
        QCOMPARE(m_list->currentText(), QStringLiteral("Input -X"));
        pick(QStringLiteral("Not use"));
        QCOMPARE(text(0, 1), QStringLiteral("Not use"));
        QCOMPARE(text(0, 2), QString());
    }

    void theKeyboardReachesTheList()
    {
        m_grid->setFocus();
        m_grid->setCurrentIndex(cell(0, 1));
        QTest::keyClick(m_grid, Qt::Key_Return);
        QVERIFY(m_list->isVisible() && m_list->hasFocus());
        QTest::keyClick(m_list, Qt::Key_Escape); // away without a choice
        QVERIFY(!m_list->isVisible() && m_grid->hasFocus());
        QCOMPARE(text(0, 1), QString());

        QTest::keyClick(m_grid, Qt::Key_Return);
        QTest::keyClick(m_list, Qt::Key_Down); // the first item
        QVERIFY(!m_list->isVisible());
        QCOMPARE(text(0, 2), QStringLiteral("X0"));
    }

    // A list left open over one row must not give its choice to another.
    void movingToAnotherCellPutsTheListAway()
    {
        click(3, 1);
        click(0, 2);
        QVERIFY(!m_list->isVisible());
        click(0, 1);
        click(4, 1);
        QCOMPARE(m_list->geometry(), m_grid->visualRect(cell(4, 1)));
        pick(QStringLiteral("Not use"));
        QCOMPARE(text(4, 1), QStringLiteral("Not use"));
        QCOMPARE(text(0, 1), QString());
    }

    void theListFollowsItsCell()
    {
        click(2, 1);
        const int before = m_list->width();
        m_grid->horizontalHeader()->resizeSection(1, 210);
        m_grid->horizontalHeader()->resizeSection(0, 40);
        QVERIFY(m_list->width() > before);
        QCOMPARE(m_list->geometry(), m_grid->visualRect(cell(2, 1)));
    }

    void serviceFailuresShowUnderAnEmptyTitle()
    {
        m_prompts.queueAnswer(true);
        QTest::mouseClick(button("Command31"), Qt::LeftButton);
        // The word went out; the updater, missing from the program folder, is reported after it.
        QCOMPARE(m_line->model().writesAt(0x3010).size(), 1);
        QCOMPARE(m_prompts.messages(),
                 QStringList{QStringLiteral("The firmware updater %1 was not found")
                                 .arg(QDir::toNativeSeparators(updaterPath(m_dir.path())))});
        QCOMPARE(m_prompts.shown().last().title, Prompts::Title(QString()));
    }
};

QTEST_MAIN(TestHwConfigTab)
#include "tst_hw_config_tab.moc"
