// The "1-wire" tab and its dialogs, clicked and typed at: the modes, the sensor dialog, deleting,
// the in-grid editor, the two transfers, the bus search dialog, and the PLC menu's items.
#include "onewire_fixtures.h"

#include "app/main_window.h"
#include "onewire/onewire_tab.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

template <class T> T *child(QWidget *parent, const QString &name)
{
    T *found = parent->findChild<T *>(name);
    if (!found)
        qWarning("no %s", qPrintable(name));
    return found;
}

void click(QWidget *parent, const QString &name)
{
    auto *button = child<QAbstractButton>(parent, name);
    QVERIFY(button);
    // An option reacts on its indicator and caption only, not on the blank right of them.
    const QPoint at = qobject_cast<QRadioButton *>(button) ? QPoint(6, button->height() / 2)
                                                           : button->rect().center();
    QTest::mouseClick(button, Qt::LeftButton, {}, at);
}

void retype(QLineEdit *box, const QString &text)
{
    box->selectAll();
    QTest::keyClicks(box, text);
}

QPoint cellCentre(QTableView *grid, int row, int column)
{
    return grid->visualRect(grid->model()->index(row, column)).center();
}

void clickCell(QTableView *grid, int row, int column)
{
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(grid, row, column));
}

// A press, then the double click: QTest sends the double click alone.
void doubleClickCell(QTableView *grid, int row, int column)
{
    clickCell(grid, row, column);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(grid, row, column));
}

bool labelled(QWidget *parent, QWidget *input, const QString &text)
{
    for (QLabel *label : parent->findChildren<QLabel *>()) {
        if (label->buddy() == input && label->text() == text)
            return true;
    }
    return false;
}

// Acts on the modal dialog of that name that open() shows, and closes it if the act left it open,
// so that a failing check cannot leave a test hanging in exec().
void onModal(const QString &name, const std::function<void()> &open,
             const std::function<void(QDialog *)> &act)
{
    bool ran = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog || dialog->objectName() != name || !dialog->isVisible())
            return;
        poll.stop();
        ran = true;
        act(dialog);
        if (dialog->isVisible())
            dialog->reject();
    });
    poll.start(10);
    open();
    QVERIFY2(ran, qPrintable(name));
}

} // namespace

class TestOnewireTab : public QObject
{
    Q_OBJECT

    std::unique_ptr<Bench> m_b;
    std::unique_ptr<OnewireTab> m_tab;
    QString m_searchOpenFailure;

    sim::PlcModel &plc() { return m_b->plc(); }
    SensorTable &table() { return m_tab->auxPort().sensors(); }
    QTableView *grid() { return child<QTableView>(m_tab.get(), QStringLiteral("Grid1")); }

    // The tab at start-up, shown and active, in 1-wire master mode when asked.
    void makeTab(bool master = true)
    {
        m_tab = std::make_unique<OnewireTab>(TabContext{m_b->link, m_b->ini(), m_b->prompts});
        m_tab->setSearchLineFactory([this] {
            auto line = std::make_unique<sim::SimulatedLine>(plc());
            line->setOpenFailure(m_searchOpenFailure);
            return line;
        });
        m_tab->startUp();
        m_tab->resize(1000, 600);
        m_tab->show();
        QVERIFY(QTest::qWaitForWindowActive(m_tab.get()));
        if (master)
            click(m_tab.get(), QStringLiteral("Option1_0"));
    }
    void sensorDialog(const char *button, const std::function<void(QDialog *)> &act)
    {
        onModal(
            QStringLiteral("Slave_1wire"), [&] { click(m_tab.get(), button); }, act);
    }
    // Through the sensor dialog: sets the register when given, clicks OK, and returns what the
    // first byte and the register held when it opened.
    QStringList enterSensor(const char *button, const QString &reg = {})
    {
        QStringList loaded;
        sensorDialog(button, [&](QDialog *d) {
            loaded << child<QLineEdit>(d, "Text1_0")->text()
                   << child<QLineEdit>(d, "Text2")->text();
            if (!reg.isEmpty())
                retype(child<QLineEdit>(d, "Text2"), reg);
            click(d, "Command2");
        });
        return loaded;
    }
    void searchDialog(const std::function<void(QDialog *)> &act)
    {
        onModal(
            QStringLiteral("Search_onewire"), [&] { click(m_tab.get(), "Command10"); }, act);
    }
    // Through the search dialog: searches, sets the start register when given, and leaves with
    // that button.
    void searchAndLeave(const char *button, const QString &start = {})
    {
        searchDialog([&](QDialog *d) {
            click(d, "Command2");
            if (!start.isEmpty())
                retype(child<QLineEdit>(d, "Text2"), start);
            click(d, button);
        });
    }

private Q_SLOTS:
    void init()
    {
        m_b = std::make_unique<Bench>();
        m_searchOpenFailure.clear();
        plc().setSearchDelayMs(0);
    }
    void cleanup()
    {
        m_tab.reset();
        m_b.reset();
    }

    void startsUnusedAndShowsTheFramesOfEachMode()
    {
        makeTab(false);
        auto *tab = m_tab.get();
        auto *master = child<QGroupBox>(tab, "Frame3");
        auto *fieldNet = child<QGroupBox>(tab, "USART3_setting");
        QVERIFY(child<QRadioButton>(tab, "Option1_2")->isChecked());
        QVERIFY(!child<QRadioButton>(tab, "Option1_1")->isEnabled());
        QVERIFY(master->isHidden() && fieldNet->isHidden());
        QCOMPARE(table().rowCount(), 1);

        const struct
        {
            const char *name;
            const char *label;
            int items;
            int index;
        } lists[] = {{"Combo4", "Speed setting:", 5, 4},
                     {"Combo3", "Bit number:", 2, 1},
                     {"Combo2", "Parity setting", 3, 2},
                     {"Combo5", "Stop bit", 2, 1}};
        for (const auto &list : lists) {
            auto *combo = child<QComboBox>(tab, QLatin1String(list.name));
            QCOMPARE(combo->count(), list.items);
            QCOMPARE(combo->currentIndex(), list.index);
            QVERIFY2(labelled(tab, combo, QLatin1String(list.label)), list.name);
        }
        QCOMPARE(child<QComboBox>(tab, "Combo4")->currentText(), QStringLiteral("115200"));

        table().setSensors(goodSensors(2));
        click(tab, "Option1_0");
        QCOMPARE(m_tab->auxPort().mode(), AuxMode::OnewireMaster);
        QVERIFY(master->isVisible() && fieldNet->isHidden());
        // Only code selects Field Net (an upload or a project load); the table stays.
        m_tab->auxPort().setMode(AuxMode::FieldNet);
        QVERIFY(child<QRadioButton>(tab, "Option1_1")->isChecked());
        QVERIFY(master->isHidden() && fieldNet->isVisible());
        child<QComboBox>(tab, "Combo2")->setCurrentIndex(0);
        QCOMPARE(m_tab->auxPort().fieldNet(), (FieldNetSettings{4, 1, 0, 1}));
        click(tab, "Option1_2");
        QVERIFY(master->isHidden() && fieldNet->isHidden());
        click(tab, "Option1_0");
        QCOMPARE(table().sensors(), goodSensors(2));
    }

    void sensorDialogAddsAndModifies()
    {
        makeTab();
        sensorDialog("Command8", [](QDialog *d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("Add/modify 1-wire slave"));
            const QStringList captions{"Byte 0", "Byte1",  "Byte 2", "Byte3",
                                       "Byte 4", "Byte 5", "Byte 6", "Byte 7"};
            for (int k = 0; k < 8; ++k) {
                auto *box = child<QLineEdit>(d, QStringLiteral("Text1_%1").arg(k));
                QCOMPARE(box->text(), QStringLiteral("00"));
                QVERIFY(labelled(d, box, captions[k]));
            }
            QCOMPARE(child<QLineEdit>(d, "Text2")->text(), QStringLiteral("3000"));
            retype(child<QLineEdit>(d, "Text1_0"), QStringLiteral("28"));
            retype(child<QLineEdit>(d, "Text1_7"), QStringLiteral("xyz")); // taken as typed
            click(d, "Command2");
        });
        QCOMPARE(table().sensors(),
                 (QList<SensorRow>{{romOf({"28", "00", "00", "00", "00", "00", "00", "xyz"}),
                                    QStringLiteral("3000")}}));
        QCOMPARE(numColumn(table()), (QStringList{"1", "2"}));

        // The first row is selected and has a register: the next one follows the last sensor.
        // Close adds nothing.
        QString proposed;
        sensorDialog("Command8", [&](QDialog *d) {
            proposed = child<QLineEdit>(d, "Text2")->text();
            click(d, "Command1");
        });
        QCOMPARE(proposed, QStringLiteral("3002"));
        QCOMPARE(table().sensorCount(), 1);
        enterSensor("Command8");
        QCOMPARE(registers(table()), (QStringList{"3000", "3002"}));
        QCOMPARE(numColumn(table()), (QStringList{"1", "2", "3"}));

        // Modify loads the selected row and keeps its number.
        clickCell(grid(), 0, 4);
        QCOMPARE(enterSensor("Command9", QStringLiteral("4000")), (QStringList{"28", "3000"}));
        QCOMPARE(registers(table()), (QStringList{"4000", "3002"}));
        QCOMPARE(numColumn(table()), (QStringList{"1", "2", "3"}));

        // Modifying the placeholder row writes into it; it is still no sensor, and the next "Add
        // slave" takes its place.
        clickCell(grid(), 2, 3);
        QCOMPARE(enterSensor("Command9", QStringLiteral("1500")), (QStringList{"", ""}));
        QCOMPARE(table().sensorCount(), 2);
        QCOMPARE(table().cell(2, SensorTable::RegisterColumn), QStringLiteral("1500"));
        enterSensor("Command8");
        QCOMPARE(registers(table()), (QStringList{"4000", "3002", "3004"}));
        QCOMPARE(table().sensor(3), SensorRow{});
    }

    void deleteAsksAndRemovesTheSelectedSensor()
    {
        makeTab();
        table().setSensors(goodSensors(3));
        clickCell(grid(), 1, 2);

        m_b->prompts.queueAnswer(false);
        click(m_tab.get(), "Command11");
        QCOMPARE(m_b->prompts.questions(), QStringList{"You are shure for delete this sensor?"});
        QCOMPARE(m_b->prompts.shown().last().title, Prompts::Title(QString()));
        QCOMPARE(table().sensorCount(), 3);

        click(m_tab.get(), "Command11");
        QCOMPARE(registers(table()), (QStringList{"100", "104"}));
        QCOMPARE(numColumn(table()), (QStringList{"1", "2", "3"}));

        // The selection stays on row 1: the last sensor now, then the placeholder.
        click(m_tab.get(), "Command11");
        QCOMPARE(registers(table()), QStringList{"100"});
        QCOMPARE(m_tab->selectedRow(), 1);
        click(m_tab.get(), "Command11");
        QCOMPARE(registers(table()), QStringList{"100"});
        QCOMPARE(table().rowCount(), 2);

        // "Delete all slave" does nothing, and the grid has no Delete key.
        m_b->prompts.clearRecord();
        click(m_tab.get(), "Command21");
        clickCell(grid(), 0, 2);
        QTest::keyClick(grid(), Qt::Key_Delete);
        QCOMPARE(table().sensors(), goodSensors(1));
        QVERIFY(m_b->prompts.shown().isEmpty());
    }

    void gridEditorStoresOnEnterAndDropsWhatIsLeft()
    {
        makeTab();
        table().setSensors(goodSensors(2));
        auto *editor = child<QLineEdit>(m_tab.get(), "Text4");
        QVERIFY(editor->isHidden());

        doubleClickCell(grid(), 0, 3);
        QVERIFY(editor->isVisible());
        QCOMPARE(editor->geometry(), grid()->visualRect(table().index(0, 3)));
        QCOMPARE(editor->selectedText(), table().cell(0, 3));
        QVERIFY(editor->hasFocus());
        QTest::keyClicks(editor, QStringLiteral("ab"));
        QTest::keyClick(editor, Qt::Key_Return);
        QCOMPARE(table().cell(0, 3), QStringLiteral("ab"));
        QVERIFY(editor->isHidden());
        QVERIFY(grid()->hasFocus());
        QCOMPARE(grid()->currentIndex(), table().index(1, 3));

        // On the last row Enter stores and stays.
        doubleClickCell(grid(), 2, 9);
        QTest::keyClicks(editor, QStringLiteral("1500"));
        QTest::keyClick(editor, Qt::Key_Enter);
        QCOMPARE(table().cell(2, 9), QStringLiteral("1500"));
        QCOMPARE(grid()->currentIndex(), table().index(2, 9));
        QCOMPARE(table().sensorCount(), 2);

        // A click elsewhere loses what was typed.
        const QString before = table().cell(1, 5);
        doubleClickCell(grid(), 1, 5);
        QTest::keyClicks(editor, QStringLiteral("zz"));
        clickCell(grid(), 0, 7);
        QVERIFY(editor->isHidden());
        QCOMPARE(table().cell(1, 5), before);
        // F2 opens it from the keyboard.
        QTest::keyClick(grid(), Qt::Key_F2);
        QCOMPARE(editor->geometry(), grid()->visualRect(table().index(0, 7)));
        QVERIFY(editor->isVisible());
        grid()->setFocus();

        // The number column is not edited.
        doubleClickCell(grid(), 0, 0);
        QVERIFY(editor->isHidden());
    }

    void writeAndUploadButtonsMoveTheTab()
    {
        makeTab();
        table().setSensors({exampleSensor()});
        click(m_tab.get(), "Command17");
        QCOMPARE(plc().word(0x200A), quint16(0xC001));
        QCOMPARE(plc().memory(0x200C, 10), QByteArray::fromHex("FF281E64000F5A00B80B"));

        plc().setWord(0x200A, 0xB180);
        click(m_tab.get(), "Command18");
        QVERIFY(child<QRadioButton>(m_tab.get(), "Option1_1")->isChecked());
        QVERIFY(child<QGroupBox>(m_tab.get(), "USART3_setting")->isVisible());
        QCOMPARE(child<QComboBox>(m_tab.get(), "Combo4")->currentIndex(), 3);
        QCOMPARE(table().sensorCount(), 0);
        QVERIFY(m_b->prompts.messages().isEmpty());

        // A failed upload leaves the tab as it was.
        table().setSensors(goodSensors(3));
        plc().faults().silent = true;
        click(m_tab.get(), "Command18");
        m_b->line.setOpenFailure(QStringLiteral("COM1 (/dev/ttyUSB0): no such device"));
        click(m_tab.get(), "Command18");
        QCOMPARE(m_b->prompts.messages(),
                 (QStringList{"Answer timeout from PLC", "COM1 (/dev/ttyUSB0): no such device"}));
        QCOMPARE(m_tab->auxPort().mode(), AuxMode::FieldNet);
        QCOMPARE(table().sensors(), goodSensors(3));
    }

    void searchFindsEditsAndReplacesTheTable()
    {
        makeTab();
        table().setSensors(goodSensors(2));
        plc().setBusSensors({sim::generatedRom(0), sim::generatedRom(1), sim::generatedRom(2)});
        int rowsShown = 0;
        QString countShown;
        searchDialog([&](QDialog *d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("Search module for 1-wire device"));
            QCOMPARE(child<QLineEdit>(d, "Text1")->text(), QStringLiteral("0"));
            QCOMPARE(child<QLineEdit>(d, "Text2")->text(), QStringLiteral("1500"));
            click(d, "Command2");
            countShown = child<QLineEdit>(d, "Text1")->text();
            auto *results = child<QTableView>(d, "grid");
            rowsShown = results->model()->rowCount();
            QCOMPARE(results->model()->index(3, 0).data().toString(), QStringLiteral("4"));

            // Enter on the grid opens the editor; Enter in it stores and is not taken by a
            // button; Delete empties the cell.
            clickCell(results, 0, 1);
            QTest::keyClick(results, Qt::Key_Return);
            auto *editor = child<QLineEdit>(d, "Text3");
            QVERIFY(editor->isVisible());
            QTest::keyClicks(editor, QStringLiteral("AA"));
            QTest::keyClick(editor, Qt::Key_Return);
            QVERIFY(d->isVisible());
            QCOMPARE(results->currentIndex().row(), 1);
            QTest::keyClick(results, Qt::Key_Delete);
            click(d, "Command4");
            QVERIFY(!d->isVisible());
        });
        QCOMPARE(countShown, QStringLiteral("3"));
        QCOMPARE(rowsShown, 4);
        QCOMPARE(plc().searchesStarted(), 1);
        QCOMPARE(registers(table()), (QStringList{"1500", "1502", "1504"}));
        QCOMPARE(numColumn(table()), (QStringList{"1", "2", "3", "4"}));
        QCOMPARE(table().sensor(0).rom[0], QStringLiteral("AA"));
        QCOMPARE(table().sensor(1).rom[0], QString());
        QCOMPARE(table().sensor(2).rom[0], QStringLiteral("28"));
        QCOMPARE(m_b->clock.pauses, QList<int>{3500});
    }

    void searchAppendsAndRefusesAStartItCannotNumber()
    {
        makeTab();
        plc().setBusSensors({sim::generatedRom(0), sim::generatedRom(1)});
        bool stayedOpen = false;
        searchDialog([&](QDialog *d) {
            click(d, "Command2");
            retype(child<QLineEdit>(d, "Text2"), QStringLiteral("15x"));
            click(d, "Command3");
            stayedOpen = d->isVisible();
            QCOMPARE(table().sensorCount(), 0);
            retype(child<QLineEdit>(d, "Text2"), QStringLiteral("1500"));
            click(d, "Command3");
        });
        QVERIFY(stayedOpen);
        QCOMPARE(m_b->prompts.messages().size(), 1);
        QVERIFY(m_b->prompts.messages().first().contains(QLatin1String("\"15x\"")));
        QCOMPARE(m_b->prompts.shown().first().title,
                 Prompts::Title(QStringLiteral("Error in data")));
        QCOMPARE(registers(table()), (QStringList{"1500", "1502"}));

        // A second search appends after the last register, whatever the start address says.
        searchAndLeave("Command3", QStringLiteral("9"));
        QCOMPARE(registers(table()), (QStringList{"1500", "1502", "1504", "1506"}));
    }

    void aFailedSearchOrNoSearchCopiesNothing()
    {
        makeTab();
        table().setSensors(goodSensors(2));
        plc().setBusSensors({sim::generatedRom(5)});
        // Found in one opening and closed; the next opening cannot open its port.
        searchAndLeave("Command1");
        QCOMPARE(table().sensors(), goodSensors(2));

        m_searchOpenFailure = QStringLiteral("COM1 (/dev/ttyUSB0): permission denied");
        table().setCell(0, SensorTable::NumColumn, QStringLiteral("?"));
        int rows = -1;
        searchDialog([&](QDialog *d) {
            click(d, "Command2");
            rows = child<QTableView>(d, "grid")->model()->rowCount();
            click(d, "Command4");
        });
        QCOMPARE(m_b->prompts.messages(), QStringList{m_searchOpenFailure});
        QCOMPARE(rows, 1);
        QCOMPARE(table().sensors(), goodSensors(2));
        QCOMPARE(numColumn(table()), (QStringList{"1", "2", "3"}));
        QCOMPARE(plc().searchesStarted(), 1);
    }

    void plcMenuSearchesAndUploadsTheAuxiliaryPort()
    {
        auto line = std::make_unique<sim::SimulatedLine>();
        sim::PlcModel &windowPlc = line->model();
        windowPlc.setSearchDelayMs(0);
        windowPlc.setWord(0x200A, 0xC001);
        windowPlc.setMemory(0x200C, QByteArray::fromHex("FF281E64000F5A00B80B"));
        MainWindow window(m_b->ini(), std::move(line), &m_b->prompts);
        OnewireTab *tab = window.onewireTab();
        tab->setSearchLineFactory(
            [&windowPlc] { return std::make_unique<sim::SimulatedLine>(windowPlc); });

        onModal(
            QStringLiteral("Search_onewire"), [&] { window.search1wireAction()->trigger(); },
            [](QDialog *d) { click(d, "Command2"); });
        QCOMPARE(windowPlc.searchesStarted(), 1);

        window.uploadFromPlc();
        QCOMPARE(tab->auxPort().mode(), AuxMode::OnewireMaster);
        QCOMPARE(tab->auxPort().sensors().sensors(), QList<SensorRow>{exampleSensor()});
    }
};

QTEST_MAIN(TestOnewireTab)
#include "tst_onewire_tab.moc"
