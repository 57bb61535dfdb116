// The UART 1 and UART 2 tabs as the user works them: modes and frames, the slave dialog, the
// in-cell editor with each port's refusal texts, delete, and the tab's transfers.
#include "support/sim_bench.h"

#include "app/main_window.h"
#include "common/clock.h"
#include "link/ini_file.h"
#include "link/plc_link.h"
#include "modbus/slave_dialog.h"
#include "modbus/slave_table.h"
#include "modbus/uart_tab.h"
#include "sim/demo_plc.h"
#include "sim/sim_line.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

const QString Uart1Refusal =
    QStringLiteral("You are enter incorrect value ! Pls use correct value!");
const QString Uart2RefusalEnds =
    QStringLiteral("You are enter incorrect value ! Pls use correct value !");
const QString Uart2RefusalMiddle =
    QStringLiteral("You are enter incorrect value !  Pls use correct value !");

} // namespace

class TestUartTab : public QObject
{
    Q_OBJECT

    std::unique_ptr<Bench> m_bench;
    std::unique_ptr<UartTab> m_tab;

    QString ini() const { return m_bench->ini(); }
    const UartTabNames &names() const { return m_tab->names(); }
    TextTable &table() { return m_tab->port().slaves(); }

    void makeTab(bool uart1)
    {
        const TabContext context{m_bench->link, ini(), m_bench->prompts};
        m_tab = std::make_unique<UartTab>(context,
                                          uart1 ? UartTabNames::uart1() : UartTabNames::uart2());
        m_tab->startUp();
        m_tab->resize(1000, 560);
        m_tab->show();
        QApplication::setActiveWindow(m_tab.get());
        QVERIFY(QTest::qWaitForWindowActive(m_tab.get()));
    }
    template <class T> T *child(const QString &name) const
    {
        T *found = m_tab->findChild<T *>(name);
        if (!found)
            qWarning("no control %s", qPrintable(name));
        return found;
    }
    QTableView *grid() const { return child<QTableView>(names().grid); }
    QLineEdit *editor() const { return child<QLineEdit>(names().editor); }
    void click(const QString &name) { QTest::mouseClick(child<QWidget>(name), Qt::LeftButton); }
    void clickMode(int index)
    {
        // On the button's circle: a click beyond its caption does not count.
        auto *option =
            child<QRadioButton>(QStringLiteral("%1_%2").arg(names().modeButtons).arg(index));
        QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(8, option->height() / 2));
    }
    void clickCell(int row, int column)
    {
        const QRect r = grid()->visualRect(table().index(row, column));
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, r.center());
    }
    void setSlaves(int count)
    {
        QList<QStringList> rows;
        for (int i = 1; i <= count; ++i) {
            const QString n = QString::number(i);
            rows.append({n, n, QString::number(10 * i), "0", "0", "1", "100"});
        }
        table().setItems(rows);
        table().renumber(true);
    }
    // A tab in master mode with that many slaves.
    void makeMaster(bool uart1, int slaves)
    {
        makeTab(uart1);
        setSlaves(slaves);
        clickMode(0);
    }

    // Runs act on the slave dialog once the button's click has opened it, then makes sure it is
    // closed so that a failing check cannot leave the test waiting on it.
    void onDialog(const std::function<void(SlaveDialog *)> &act)
    {
        auto *poll = new QTimer(m_tab.get());
        connect(poll, &QTimer::timeout, poll, [poll, act] {
            auto *dialog = qobject_cast<SlaveDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            poll->stop();
            poll->deleteLater();
            act(dialog);
            if (dialog->isVisible())
                dialog->reject();
        });
        poll->start(5);
    }
    static void type(SlaveDialog *dialog, const char *field, const QString &text)
    {
        auto *edit = dialog->findChild<QLineEdit *>(QLatin1String(field));
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }
    static QString field(SlaveDialog *dialog, const char *name)
    {
        return dialog->findChild<QLineEdit *>(QLatin1String(name))->text();
    }
    static void clickOk(SlaveDialog *dialog)
    {
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("Command2")),
                          Qt::LeftButton);
    }

private Q_SLOTS:
    void init() { m_bench = std::make_unique<Bench>(); }
    void cleanup()
    {
        m_tab.reset();
        m_bench.reset();
    }

    void startUpShowsAnUnusedPortAndModesShowTheirFrames_data()
    {
        QTest::addColumn<bool>("uart1");
        QTest::newRow("UART 1") << true;
        QTest::newRow("UART 2") << false;
    }
    void startUpShowsAnUnusedPortAndModesShowTheirFrames()
    {
        QFETCH(bool, uart1);
        Write_ini(ini(), QStringLiteral("COM_MB"), QStringLiteral("Bit_num"), QStringLiteral("1"));
        Write_ini(ini(), QStringLiteral("COM_MB"), QStringLiteral("Stop_bit"), QStringLiteral("2"));
        makeTab(uart1);

        QVERIFY(child<QRadioButton>(names().modeButtons + QStringLiteral("_2"))->isChecked());
        QVERIFY(child<QGroupBox>(names().general)->isVisible());
        QVERIFY(!child<QGroupBox>(names().master)->isVisible());
        QVERIFY(!child<QGroupBox>(names().slave)->isVisible());
        QCOMPARE(child<QComboBox>(names().speed)->currentText(), QStringLiteral("115200"));
        QCOMPARE(child<QComboBox>(names().parity)->currentText(), QStringLiteral("None"));
        auto *bits = child<QComboBox>(names().bitNumber);
        auto *stop = child<QComboBox>(names().stopBit);
        QVERIFY(!bits->isEnabled() && !stop->isEnabled());
        // Only UART 1 starts from set.ini; UART 2's lists are left without a choice.
        QCOMPARE(bits->currentText(), uart1 ? QStringLiteral("8") : QString());
        QCOMPARE(stop->currentText(), uart1 ? QStringLiteral("2") : QString());
        QCOMPARE(child<QLineEdit>(names().slaveAddress)->text(),
                 uart1 ? QStringLiteral("1") : QStringLiteral("2"));
        QCOMPARE(child<QLineEdit>(names().slaveTimeout)->text(), QStringLiteral("2"));
        QVERIFY(!child<QLineEdit>(names().slaveTimeout)->isEnabled());
        for (const QString &off : names().offButtons)
            QVERIFY(!child<QPushButton>(off)->isEnabled());

        // Every input can be found by its name: its own, or that of the label it belongs to.
        QList<QWidget *> inputs;
        for (QLineEdit *e : m_tab->findChildren<QLineEdit *>())
            inputs << e;
        for (QComboBox *c : m_tab->findChildren<QComboBox *>())
            inputs << c;
        inputs << grid();
        for (QWidget *input : inputs) {
            bool named = !input->accessibleName().isEmpty();
            for (QLabel *label : m_tab->findChildren<QLabel *>())
                named = named || label->buddy() == input;
            QVERIFY2(named, qPrintable(input->objectName()));
        }

        auto *master = child<QGroupBox>(names().master);
        auto *slave = child<QGroupBox>(names().slave);
        clickMode(0);
        QCOMPARE(m_tab->port().mode(), PortMode::Master);
        QVERIFY(master->isVisible() && !slave->isVisible());
        // Nothing added or selected yet: the table stays out of sight.
        QVERIFY(!grid()->isVisible());
        clickMode(1);
        QCOMPARE(m_tab->port().mode(), PortMode::Slave);
        QVERIFY(!master->isVisible() && slave->isVisible());
        clickMode(2);
        QCOMPARE(m_tab->port().mode(), PortMode::NotUse);
        QVERIFY(!master->isVisible() && !slave->isVisible());
    }

    void addingProposesTheRequestAfterTheLast_data()
    {
        QTest::addColumn<bool>("uart1");
        QTest::addColumn<QString>("dialogName");
        QTest::addColumn<QString>("caption");
        QTest::newRow("UART 1") << true << "Slave"
                                << "Slave add/modify";
        QTest::newRow("UART 2") << false << "Slave2"
                                << "Form1";
    }
    void addingProposesTheRequestAfterTheLast()
    {
        QFETCH(bool, uart1);
        QFETCH(QString, dialogName);
        QFETCH(QString, caption);
        makeTab(uart1);
        clickMode(0);

        QString shownName, shownCaption, address, number;
        onDialog([&](SlaveDialog *d) {
            shownName = d->objectName();
            shownCaption = d->windowTitle();
            address = field(d, "mb_address");
            number = field(d, "T_slave");
            clickOk(d);
        });
        click(names().add);
        QCOMPARE(shownName, dialogName);
        QCOMPARE(shownCaption, caption);
        QCOMPARE(address, QStringLiteral("3"));
        QCOMPARE(number, QStringLiteral("1"));
        QVERIFY(grid()->isVisible());
        QCOMPARE(table().rowCells(0), (QStringList{"1", "3", "100", "0", "0", "1", "100"}));
        QCOMPARE(table().rowCells(1), (QStringList{"2", "", "", "", "", "", ""}));

        QString slaveAddress, masterAddress;
        onDialog([&](SlaveDialog *d) {
            slaveAddress = field(d, "mb_slave_addr");
            masterAddress = field(d, "mb_master_addr");
            number = field(d, "T_slave");
            type(d, "mb_address", QStringLiteral("5"));
            clickOk(d);
        });
        click(names().add);
        QCOMPARE(slaveAddress, QStringLiteral("100"));
        QCOMPARE(masterAddress, QStringLiteral("100"));
        QCOMPARE(number, QStringLiteral("1")); // the last slave there is, not the new one
        QCOMPARE(table().itemCount(), 2);
        QCOMPARE(table().rowCells(1), (QStringList{"2", "5", "100", "100", "100", "1", "100"}));
        QCOMPARE(table().cell(2, 0), QStringLiteral("3"));
        QCOMPARE(m_tab->selectedRow(), 2);
        QVERIFY(m_bench->prompts.shown().isEmpty());
    }

    void theDialogRefusesAWrongValueAndStaysOpen()
    {
        makeTab(true);
        clickMode(0);
        bool openAfterOk = false;
        onDialog([&](SlaveDialog *d) {
            type(d, "mb_slave_count", QStringLiteral("255"));
            clickOk(d);
            openAfterOk = d->isVisible();
            QTest::mouseClick(d->findChild<QPushButton *>(QStringLiteral("Command1")),
                              Qt::LeftButton); // "Close"
        });
        click(names().add);
        QVERIFY(openAfterOk);
        QCOMPARE(m_bench->prompts.messages(), QStringList{"You put wrong value  255"});
        QCOMPARE(m_bench->prompts.shown().first().title,
                 Prompts::Title(QStringLiteral("Error in data")));
        QCOMPARE(table().itemCount(), 0);
    }

    void modifyEditsTheSelectedOrTheLastSlave()
    {
        makeMaster(true, 3);
        QVERIFY(grid()->isVisible()); // filled from elsewhere: shown

        clickCell(1, SlaveColumn::NumWord);
        QCOMPARE(m_tab->selectedRow(), 2);
        QString number, count;
        onDialog([&](SlaveDialog *d) {
            number = field(d, "T_slave");
            count = field(d, "mb_slave_count");
            type(d, "mb_slave_count", QStringLiteral("7"));
            clickOk(d);
        });
        click(names().modify);
        QCOMPARE(number, QStringLiteral("2"));
        QCOMPARE(count, QStringLiteral("20"));
        QCOMPARE(table().rowCells(1), (QStringList{"2", "2", "7", "0", "0", "1", "100"}));

        // The placeholder selected: the last slave is edited, and becomes the selection.
        clickCell(3, SlaveColumn::Address);
        onDialog([&](SlaveDialog *d) {
            number = field(d, "T_slave");
            type(d, "mb_timeout", QStringLiteral("250"));
            clickOk(d);
        });
        click(names().modify);
        QCOMPARE(number, QStringLiteral("3"));
        QCOMPARE(table().cell(2, SlaveColumn::Timeout), QStringLiteral("250"));
        QCOMPARE(table().itemCount(), 3);
        QCOMPARE(m_tab->selectedRow(), 3);
    }

    void anEmptiedCellOpensModifyWithDefaults()
    {
        makeMaster(false, 2);
        clickCell(1, SlaveColumn::Address);
        QTest::keyClick(grid(), Qt::Key_Delete);
        QCOMPARE(table().cell(1, SlaveColumn::Address), QString());

        QString address;
        onDialog([&](SlaveDialog *d) { address = field(d, "mb_address"); });
        click(names().modify);
        QCOMPARE(address, QStringLiteral("3"));
        QCOMPARE(m_bench->prompts.messages().size(), 1);
        QVERIFY(m_bench->prompts.messages().first().startsWith(
            QStringLiteral("Row 2, column [Address] holds \"\"")));
        QCOMPARE(m_bench->prompts.shown().first().title,
                 Prompts::Title(QStringLiteral("Error in data")));
    }

    void deleteRemovesTheSelectedSlaveAfterAsking()
    {
        makeMaster(true, 3);
        clickCell(1, SlaveColumn::Timeout);

        m_bench->prompts.queueAnswer(false);
        click(names().remove);
        QCOMPARE(table().itemCount(), 3);

        click(names().remove);
        QCOMPARE(m_bench->prompts.questions(),
                 (QStringList{"You are shure for delete this sensor?",
                              "You are shure for delete this sensor?"}));
        QCOMPARE(m_bench->prompts.shown().last().title, Prompts::Title(QString()));
        QCOMPARE(table().itemCount(), 2);
        QCOMPARE(table().rowCells(1), (QStringList{"2", "3", "30", "0", "0", "1", "100"}));
        QCOMPARE(table().cell(2, 0), QStringLiteral("3"));
        QCOMPARE(m_tab->selectedRow(), 2);

        // The placeholder is no slave: deleting it removes nothing.
        clickCell(2, SlaveColumn::Address);
        click(names().remove);
        QCOMPARE(table().itemCount(), 2);

        // The highlighted row goes, also when the keys moved the highlight.
        clickCell(0, SlaveColumn::Address);
        QTest::keyClick(grid(), Qt::Key_Down);
        QCOMPARE(m_tab->selectedRow(), 2);
        click(names().remove);
        QCOMPARE(table().rowCells(0), (QStringList{"1", "1", "10", "0", "0", "1", "100"}));
        QCOMPARE(table().itemCount(), 1);
    }

    void theEditorBoxChecksTheCellsColumn_data()
    {
        QTest::addColumn<bool>("uart1");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("refusal"); // empty: accepted as typed
        QTest::newRow("UART 1, Address 256") << true << 1 << "256" << Uart1Refusal;
        QTest::newRow("UART 1, Num word 12.5 kept") << true << 2 << "12.5" << QString();
        QTest::newRow("UART 1, Function -1") << true << 5 << "-1" << Uart1Refusal;
        QTest::newRow("UART 1, Timeout letters") << true << 6 << "ten" << Uart1Refusal;
        QTest::newRow("UART 2, Address 256") << false << 1 << "256" << Uart2RefusalEnds;
        QTest::newRow("UART 2, Timeout 65536") << false << 6 << "65536" << Uart2RefusalEnds;
        QTest::newRow("UART 2, Num word -1") << false << 2 << "-1" << Uart2RefusalMiddle;
    }
    void theEditorBoxChecksTheCellsColumn()
    {
        QFETCH(bool, uart1);
        QFETCH(int, column);
        QFETCH(QString, typed);
        QFETCH(QString, refusal);
        makeTab(uart1);
        setSlaves(2);
        clickMode(0);
        clickCell(0, column);
        QTest::keyClick(grid(), Qt::Key_Return);

        // The box lies over the cell, holding its text, all of it selected.
        QVERIFY(editor()->isVisible());
        QVERIFY(editor()->hasFocus());
        const QRect cell = grid()->visualRect(table().index(0, column));
        QCOMPARE(editor()->geometry(),
                 QRect(grid()->viewport()->mapTo(child<QWidget>(names().master), cell.topLeft()),
                       cell.size()));
        QCOMPARE(editor()->selectedText(), table().cell(0, column));

        QTest::keyClicks(editor(), typed);
        QTest::keyClick(editor(), Qt::Key_Return);
        QVERIFY(!editor()->isVisible());
        QCOMPARE(table().cell(0, column), refusal.isEmpty() ? typed : QString());
        QCOMPARE(m_bench->prompts.messages(),
                 refusal.isEmpty() ? QStringList() : QStringList{refusal});
        // One row down, with the focus back in the table.
        QCOMPARE(grid()->currentIndex(), table().index(1, column));
        QVERIFY(grid()->hasFocus());
    }

    void leavingTheEditorBoxDropsWhatWasTyped()
    {
        makeMaster(true, 1);
        clickCell(0, SlaveColumn::Address);
        QTest::mouseDClick(grid()->viewport(), Qt::LeftButton, {},
                           grid()->visualRect(table().index(0, 1)).center());
        QVERIFY(editor()->isVisible());
        QTest::keyClicks(editor(), QStringLiteral("77"));
        child<QComboBox>(names().speed)->setFocus();
        QVERIFY(!editor()->isVisible());
        QCOMPARE(table().cell(0, SlaveColumn::Address), QStringLiteral("1"));

        // Escape leaves it as well.
        clickCell(0, SlaveColumn::Address);
        QTest::keyClick(grid(), Qt::Key_Return);
        QTest::keyClicks(editor(), QStringLiteral("78"));
        QTest::keyClick(editor(), Qt::Key_Escape);
        QVERIFY(!editor()->isVisible());
        QCOMPARE(table().cell(0, SlaveColumn::Address), QStringLiteral("1"));
        QVERIFY(m_bench->prompts.shown().isEmpty());

        // Text in the placeholder would look like a slave that no write ever sends.
        clickCell(1, SlaveColumn::Address);
        QTest::keyClick(grid(), Qt::Key_Return);
        QVERIFY(!editor()->isVisible());
    }

    void theTabsUploadShowsTheTable()
    {
        sim::fillDemoPlc(m_bench->line.model());
        makeTab(true);
        clickMode(0);
        QVERIFY(!grid()->isVisible()); // nothing added or selected yet
        QCOMPARE(m_tab->menuUploads().size(), 1);
        m_tab->menuUploads().first()();
        QVERIFY(child<QRadioButton>(names().modeButtons + QStringLiteral("_0"))->isChecked());
        QVERIFY(grid()->isVisible());
        QCOMPARE(table().itemCount(), 3);
        QCOMPARE(child<QComboBox>(names().speed)->currentText(), QStringLiteral("115200"));
        QCOMPARE(child<QComboBox>(names().parity)->currentText(), QStringLiteral("None"));
        QVERIFY(m_bench->prompts.shown().isEmpty());
    }

    void thePlcMenuUploadsBothPorts()
    {
        auto line = std::make_unique<sim::SimulatedLine>();
        sim::fillDemoPlc(line->model());
        MainWindow window(ini(), std::move(line), &m_bench->prompts);
        window.findChild<QAction *>(QStringLiteral("upload_from_plc"))->trigger();
        QCOMPARE(window.uart1Tab()->port().mode(), PortMode::Master);
        QCOMPARE(window.uart1Tab()->port().slaves().itemCount(), 3);
        QCOMPARE(window.uart2Tab()->port().mode(), PortMode::Master);
        QCOMPARE(window.uart2Tab()->port().slaves().itemCount(), 2);
        QCOMPARE(window.uart2Tab()->port().parity(), 1);
    }

    void aSilentPlcLeavesTheTabAsItWas()
    {
        makeTab(false);
        setSlaves(2);
        m_bench->line.model().faults().silent = true;
        click(names().upload);
        QCOMPARE(m_bench->prompts.messages(), QStringList{"Answer timeout from PLC"});
        QVERIFY(child<QRadioButton>(names().modeButtons + QStringLiteral("_2"))->isChecked());
        QCOMPARE(table().itemCount(), 2);
    }

    void writeToPlcSendsWhatTheTabShows()
    {
        makeTab(true);
        clickMode(1);
        auto *address = child<QLineEdit>(names().slaveAddress);
        address->selectAll();
        QTest::keyClicks(address, QStringLiteral("12"));
        click(names().write);
        const auto words = m_bench->line.model().writesAt(0x2008);
        QCOMPARE(words.size(), 1);
        QCOMPARE(words.first().bytes, QByteArray::fromHex("0C54"));
        QVERIFY(m_bench->prompts.messages().isEmpty());
    }
};

QTEST_MAIN(TestUartTab)
#include "tst_uart_tab.moc"
