// The "1-wire" tab and its dialogs, clicked and typed at: the modes, the sensor dialog, deleting,
// the in-grid editor, the two transfers and the bus search dialog.
#include "onewire/onewire_fixtures.h"

#include "onewire/search_dialog.h"
#include "onewire/sensor_dialog.h"
#include "support/widget_driver.h"
#include "tabs/command_feedback.h"
#include "tabs/onewire_tab.h"

#include <QAccessible>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>

namespace {

// The label that leads to the control (its buddy), and the control's text.
QString labelled(QWidget *control, const QString &text)
{
    for (QLabel *label : control->window()->findChildren<QLabel *>()) {
        if (label->buddy() == control)
            return label->text() + " = " + text;
    }
    return "(no label) = " + text;
}

} // namespace

class TestOnewireTab : public QObject
{
    Q_OBJECT

    std::unique_ptr<Bench> m_b;
    std::unique_ptr<OnewireTab> m_tab;
    CommandFeedback m_feedback; // what the status bar would show
    WidgetDriver ui;

    sim::PlcModel &plc() { return m_b->plc(); }
    SensorTable &table() { return m_tab->auxPort().sensors(); }
    QTableView *grid() { return ui.find<QTableView>("Grid1"); }

private Q_SLOTS:
    // The tab at start-up, shown and active, in 1-wire master mode.
    void init()
    {
        m_b = std::make_unique<Bench>();
        plc().setSearchDelayMs(0);
        m_tab = std::make_unique<OnewireTab>(
            TabContext{m_b->link, m_b->ini(), m_b->prompts, &m_feedback});
        m_tab->setSearchLineFactory(
            [this] { return std::make_unique<sim::SimulatedLine>(plc(), m_b->clock); });
        ui.setRoot(m_tab.get());
        m_tab->startUp();
        m_tab->resize(1000, 600);
        m_tab->show();
        QVERIFY(QTest::qWaitForWindowActive(m_tab.get()));
        QVERIFY(ui.find<QRadioButton>("Option1_2")->isChecked()); // "Not use"
        ui.clickOption("Option1_0");
    }
    void cleanup()
    {
        m_tab.reset();
        m_b.reset();
    }

    void eachModeShowsItsFrame()
    {
        QWidget *master = ui.find("Frame3"), *fieldNet = ui.find("USART3_setting");
        QVERIFY(master->isVisible() && fieldNet->isHidden());
        QVERIFY(!ui.find("Option1_1")->isEnabled());
        QStringList lists;
        for (const char *name : {"Combo4", "Combo3", "Combo2", "Combo5"})
            lists << labelled(ui.find(name), ui.find<QComboBox>(name)->currentText());
        QCOMPARE(lists, (QStringList{"Speed setting: = 115200", "Bit number: = 8",
                                     "Parity setting = Even", "Stop bit = 2"}));

        table().setSensors(goodSensors(2));
        ui.clickOption("Option1_2");
        QVERIFY(master->isHidden() && fieldNet->isHidden());
        // A screen reader's toggle, not only a click, selects the mode.
        QAccessibleInterface *option = QAccessible::queryAccessibleInterface(ui.find("Option1_0"));
        QVERIFY(option && option->actionInterface());
        option->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        QCOMPARE(m_tab->auxPort().mode(), AuxMode::OnewireMaster);
        // Only code selects Field Net (an upload or a project load); the table stays.
        m_tab->auxPort().setMode(AuxMode::FieldNet);
        QVERIFY(ui.find<QRadioButton>("Option1_1")->isChecked());
        QVERIFY(master->isHidden() && fieldNet->isVisible());
        ui.find<QComboBox>("Combo2")->setCurrentIndex(0);
        QCOMPARE(m_tab->auxPort().fieldNet(), (FieldNetSettings{4, 1, 0, 1}));
        QCOMPARE(table().sensors(), goodSensors(2));
    }

    void sensorsAreAddedAndModifiedInTheDialogOrTheGrid()
    {
        ui.clickToDialog<SensorDialog>("Command8", [](SensorDialog *dialog, WidgetDriver &d) {
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Add/modify 1-wire slave"));
            QStringList boxes;
            for (int k = 0; k < 8; ++k) {
                auto *box = d.find<QLineEdit>(QStringLiteral("Text1_%1").arg(k));
                boxes << labelled(box, box->text());
            }
            QCOMPARE(boxes,
                     (QStringList{"Byte 0 = 00", "Byte1 = 00", "Byte 2 = 00", "Byte3 = 00",
                                  "Byte 4 = 00", "Byte 5 = 00", "Byte 6 = 00", "Byte 7 = 00"}));
            QCOMPARE(d.find<QLineEdit>("Text2")->text(), QStringLiteral("3000"));
            // A box takes two hex digits; a whole ROM code pasted into the first is spread.
            auto *last = d.find<QLineEdit>("Text1_7");
            last->clear();
            QTest::keyClicks(last, QStringLiteral("1g2z3"));
            QCOMPARE(last->text(), QStringLiteral("12"));
            QApplication::clipboard()->setText(QStringLiteral("28 00 00 00 00 00-00:5a"));
            auto *first = d.find<QLineEdit>("Text1_0");
            first->selectAll();
            first->paste();
            QCOMPARE(last->text(), QStringLiteral("5A"));
            d.find<QLineEdit>("Text1_0")->setText(QStringLiteral("28"));
            d.find<QLineEdit>("Text1_7")->setText(QStringLiteral("xyz")); // taken as typed
            d.click("Command2");
        });
        SensorRow typed{romOf("2800000000000000"), QStringLiteral("3000")};
        typed.rom[7] = QStringLiteral("xyz");
        QCOMPARE(table().sensors(), QList<SensorRow>{typed});

        // Modify loads the selected row and keeps its number.
        table().addSensor(exampleSensor());
        WidgetDriver::clickCell(grid(), 1, 4);
        ui.clickToDialog<SensorDialog>("Command9", [](SensorDialog *, WidgetDriver &d) {
            QCOMPARE(d.find<QLineEdit>("Text1_1")->text(), QStringLiteral("FF"));
            d.find<QLineEdit>("Text2")->setText(QStringLiteral("4000"));
            d.click("Command2");
        });
        QCOMPARE(table().sensor(1), (SensorRow{exampleSensor().rom, QStringLiteral("4000")}));
        QCOMPARE(numColumn(table()), (QStringList{"1", "2", "3"}));

        // In the grid a double click opens the cell's editor, Enter stores and moves down; the
        // number column is not edited.
        auto *editor = ui.find<QLineEdit>("Text4");
        WidgetDriver::doubleClickCell(grid(), 0, 3);
        QTest::keyClicks(editor, QStringLiteral("ab"));
        QTest::keyClick(editor, Qt::Key_Return);
        QCOMPARE(table().cell(0, 3), QStringLiteral("ab"));
        QCOMPARE(grid()->currentIndex(), table().index(1, 3));
        WidgetDriver::doubleClickCell(grid(), 0, 0);
        QVERIFY(editor->isHidden());
    }

    void deleteAsksAndRemovesTheSelectedSensor()
    {
        table().setSensors(goodSensors(3));
        WidgetDriver::clickCell(grid(), 1, 2);
        m_b->prompts.queueAnswer(false);
        ui.click("Command11");
        QCOMPARE(m_b->prompts.questions(), QStringList{"You are shure for delete this sensor?"});
        QCOMPARE(m_b->prompts.shown().last().title, Prompts::Title(QString()));
        QCOMPARE(table().sensorCount(), 3);

        // The selection stays on row 1: the last sensor now, then the placeholder.
        ui.click("Command11");
        QCOMPARE(registers(table()), (QStringList{"100", "104"}));
        QCOMPARE(numColumn(table()), (QStringList{"1", "2", "3"}));
        ui.click("Command11");
        QCOMPARE(m_tab->selectedRow(), 1);
        ui.click("Command11");
        QCOMPARE(table().sensors(), goodSensors(1));

        // "Delete all slave" does nothing, and the grid has no Delete key.
        m_b->prompts.clearRecord();
        ui.click("Command21");
        WidgetDriver::clickCell(grid(), 0, 2);
        QTest::keyClick(grid(), Qt::Key_Delete);
        QCOMPARE(table().sensors(), goodSensors(1));
        QVERIFY(m_b->prompts.shown().isEmpty());
    }

    void writeAndUploadButtonsMoveTheTab()
    {
        table().setSensors({exampleSensor()});
        ui.click("Command17");
        finish(m_b->link);
        QCOMPARE(plc().word(0x200A), quint16(0xC001));
        QCOMPARE(plc().memory(0x200C, 10), QByteArray::fromHex("FF281E64000F5A00B80B"));

        plc().setWord(0x200A, 0xB180);
        ui.click("Command18");
        finish(m_b->link);
        QVERIFY(ui.find<QRadioButton>("Option1_1")->isChecked());
        QCOMPARE(ui.find<QComboBox>("Combo4")->currentText(), QStringLiteral("57600"));
        QCOMPARE(table().sensorCount(), 0);

        // A failed upload leaves the tab as it was; the ways one fails are the transfer's to test.
        table().setSensors(goodSensors(3));
        plc().faults().silent = true;
        ui.click("Command18");
        finish(m_b->link);
        QCOMPARE(m_b->prompts.messages(), QStringList{"Answer timeout from PLC"});
        QCOMPARE(m_tab->auxPort().mode(), AuxMode::FieldNet);
        QCOMPARE(table().sensors(), goodSensors(3));
    }

    void searchDialogFindsEditsAndCopiesIntoTheTable()
    {
        table().setSensors(goodSensors(2));
        plc().setBusSensors({sim::generatedRom(0), sim::generatedRom(1), sim::generatedRom(2)});
        ui.clickToDialog<SearchDialog>("Command10", [&](SearchDialog *dialog, WidgetDriver &d) {
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Search module for 1-wire device"));
            auto *count = d.find<QLineEdit>("Text1");
            QCOMPARE(count->text() + " " + d.find<QLineEdit>("Text2")->text(), "0 1500");
            d.click("Command2");
            finish(dialog->link());
            QCOMPARE(count->text(), QStringLiteral("3"));
            auto *results = d.find<QTableView>("grid");
            QCOMPARE(results->model()->index(3, 0).data().toString(), QStringLiteral("4"));

            // Enter on the grid opens the editor; Enter in it stores and is not taken by a
            // button; Delete empties the cell.
            WidgetDriver::clickCell(results, 0, 1);
            QTest::keyClick(results, Qt::Key_Return);
            QTest::keyClicks(d.find<QLineEdit>("Text3"), QStringLiteral("AA"));
            QTest::keyClick(d.find<QLineEdit>("Text3"), Qt::Key_Return);
            QCOMPARE(results->currentIndex().row(), 1);
            QTest::keyClick(results, Qt::Key_Delete);

            // A start it cannot number keeps the dialog open to correct it.
            d.find<QLineEdit>("Text2")->setText(QStringLiteral("15x"));
            d.click("Command4");
            QVERIFY(dialog->isVisible());
            QCOMPARE(table().sensors(), goodSensors(2));
            d.find<QLineEdit>("Text2")->setText(QStringLiteral("1500"));
            d.click("Command4");
            QVERIFY(!dialog->isVisible());
        });
        QCOMPARE(m_b->prompts.messages().size(), 1);
        QVERIFY(m_b->prompts.messages().first().contains(QLatin1String("\"15x\"")));
        QCOMPARE(m_b->prompts.shown().first().title,
                 Prompts::Title(QStringLiteral("Error in data")));
        QCOMPARE(registers(table()), (QStringList{"1500", "1502", "1504"}));
        QCOMPARE(table().sensor(0).rom[0] + table().sensor(1).rom[0] + table().sensor(2).rom[0],
                 QStringLiteral("AA28"));

        // "Add new" appends after the last register, whatever the start says, and tells which
        // of them the table held already (the third; the first two were edited).
        QSignalSpy said(&m_feedback, &CommandFeedback::commandEnded);
        ui.clickToDialog<SearchDialog>("Command10", [](SearchDialog *dialog, WidgetDriver &d) {
            d.click("Command2");
            finish(dialog->link());
            d.find<QLineEdit>("Text2")->setText(QStringLiteral("9"));
            d.click("Command3");
        });
        QCOMPARE(registers(table()).mid(2), (QStringList{"1504", "1506", "1508", "1510"}));
        // The search's own outcome, then the note.
        QCOMPARE(said.size(), 2);
        QCOMPARE(said.last()[0].toString(), "1 of the 3 found was already in row 3");
    }

    // Closing the dialog while the PLC searches ends the search at once: the dialog goes once its
    // line is closed, the status bar is told the search was aborted, and the table is as it was.
    void closingTheSearchDialogAbortsTheSearch()
    {
        table().setSensors(goodSensors(2));
        plc().setBusSensors({sim::generatedRom(0), sim::generatedRom(1)});
        QSignalSpy said(&m_feedback, &CommandFeedback::commandEnded);
        ui.clickToDialog<SearchDialog>("Command10", [&](SearchDialog *dialog, WidgetDriver &d) {
            const auto closing = m_b->clock.callAfter(100, [dialog] { dialog->reject(); });
            d.click("Command2");
            finish(dialog->link());
            QVERIFY(!dialog->isVisible());
            QVERIFY(!dialog->link().line().isOpen());
            QCOMPARE(dialog->foundSensors(), 0);
        });
        QCOMPARE(said.size(), 1);
        QCOMPARE(said.first()[0].toString(), QStringLiteral("1-wire search aborted"));
        QCOMPARE(table().sensors(), goodSensors(2));
        QVERIFY(m_b->prompts.messages().isEmpty());
    }

    void anAppendNamesTheSensorsAlreadyInTheTable_data()
    {
        QTest::addColumn<QStringList>("table"); // ROM codes, Byte 0 first
        QTest::addColumn<QStringList>("found");
        QTest::addColumn<QString>("note");
        const QString a = "28FF641E0F000034", b = "286164118D2C013B", c = "2800000000000011",
                      d = "2800000000000022", e = "2800000000000033";
        QTest::newRow("none of them") << QStringList{a, b} << QStringList{c, d} << QString();
        QTest::newRow("a run of rows")
            << QStringList{a, b, c, d} << QStringList{a, b, c, e, "2800000000000044"}
            << "3 of the 5 found were already in rows 1 to 3";
        QTest::newRow("two rows apart, typed in lower case")
            << QStringList{a, d, b} << QStringList{e, b.toLower(), a}
            << "2 of the 3 found were already in rows 1, 3";
        QTest::newRow("runs and single rows") << QStringList{a, b, c, d, e} << QStringList{a, b, d}
                                              << "3 of the 3 found were already in rows 1, 2, 4";
    }
    void anAppendNamesTheSensorsAlreadyInTheTable()
    {
        QFETCH(QStringList, table);
        QFETCH(QStringList, found);
        QFETCH(QString, note);
        QList<SensorRow> before;
        for (const QString &rom : table)
            before.append({romOf(qPrintable(rom)), "100"});
        QList<RomTexts> codes;
        for (const QString &rom : found)
            codes.append(romOf(qPrintable(rom)));
        QCOMPARE(alreadyInTableNote(before, codes), note);
    }
};

QTEST_MAIN(TestOnewireTab)
#include "tst_onewire_tab.moc"
