// What the window tells about its commands and keeps from being lost: the status bar, verify
// after write, compare with the PLC, the unsaved-changes question, recent files and settings.
#include "support/sim_bench.h"
#include "support/widget_driver.h"

#include "app/compare_dialog.h"
#include "app/main_window.h"
#include "app/messages_log.h"
#include "app/messages_window.h"
#include "app/project_file_commands.h"
#include "app/project_state.h"
#include "app/recent_files.h"
#include "app/status_bar.h"
#include "link/plc_address.h"
#include "link/serial_devices.h"
#include "onewire/search_dialog.h"
#include "tabs/onewire_tab.h"
#include "tabs/uart_tab.h"
#include "widgets/window_placement.h"

#include <QAccessible>
#include <QAction>
#include <QClipboard>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QtTest>

#include <memory>

enum class Command {
    None,
    WriteUart1,
    UploadAll,
    LoadToPlc,
    Restart,
    Save,
    Print,
    Export,
    Import,
    ExportCsv,
    ImportCsv,
    ReadBuffer1,
    Search
};
enum class Fault { None, Silent, RefuseThirdPiece, StoreWrong, LineBreaks, Refuse, RefuseAfterStx };
enum class Trigger { Load, Upload, Exit, New };
Q_DECLARE_METATYPE(Prompts::SaveChoice)
Q_DECLARE_METATYPE(SerialDevice)

namespace {
const QString Confirm = QStringLiteral("You are shure for download configuration to the PLC ? ");
const QString Unsaved =
    QStringLiteral("The project has changes that are not saved. Save them first?");
const QString TimeoutText = QStringLiteral("Answer timeout from PLC");
} // namespace

class TestWindowFeedback : public QObject
{
    Q_OBJECT

    std::unique_ptr<Bench> m_b;
    sim::SimulatedLine *m_line = nullptr; // the window's, to the bench's PLC
    std::unique_ptr<MainWindow> m_window;
    WidgetDriver m_ui;
    const QString m_sound = QFINDTESTDATA("../fixtures/project/sound.dpc");

    void makeWindow()
    {
        m_window.reset();
        m_line = new sim::SimulatedLine(m_b->plc(), m_b->clock);
        m_window = std::make_unique<MainWindow>(m_b->ini(), std::unique_ptr<SerialLine>(m_line),
                                                &m_b->prompts, &m_b->clock);
        m_window->status().setTimeSource([] { return QTime(14, 2, 11); });
        m_ui.setRoot(m_window.get());
    }
    QAction *action(const QString &name) const { return m_ui.find<QAction>(name); }
    void load(const QString &path)
    {
        m_b->prompts.queueFile(path);
        action("Load_config")->trigger();
    }
    QString status() const
    {
        return m_window->status().outcomeText().chopped(9); // the time
    }
    ModbusPort &uart1() const { return m_window->uart1Tab()->port(); }
    QString file(const char *name) const { return m_b->dir.filePath(QLatin1String(name)); }

private Q_SLOTS:
    void init()
    {
        m_window.reset();
        m_b = std::make_unique<Bench>();
        makeWindow();
    }
    void cleanup() { m_window.reset(); }

    void theStatusBarTellsHowEachCommandEnded_data()
    {
        QTest::addColumn<Command>("command"); // after loading sound.dpc
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<QStringList>("shown"); // questions and messages, in order
        QTest::addColumn<bool>("verify");
        auto row = [](const char *name, Command command, Fault fault, const QString &outcome,
                      const QStringList &shown = {}, bool verify = false) {
            QTest::newRow(name) << command << fault << outcome << shown << verify;
        };
        using C = Command;
        using F = Fault;
        const QString partial =
            "UART 1 write stopped after %1 of %2 frames: the PLC may hold a partial configuration";
        const QStringList restart{"You are shure for restart PLC ? "};
        row("load", C::None, F::None, "Loaded sound.dpc");
        row("write", C::WriteUart1, F::None, "UART 1 written", {Confirm});
        row("write, verified", C::WriteUart1, F::None, "UART 1 written and verified", {Confirm},
            true);
        row("write, silent PLC", C::WriteUart1, F::Silent,
            "UART 1: answer timeout from PLC, nothing was changed", {Confirm, TimeoutText});
        row("128 slaves, the third piece refused", C::WriteUart1, F::RefuseThirdPiece,
            partial.arg(5).arg(20), {Confirm, "Wrong answer from PLC"});
        row("the line breaks at the third frame", C::WriteUart1, F::LineBreaks,
            partial.arg(3).arg(5) + " (unplugged)", {Confirm, "unplugged"});
        row("verify finds a slave stored wrong", C::WriteUart1, F::StoreWrong,
            "UART 1 written, verify FAILED",
            {Confirm,
             "The PLC does not hold what was written:\nUART 1, slot 1, Address: written 1, "
             "PLC holds 254"},
            true);
        row("upload", C::UploadAll, F::None, "Read from PLC: UART 1, UART 2, 1-wire");
        row("upload, silent PLC", C::UploadAll, F::Silent,
            "UART 1: answer timeout from PLC, nothing was changed; UART 2: answer timeout from "
            "PLC, nothing was changed; 1-wire: answer timeout from PLC, nothing was changed",
            QStringList(3, TimeoutText));
        // One question for the three ports.
        row("load to PLC, verified", C::LoadToPlc, F::None,
            "UART 1, UART 2, 1-wire written and verified", {Confirm}, true);
        row("restart", C::Restart, F::None, "Restart sent", restart);
        row("restart refused", C::Restart, F::Refuse, "Restart refused: Wrong answer from PLC",
            restart);
        row("restart refused behind a stray STX", C::Restart, F::RefuseAfterStx,
            "Restart not confirmed: Damaged answer from PLC", restart);
        row("save", C::Save, F::None, "Saved saved.dpc");
        row("print to a PDF file", C::Print, F::None, "Configuration sheet saved: DIR/sheet.pdf");
        row("export", C::Export, F::None, "Exported to DIR/p.json");
        row("import", C::Import, F::None, "Imported p.json");
        row("export CSV", C::ExportCsv, F::None, "Exported the UART 1 slave table to DIR/t.csv");
        row("import CSV", C::ImportCsv, F::None, "Imported the UART 1 slave table from t.csv",
            {"Replace the rows of the UART 1 slave table with those of t.csv?"});
        row("UART 1 error buffer", C::ReadBuffer1, F::None, "UART 1 error buffer: 2 active errors");
        row("UART 1 error buffer, silent PLC", C::ReadBuffer1, F::Silent,
            "UART 1 error buffer not read: Answer timeout from PLC", {TimeoutText});
        row("bus search", C::Search, F::None, "1-wire search: 3 sensors found");
        row("bus search, silent PLC", C::Search, F::Silent,
            "1-wire search failed: Answer timeout from PLC", {TimeoutText});
    }
    void theStatusBarTellsHowEachCommandEnded()
    {
        QFETCH(Command, command);
        QFETCH(Fault, fault);
        QFETCH(bool, verify);
        QFETCH(QString, outcome);
        QFETCH(QStringList, shown);
        load(m_sound);
        if (command == Command::WriteUart1 && fault == Fault::RefuseThirdPiece)
            uart1().slaves().setItems(QList<QStringList>(128, {"", "1", "1", "0", "0", "1", "9"}));
        const QList<QStringList> before = uart1().slaves().items();
        action("verify_after_write")->setChecked(verify);
        m_b->prompts.clearRecord();
        sim::Faults &faults = m_b->plc().faults();
        faults.silent = fault == Fault::Silent;
        if (fault == Fault::RefuseThirdPiece)
            faults.refuseAt = {0x2582};
        if (fault == Fault::Refuse || fault == Fault::RefuseAfterStx)
            faults.refuseAt = {Addr::Restart};
        if (fault == Fault::RefuseAfterStx)
            faults.strayBefore = QByteArray(1, Ctl::STX);
        if (fault == Fault::StoreWrong)
            faults.storeWrongAt = {0x2502};
        if (fault == Fault::LineBreaks)
            m_line->breakOnSend(3, QStringLiteral("unplugged"));

        switch (command) {
        case Command::None:
            break;
        case Command::WriteUart1:
            m_ui.find<QPushButton>("Command19")->click();
            break;
        case Command::UploadAll:
        case Command::LoadToPlc:
            action(command == Command::UploadAll ? "upload_from_plc" : "load_to_plc")->trigger();
            break;
        case Command::Restart:
            m_ui.find<QPushButton>("Command32")->click();
            break;
        case Command::Save:
            m_b->prompts.queueFile(file("saved.dpc"));
            action("Save_config")->trigger();
            break;
        case Command::Print:
            WidgetDriver::onModal<QPrintDialog>([&](QPrintDialog *dialog) {
                dialog->printer()->setOutputFileName(file("sheet.pdf"));
                dialog->done(QDialog::Accepted);
            });
            action("Print")->trigger();
            QVERIFY(QFileInfo(file("sheet.pdf")).size() > 0);
            break;
        case Command::Export:
        case Command::Import:
            m_b->prompts.queueFile(file("p.json"));
            action("Export_project")->trigger();
            if (command == Command::Export)
                break;
            m_b->prompts.queueFile(file("p.json"));
            action("Import_project")->trigger();
            // What the window shows is in no project file now, even though nothing differs.
            QCOMPARE(m_window->status().projectText(), "New project, changed");
            break;
        case Command::ExportCsv:
        case Command::ImportCsv:
            m_b->prompts.queueFile(file("t.csv"));
            action("grid_export_csv")->trigger();
            if (command == Command::ExportCsv)
                break;
            m_b->prompts.queueFile(file("t.csv"));
            action("grid_import_csv")->trigger();
            break;
        case Command::ReadBuffer1:
            m_b->plc().setWord(sim::Addr::Uart1Port, 0xC003);
            m_b->plc().setErrorBuffer(sim::PlcModel::ErrorBuffer::Uart1,
                                      QByteArray::fromHex("840380"));
            m_ui.find<QPushButton>("Command4")->click();
            break;
        case Command::Search:
            m_b->plc().setBusSensors(
                {sim::generatedRom(0), sim::generatedRom(1), sim::generatedRom(2)});
            m_b->plc().setSearchDelayMs(0);
            m_window->onewireTab()->setSearchLineFactory(
                [this] { return std::make_unique<sim::SimulatedLine>(m_b->plc(), m_b->clock); });
            WidgetDriver::onModal<SearchDialog>([](SearchDialog *dialog) {
                WidgetDriver(dialog).click("Command2");
                finish(dialog->link());
            });
            action("Search_1wire")->trigger();
            break;
        }
        finish(m_window->link());
        // A verify's read-back goes to a port of its own: the window keeps what it wrote.
        if (command == Command::WriteUart1 || command == Command::LoadToPlc)
            QCOMPARE(uart1().slaves().items(), before);
        outcome.replace("DIR", QDir::toNativeSeparators(m_b->dir.path()));
        QCOMPARE(status(), outcome);
        // Screen readers get the whole outcome, time included.
        auto *label = m_ui.find<QLabel>("statusOutcome");
        QAccessibleInterface *read = QAccessible::queryAccessibleInterface(label);
        QCOMPARE(read->text(QAccessible::Name), QString("Last command"));
        QCOMPARE(read->text(QAccessible::Description), m_window->status().outcomeText());
        QCOMPARE(m_window->status().outcomeText().right(9), QString(" 14:02:11"));
        QStringList texts;
        for (const auto &s : m_b->prompts.shown())
            texts << s.text;
        QCOMPARE(texts, shown);
    }

    // Verify off sends exactly the frames of a write; on, the same frames and then the reads of
    // the upload.
    void verifyReadsBackAfterTheSameFrames()
    {
        load(m_sound);
        m_ui.find<QPushButton>("Command19")->click();
        finish(m_window->link());
        const QList<QByteArray> plain = m_line->sends();
        m_line->clearSent();
        action("verify_after_write")->trigger();
        m_ui.find<QPushButton>("Command19")->click();
        finish(m_window->link());
        const QList<QByteArray> verified = m_line->sends();
        QCOMPARE(verified.mid(0, plain.size()), plain);
        QCOMPARE(verified.mid(plain.size()),
                 (QList<QByteArray>{framed("E00200802"), framed("E00250210")}));
        QCOMPARE(Read_ini(m_b->ini(), "Options", "Verify", {}), QString("1"));
    }

    void compareShowsWhatDiffersAndChangesNothing()
    {
        load(m_sound);
        action("load_to_plc")->trigger();
        finish(m_window->link());
        m_b->prompts.clearRecord();
        action("compare_with_plc")->trigger();
        finish(m_window->link());
        QCOMPARE(m_b->prompts.messages(),
                 QStringList{"The PLC holds the same configuration as the window."});

        uart1().slaves().setCell(0, 6, QStringLiteral("300"));
        m_window->onewireTab()->auxPort().setMode(AuxMode::NotUse);
        action("compare_with_plc")->trigger();
        finish(m_window->link());
        // The differences stay beside the window, which can be used meanwhile.
        auto *dialog = m_window->findChild<CompareDialog *>();
        QVERIFY(dialog && dialog->isVisible() && !dialog->isModal());
        auto *table = WidgetDriver(dialog).find<QTableWidget>("differences");
        QStringList rows;
        for (int r = 0; r < table->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < table->columnCount(); ++c)
                cells << table->item(r, c)->text();
            rows << cells.join('|');
        }
        QCOMPARE(rows,
                 (QStringList{"UART 1|1|Timeout|300|1000", "1-wire||Mode|Not use|1-wire master"}));
        QCOMPARE(status(), QString("Compared with PLC: 2 difference(s)"));
        QCOMPARE(uart1().slaves().cell(0, 6), QString("300"));

        // A double-click on a difference selects its cell.
        auto *tabs = m_ui.find<QTabWidget>("tabs");
        tabs->setCurrentIndex(0);
        WidgetDriver::doubleClickCell(table, 0, 2);
        QCOMPARE(tabs->currentWidget(), m_window->uart1Tab());
        const QModelIndex current = m_ui.find<QTableView>("grid")->currentIndex();
        QCOMPARE(current.column(), 6);
        QCOMPARE(m_ui.find<QTableView>("grid")->model()->index(current.row(), 0).data().toString(),
                 "1");
        // A difference in the port's own settings shows its tab.
        WidgetDriver::doubleClickCell(table, 1, 2);
        QCOMPARE(tabs->currentWidget(), m_window->onewireTab());
    }

    void unsavedChangesAreAskedAbout_data()
    {
        QTest::addColumn<Trigger>("trigger");
        QTest::addColumn<Prompts::SaveChoice>("answer");
        using C = Prompts::SaveChoice;
        const std::pair<Trigger, const char *> triggers[] = {{Trigger::Load, "load"},
                                                             {Trigger::Upload, "upload"},
                                                             {Trigger::Exit, "exit"},
                                                             {Trigger::New, "new"}};
        const std::pair<C, const char *> answers[] = {
            {C::Save, "Save"}, {C::Discard, "Discard"}, {C::Cancel, "Cancel"}};
        for (const auto &[trigger, what] : triggers) {
            for (const auto &[answer, name] : answers)
                QTest::addRow("%s, %s", what, name) << trigger << answer;
        }
    }
    void unsavedChangesAreAskedAbout()
    {
        QFETCH(Trigger, trigger);
        QFETCH(Prompts::SaveChoice, answer);
        m_window->show();
        uart1().setMode(PortMode::Slave);
        QVERIFY(m_window->projectFiles().project().isChanged());
        m_b->prompts.queueSaveChoice(answer);
        if (answer == Prompts::SaveChoice::Save)
            m_b->prompts.queueFile(file("kept.dpc"));
        m_b->prompts.queueFile(m_sound);
        const char *names[] = {"Load_config", "upload_from_plc", "Exit", "New_config"};
        action(names[int(trigger)])->trigger();
        finish(m_window->link());

        QCOMPARE(m_b->prompts.questions(), QStringList{Unsaved});
        const bool goesOn = answer != Prompts::SaveChoice::Cancel;
        QCOMPARE(QFile::exists(file("kept.dpc")), answer == Prompts::SaveChoice::Save);
        QCOMPARE(m_window->isVisible(), trigger != Trigger::Exit || !goesOn);
        QCOMPARE(m_line->sends().isEmpty(), trigger != Trigger::Upload || !goesOn);
        const PortMode mode = !goesOn                    ? PortMode::Slave
                              : trigger == Trigger::Load ? PortMode::Master
                              : trigger == Trigger::Exit ? PortMode::Slave
                                                         : PortMode::NotUse;
        QCOMPARE(uart1().mode(), mode);
        // Only an upload leaves work that is not saved.
        QCOMPARE(m_window->projectFiles().project().isChanged(),
                 !goesOn || trigger == Trigger::Upload ||
                     (trigger == Trigger::Exit && answer == Prompts::SaveChoice::Discard));
    }

    // On a first run, with no set.ini and no adapter plugged in, the status bar says what to do.
    void thePortHintSaysWhereToChooseAPort_data()
    {
        QTest::addColumn<QString>("mapped"); // set.ini [Devices] COM1
        QTest::addColumn<QList<SerialDevice>>("devices");
        QTest::addColumn<QString>("hint");
        const SerialDevice adapter{"/dev/ttyUSB0", "/dev/serial/by-id/usb-FTDI_A5", "FTDI", {}, {}};
        const QString choose = QStringLiteral(" PLC \u2192 Comm. setting");
        QTest::newRow("no set.ini, no serial device")
            << QString() << QList<SerialDevice>{}
            << "No serial port found: connect the PLC's adapter, then choose it in" + choose;
        QTest::newRow("mapped to the adapter's stable name")
            << adapter.stableName << QList{adapter} << QString();
        QTest::newRow("mapped to a device that is gone")
            << "/dev/ttyUSB5" << QList{adapter}
            << "/dev/ttyUSB5 is not a serial port found on this computer: choose one in" + choose;
    }
    void thePortHintSaysWhereToChooseAPort()
    {
        QFETCH(QString, mapped);
        QFETCH(QList<SerialDevice>, devices);
        setSerialDeviceSource([devices] { return devices; });
        // Only the devices listed are there, whatever this machine's /dev holds.
        setDeviceTargetSource([devices](const QString &path) {
            for (const SerialDevice &d : devices) {
                if (path == d.location || path == d.stableName)
                    return d.location;
            }
            return QString();
        });
        if (!mapped.isEmpty())
            m_b->setIni("Devices", "COM1", mapped);
        makeWindow();
        setSerialDeviceSource({});
        setDeviceTargetSource({});
        QTEST(m_window->status().hintText(), "hint");
    }

    void recentFilesAndSettingsLiveInSetIni()
    {
        // A spoilt set.ini costs nothing at start-up.
        QFile::copy(m_sound, file("a.dpc"));
        m_b->setIni("Options", "Verify", "yes");
        m_b->setIni("Options", "Geometry", "1,2,three");
        m_b->setIni("Recent", "File1", file("a.dpc"));
        m_b->setIni("Recent", "File2", file("gone.dpc"));
        makeWindow();
        QVERIFY(m_b->prompts.shown().isEmpty());
        QVERIFY(!action("verify_after_write")->isChecked());

        action("Recent_2")->trigger();
        QCOMPARE(m_b->prompts.messages(),
                 QStringList{file("gone.dpc") +
                             " no longer exists; it was taken off the list of recent files."});
        QCOMPARE(m_window->projectFiles().recentFiles().paths(), QStringList{file("a.dpc")});
        QCOMPARE(Read_ini(m_b->ini(), "Recent", "File2", "-"), QString());
        action("Recent_1")->trigger();
        QCOMPARE(status(), QString("Loaded a.dpc"));
        QCOMPARE(m_window->projectFiles().project().description(), QString("a.dpc"));

        // The chooser starts in the folder last used; the newest file leads the list.
        QDir(m_b->dir.path()).mkdir("sub");
        m_b->prompts.queueFile(file("sub/b.dpc"));
        action("Save_config")->trigger();
        QCOMPARE(m_b->prompts.fileRequests().last().choice.startFolder, m_b->dir.path());
        QCOMPARE(m_window->projectFiles().recentFiles().paths(),
                 (QStringList{file("sub/b.dpc"), file("a.dpc")}));
        QCOMPARE(action("Recent_1")->text(), QString("&1 b.dpc"));

        action("verify_after_write")->trigger();
        m_window->setGeometry(40, 50, 900, 600);
        action("Save_app")->trigger();
        action("about")->trigger();
        QVERIFY(m_b->prompts.messages().last().contains(m_b->ini()));
        makeWindow();
        QVERIFY(action("verify_after_write")->isChecked());
        QCOMPARE(m_window->geometry().size(), QSize(900, 600));
        QCOMPARE(m_window->projectFiles().recentFiles().paths().size(), 2);
        // A place stored on a larger screen is brought within this one (1024x700).
        m_b->setIni("Options", "Geometry", "-400,-200,1800,1000");
        makeWindow();
        QVERIFY2(m_window->screen()->availableGeometry().contains(m_window->geometry()),
                 qPrintable(QDebug::toString(m_window->geometry())));
        QCOMPARE(m_b->prompts.fileRequests().size(), 1);
        load(m_sound);
        QCOMPARE(m_b->prompts.fileRequests().last().choice.startFolder, file("sub"));
    }

    // A long outcome is cut short in its place, whole in the tooltip and for screen readers; the
    // window keeps its width and fits a 1024x700 screen on every tab.
    void theWindowFitsASmallScreenWhateverItShows()
    {
        load(m_sound); // UART 1 a master: its table in view
        uart1().setMode(PortMode::Master);
        m_window->uart2Tab()->port().setMode(PortMode::Slave);
        m_window->onewireTab()->auxPort().setMode(AuxMode::OnewireMaster);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        const QRect screen = m_window->screen()->availableGeometry();
        QVERIFY2(
            screen.contains(m_window->frameGeometry()),
            qPrintable(QDebug::toString(m_window->frameGeometry()) + QDebug::toString(screen)));
        const int width = m_window->width();

        const QString failure =
            "UART 1 not written: COM1 (/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-"
            "port0): permission denied; add your user to the dialout group, then log in again";
        m_window->status().showOutcome(failure, true);
        m_window->status().showProject(QString(120, 'p') + ".dpc, changed");
        auto *tabs = m_ui.find<QTabWidget>("tabs");
        for (int tab = 0; tab < tabs->count(); ++tab) {
            tabs->setCurrentIndex(tab);
            QCoreApplication::processEvents();
            const QSize least = m_window->minimumSizeHint();
            QVERIFY2(least.width() <= 1000 && least.height() <= 620,
                     qPrintable(QString("%1: %2x%3")
                                    .arg(tabs->tabText(tab))
                                    .arg(least.width())
                                    .arg(least.height())));
        }
        QCOMPARE(m_window->width(), width);
        auto *label = m_ui.find<QLabel>("statusOutcome");
        const QString whole = failure + " 14:02:11";
        QVERIFY(label->text().endsWith(QChar(0x2026)));
        QCOMPARE(label->toolTip(), whole);
        QCOMPARE(QAccessible::queryAccessibleInterface(label)->text(QAccessible::Description),
                 whole);
    }

    // Outcomes the status bar replaced are still there, with their times, in "Messages".
    void messagesListEveryOutcomeSinceTheWindowOpened()
    {
        m_window->show();
        load(m_sound);
        m_window->status().setTimeSource([] { return QTime(14, 5, 0); });
        m_b->plc().faults().silent = true;
        m_ui.find<QPushButton>("Command19")->click();
        finish(m_window->link());
        action("Messages")->trigger();
        auto *shown = m_window->findChild<MessagesWindow *>();
        QVERIFY(shown && shown->isVisible());
        QVERIFY(m_window->screen()->availableGeometry().contains(shown->frameGeometry()));
        auto *list = WidgetDriver(shown).find<QTableView>("Messages");
        list->selectAll();
        shown->copySelection();
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 "14:02:11\tLoaded sound.dpc\n"
                 "14:05:00\tUART 1: answer timeout from PLC, nothing was changed\n");
        QVERIFY(list->model()->index(1, 0).data(MessagesLog::FailureRole).toBool());
        QVERIFY(!list->model()->index(0, 0).data(MessagesLog::FailureRole).toBool());
    }

    void windowsOpenBesideTheMainWindow_data()
    {
        QTest::addColumn<QRect>("main");
        QTest::addColumn<QSize>("wanted");
        QTest::addColumn<QRect>("placed");
        auto row = [](const char *name, QRect main, QSize wanted, QRect placed) {
            QTest::newRow(name) << main << wanted << placed;
        };
        const QSize wanted(600, 400);
        row("room on the right", {100, 50, 800, 600}, wanted, {900, 50, 600, 400});
        row("room on the left only", {1000, 50, 800, 600}, wanted, {400, 50, 600, 400});
        row("no room beside: over the right part, on screen", {300, 50, 1400, 600}, wanted,
            {1320, 50, 600, 400});
        row("main window low on the screen: moved up", {100, 900, 800, 150}, wanted,
            {900, 680, 600, 400});
        row("larger than the screen: shrunk", {0, 0, 1024, 700}, {2500, 1400}, {0, 0, 1920, 1080});
    }
    void windowsOpenBesideTheMainWindow()
    {
        QFETCH(QRect, main);
        QFETCH(QSize, wanted);
        QTEST(besideRect(main, wanted, QRect(0, 0, 1920, 1080)), "placed");
    }
};

QTEST_MAIN(TestWindowFeedback)
#include "tst_window_feedback.moc"
