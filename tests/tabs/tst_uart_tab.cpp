// The UART 1 and UART 2 tabs as the user works them: modes and frames, the slave dialog, the
// in-cell editor, delete, and the tab's transfers.
#include "support/sim_bench.h"
#include "support/widget_driver.h"

#include "modbus/slave_dialog.h"
#include "modbus/slave_table.h"
#include "sim/demo_plc.h"
#include "tabs/uart_tab.h"

#include <QAccessible>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QtTest>

#include <memory>

class TestUartTab : public QObject
{
    Q_OBJECT

    std::unique_ptr<Bench> m_bench;
    std::unique_ptr<UartTab> m_tab;
    WidgetDriver ui;

    const UartTabNames &names() const { return m_tab->names(); }
    TextTable &table() { return m_tab->port().slaves(); }
    ScriptedPrompts &prompts() { return m_bench->prompts; }
    QTableView *grid() { return ui.find<QTableView>(names().grid); }
    QLineEdit *editor() { return ui.find<QLineEdit>(names().editor); }
    QString option(int mode) const { return names().modeButtons + '_' + QString::number(mode); }
    static void retype(QLineEdit *b, const QString &t)
    {
        b->selectAll();
        QTest::keyClicks(b, t);
    }
    static QString field(WidgetDriver &d, const char *n) { return d.find<QLineEdit>(n)->text(); }

    // The tab, shown and active; with slaves >= 0 in master mode with that many slaves.
    void makeTab(bool uart1, int slaves = -1)
    {
        m_tab =
            std::make_unique<UartTab>(TabContext{m_bench->link, m_bench->ini(), m_bench->prompts},
                                      uart1 ? UartTabNames::uart1() : UartTabNames::uart2());
        ui.setRoot(m_tab.get());
        m_tab->startUp();
        m_tab->resize(1000, 560);
        m_tab->show();
        QVERIFY(QTest::qWaitForWindowActive(m_tab.get()));
        if (slaves < 0)
            return;
        QList<QStringList> rows;
        for (int i = 1; i <= slaves; ++i)
            rows.append({"", QString::number(i), QString::number(10 * i), "0", "0", "1", "100"});
        table().setItems(rows);
        table().renumber(true);
        ui.clickOption(option(0));
    }

private Q_SLOTS:
    void init()
    {
        m_tab.reset();
        m_bench.reset(); // its clock first: a clock leaving puts the default one back
        m_bench = std::make_unique<Bench>();
    }

    void startUpShowsAnUnusedPortAndEachWayToChooseAModeShowsItsFrames_data()
    {
        QTest::addColumn<bool>("uart1");
        QTest::addColumn<QStringList>("ini");   // Bit_num, Stop_bit, Parity, Speed of "COM_MB"
        QTest::addColumn<QStringList>("lists"); // speed, parity, bit number, stop bit
        QTest::newRow("UART 1") << true << QStringList{"1", "2", "0", "1"}
                                << QStringList{"115200", "None", "8", "2"};
        QTest::newRow("UART 1, set.ini not numbers or out of the lists")
            << true << QStringList{"eight", "-1"} << QStringList{"115200", "None", "7", "1"};
        // UART 2 does not read set.ini: its bit number and stop bit show no choice.
        QTest::newRow("UART 2") << false << QStringList{"1", "2"}
                                << QStringList{"115200", "None", "", ""};
    }
    void startUpShowsAnUnusedPortAndEachWayToChooseAModeShowsItsFrames()
    {
        QFETCH(bool, uart1);
        QFETCH(QStringList, ini);
        QFETCH(QStringList, lists);
        const char *keys[] = {"Bit_num", "Stop_bit", "Parity", "Speed"};
        for (int i = 0; i < ini.size(); ++i)
            m_bench->setIni("COM_MB", keys[i], ini[i]);
        makeTab(uart1);
        QWidget *master = ui.find(names().master), *slave = ui.find(names().slave);
        QVERIFY(ui.find<QRadioButton>(option(2))->isChecked());
        QVERIFY(ui.find(names().general)->isVisible() && master->isHidden() && slave->isHidden());
        auto text = [&](const QString &list) { return ui.find<QComboBox>(list)->currentText(); };
        QCOMPARE((QStringList{text(names().speed), text(names().parity), text(names().bitNumber),
                              text(names().stopBit)}),
                 lists);
        QCOMPARE(ui.find<QLineEdit>(names().slaveAddress)->text(), uart1 ? "1" : "2");
        // Every input has a name a screen reader tells: its own, or its label's.
        auto name = [](QWidget *w) {
            return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
        };
        for (QWidget *input : m_tab->findChildren<QWidget *>()) {
            if (qobject_cast<QLineEdit *>(input) || qobject_cast<QComboBox *>(input) ||
                input == grid())
                QVERIFY2(!name(input).isEmpty(), qPrintable(input->objectName()));
        }

        // A screen reader's toggle selects master as a click does, and only once.
        QSignalSpy modes(&m_tab->port(), &ModbusPort::modeSelected);
        QAccessibleInterface *toMaster = QAccessible::queryAccessibleInterface(ui.find(option(0)));
        QVERIFY(toMaster && toMaster->actionInterface());
        toMaster->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        QCOMPARE(m_tab->port().mode(), PortMode::Master);
        auto *add = ui.find<QPushButton>(names().add);
        QCOMPARE(add->text(), QStringLiteral("Add slave "));
        QVERIFY(master->isVisible() && add->isVisible() && slave->isHidden());
        QVERIFY(grid()->isHidden()); // nothing added or selected yet
        ui.clickOption(option(0));   // chosen already: nothing more happens
        QCOMPARE(modes.size(), 1);
        QVERIFY(master->isVisible() && slave->isHidden());
        ui.clickOption(option(1));
        QCOMPARE(m_tab->port().mode(), PortMode::Slave);
        QVERIFY(master->isHidden() && slave->isVisible());
        // What the slave frame shows is what "Write to PLC" sends.
        retype(ui.find<QLineEdit>(names().slaveAddress), QStringLiteral("12"));
        ui.click(names().write);
        finish(m_bench->link);
        const auto words = m_bench->plc().writesAt(uart1 ? 0x2008 : 0x2006);
        QCOMPARE(words.size(), 1);
        QCOMPARE(words.first().bytes, QByteArray::fromHex("0C54"));
        ui.clickOption(option(2));
        QCOMPARE(m_tab->port().mode(), PortMode::NotUse);
        QVERIFY(master->isHidden() && slave->isHidden());
    }

    void theSlaveDialogAddsAndModifies_data()
    {
        QTest::addColumn<bool>("uart1");
        QTest::addColumn<QStringList>("dialog"); // name and caption
        QTest::newRow("UART 1") << true << QStringList{"Slave", "Slave add/modify"};
        QTest::newRow("UART 2") << false << QStringList{"Slave2", "Form1"};
    }
    void theSlaveDialogAddsAndModifies()
    {
        QFETCH(bool, uart1);
        QFETCH(QStringList, dialog);
        makeTab(uart1, 0);
        QStringList seen;
        bool openAfterOk = false;
        ui.clickToDialog<SlaveDialog>(names().add, [&](SlaveDialog *shown, WidgetDriver &d) {
            seen << shown->objectName() << shown->windowTitle() << field(d, "mb_address")
                 << field(d, "T_slave");
            retype(d.find<QLineEdit>("mb_slave_count"), QStringLiteral("255"));
            d.click("Command2");
            openAfterOk = shown->isVisible(); // refused
            retype(d.find<QLineEdit>("mb_slave_count"), QStringLiteral("20"));
            d.click("Command2");
        });
        QCOMPARE(seen, (dialog + QStringList{"3", "1"}));
        QVERIFY(openAfterOk);
        QCOMPARE(prompts().messages(), QStringList{"You put wrong value  255"});
        QCOMPARE(prompts().shown().first().title, Prompts::Title("Error in data"));
        QVERIFY(grid()->isVisible());
        QCOMPARE(table().items(), (QList<QStringList>{{"1", "3", "20", "0", "0", "1", "100"}}));
        QCOMPARE(m_tab->selectedRow(), 1);

        // Modify shows the selected slave and overwrites it.
        WidgetDriver::clickCell(grid(), 0, SlaveColumn::Timeout);
        ui.clickToDialog<SlaveDialog>(names().modify, [&](SlaveDialog *, WidgetDriver &d) {
            seen << field(d, "mb_slave_count");
            retype(d.find<QLineEdit>("mb_timeout"), QStringLiteral("250"));
            d.click("Command2");
        });
        QCOMPARE(seen.last(), QStringLiteral("20"));
        QCOMPARE(table().items(), (QList<QStringList>{{"1", "3", "20", "0", "0", "1", "250"}}));

        // A cell emptied with Delete: the user is told, and Modify opens with the defaults.
        WidgetDriver::clickCell(grid(), 0, SlaveColumn::Address);
        QTest::keyClick(grid(), Qt::Key_Delete);
        QCOMPARE(table().cell(0, SlaveColumn::Address), QString());
        ui.clickToDialog<SlaveDialog>(names().modify, [&](SlaveDialog *, WidgetDriver &d) {
            seen << field(d, "mb_slave_count");
        });
        QCOMPARE(seen.last(), QStringLiteral("100"));
        QVERIFY(prompts().messages().value(1).startsWith("Row 1, column [Address] holds \"\""));
    }

    void deleteRemovesTheSelectedSlaveAfterAsking()
    {
        makeTab(true, 3);
        WidgetDriver::clickCell(grid(), 1, SlaveColumn::Timeout);
        prompts().queueAnswer(false);
        ui.click(names().remove); // cancelled
        ui.click(names().remove);
        QCOMPARE(prompts().questions(),
                 QStringList(2, QStringLiteral("You are shure for delete this sensor?")));
        QCOMPARE(table().items(), (QList<QStringList>{{"1", "1", "10", "0", "0", "1", "100"},
                                                      {"2", "3", "30", "0", "0", "1", "100"}}));
        QCOMPARE(m_tab->selectedRow(), 2);
        // The placeholder is no slave: deleting it removes nothing.
        WidgetDriver::clickCell(grid(), 2, SlaveColumn::Address);
        ui.click(names().remove);
        QCOMPARE(table().itemCount(), 2);
        // The highlighted row goes, also when the keys moved the highlight.
        WidgetDriver::clickCell(grid(), 0, SlaveColumn::Address);
        QTest::keyClick(grid(), Qt::Key_Down);
        ui.click(names().remove);
        QCOMPARE(table().items(), (QList<QStringList>{{"1", "1", "10", "0", "0", "1", "100"}}));
    }

    // The in-cell editor lets in a number within the column's width; each port has its texts.
    void theEditorBoxStoresOrPutsThePreviousTextBack_data()
    {
        QTest::addColumn<bool>("uart1");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("refusal"); // empty: accepted as typed
        const QString one = "You are enter incorrect value ! Pls use correct value!";
        const QString twoEnds = "You are enter incorrect value ! Pls use correct value !";
        const QString twoMiddle = "You are enter incorrect value !  Pls use correct value !";
        QTest::newRow("UART 1, Address 255") << true << 1 << "255" << QString();
        QTest::newRow("UART 1, Address 256") << true << 1 << "256" << one;
        QTest::newRow("UART 1, Num word 12.5 kept") << true << 2 << "12.5" << QString();
        QTest::newRow("UART 1, Timeout letters") << true << 6 << "ten" << one;
        QTest::newRow("UART 2, Address slave 65535") << false << 3 << "65535" << QString();
        QTest::newRow("UART 2, Address master -1: left to the write's check")
            << false << 4 << "-1" << QString();
        QTest::newRow("UART 2, Num word -1") << false << 2 << "-1" << twoMiddle;
        QTest::newRow("UART 2, Timeout 65536") << false << 6 << "65536" << twoEnds;
        QTest::newRow("UART 2, Timeout letters") << false << 6 << "ten" << twoEnds;
    }
    void theEditorBoxStoresOrPutsThePreviousTextBack()
    {
        QFETCH(bool, uart1);
        QFETCH(int, column);
        QFETCH(QString, typed);
        QFETCH(QString, refusal);
        makeTab(uart1, 2);
        const QString before = table().cell(0, column);
        WidgetDriver::clickCell(grid(), 0, column);
        QTest::keyClick(grid(), Qt::Key_Return);

        // The box lies over the cell, holding its text, all of it selected.
        QVERIFY(editor()->isVisible() && editor()->hasFocus());
        const QRect cell = grid()->visualRect(table().index(0, column));
        QCOMPARE(
            editor()->geometry(),
            QRect(grid()->viewport()->mapTo(ui.find(names().master), cell.topLeft()), cell.size()));
        QCOMPARE(editor()->selectedText(), before);

        QTest::keyClicks(editor(), typed);
        QTest::keyClick(editor(), Qt::Key_Return);
        QVERIFY(editor()->isHidden());
        // A refused text is told, and the cell keeps what it held (rather than being emptied).
        QCOMPARE(table().cell(0, column), refusal.isEmpty() ? typed : before);
        QCOMPARE(prompts().messages(), refusal.isEmpty() ? QStringList() : QStringList{refusal});
        // One row down, with the focus back in the table.
        QCOMPARE(grid()->currentIndex(), table().index(1, column));
        QVERIFY(grid()->hasFocus());

        // Leaving the box, by Escape or elsewhere, drops what was typed.
        WidgetDriver::doubleClickCell(grid(), 0, column);
        QTest::keyClicks(editor(), QStringLiteral("77"));
        QTest::keyClick(editor(), Qt::Key_Escape);
        WidgetDriver::doubleClickCell(grid(), 0, column);
        QTest::keyClicks(editor(), QStringLiteral("78"));
        ui.find(names().speed)->setFocus();
        QVERIFY(editor()->isHidden());
        QCOMPARE(table().cell(0, column), refusal.isEmpty() ? typed : before);
        QCOMPARE(prompts().shown().size(), refusal.isEmpty() ? 0 : 1);
        // Text in the placeholder would look like a slave that no write ever sends.
        WidgetDriver::clickCell(grid(), 2, column);
        QTest::keyClick(grid(), Qt::Key_Return);
        QVERIFY(editor()->isHidden());
    }

    // The Function cell keeps the index; its editor is a list that names each function with its
    // Modbus code.
    void theFunctionCellIsChosenFromAList_data()
    {
        auto row = [](const char *name, bool uart1, const QString &before, const QString &keys,
                      const QString &stored) {
            QTest::newRow(name) << uart1 << before << keys << stored;
        };
        QTest::addColumn<bool>("uart1");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("stored");
        row("UART 1, Down and Enter", true, "1", "Down Enter", "2");
        row("UART 2, Up and Enter", false, "1", "Up Enter", "0");
        row("Escape keeps the function", true, "1", "Down Escape", "1");
        row("chosen in the open list", false, "1", "pick 4", "4");
        row("no function: opens with none chosen, Enter keeps the cell", true, "9", "Enter", "9");
    }
    void theFunctionCellIsChosenFromAList()
    {
        QFETCH(bool, uart1);
        QFETCH(QString, before);
        QFETCH(QString, keys);
        QFETCH(QString, stored);
        makeTab(uart1, 2);
        const int function = SlaveColumn::Function;
        table().setCell(0, function, before);
        WidgetDriver::clickCell(grid(), 0, function);
        QTest::keyClick(grid(), Qt::Key_Return);

        auto *list = ui.find<QComboBox>(names().editor + "_list");
        QVERIFY(list->isVisible() && list->hasFocus() && editor()->isHidden());
        QCOMPARE(list->count(), 5);
        QCOMPARE(list->itemText(0), "0 - Read coils (FC 1)");
        QCOMPARE(list->itemText(1), "1 - Read holding register (FC 3)");
        QCOMPARE(list->itemText(2), "2 - Write multiply register (FC 16)");
        QCOMPARE(list->currentIndex(), before == "9" ? -1 : before.toInt());
        QVERIFY(!list->accessibleName().isEmpty());

        for (const QString &key : keys.split(' ')) {
            if (key == "pick") {
                list->showPopup();
                QVERIFY(list->view()->isVisible());
                continue;
            }
            if (key == "4") {
                QAbstractItemView *view = list->view();
                QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                                  view->visualRect(view->model()->index(4, 0)).center());
                continue;
            }
            QTest::keyClick(list, key == "Down"     ? Qt::Key_Down
                                  : key == "Up"     ? Qt::Key_Up
                                  : key == "Escape" ? Qt::Key_Escape
                                                    : Qt::Key_Return);
            // An arrow only moves the choice: nothing is stored before Enter.
            if (key == "Down" || key == "Up")
                QCOMPARE(table().cell(0, function), before);
        }
        QTRY_VERIFY(list->isHidden());
        QCOMPARE(table().cell(0, function), stored);
        QVERIFY(prompts().shown().isEmpty());
        QCOMPARE(grid()->currentIndex().row(), stored != before ? 1 : 0);
    }

    void anUploadShowsTheTableHoweverItEnds_data()
    {
        QTest::addColumn<bool>("uart1");
        QTest::addColumn<bool>("silent");
        QTest::addColumn<int>("slaves");
        QTest::addColumn<QString>("lists"); // speed and parity afterwards
        QTest::newRow("UART 2, demo PLC") << false << false << 2 << "9600 Even";
        QTest::newRow("UART 1, silent PLC") << true << true << 0 << "115200 None";
    }
    void anUploadShowsTheTableHoweverItEnds()
    {
        QFETCH(bool, uart1);
        QFETCH(bool, silent);
        QFETCH(int, slaves);
        QFETCH(QString, lists);
        sim::fillDemoPlc(m_bench->plc());
        m_bench->plc().faults().silent = silent;
        makeTab(uart1, 0);
        QVERIFY(grid()->isHidden()); // nothing added or selected yet
        ui.click(names().upload);
        finish(m_bench->link);
        QVERIFY(ui.find<QRadioButton>(option(0))->isChecked());
        QVERIFY(grid()->isVisible());
        QCOMPARE(table().itemCount(), slaves);
        QCOMPARE(ui.find<QComboBox>(names().speed)->currentText() + ' ' +
                     ui.find<QComboBox>(names().parity)->currentText(),
                 lists);
        QCOMPARE(prompts().messages(),
                 silent ? QStringList{"Answer timeout from PLC"} : QStringList());
    }
};

QTEST_MAIN(TestUartTab)
#include "tst_uart_tab.moc"
