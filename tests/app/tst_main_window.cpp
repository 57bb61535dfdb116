// The main window: tabs, frames, menus and caption at start-up, the guard on PLC commands while a
// transfer runs, closing during a transfer, "Upload from PLC" and project files.
#include "support/scripted_prompts.h"

#include "app/main_window.h"
#include "common/clock.h"
#include "common/command.h"
#include "common/errors.h"
#include "link/ini_file.h"
#include "link/plc_link.h"
#include "link/serial_line.h"
#include "modbus/modbus_port.h"
#include "modbus/uart_tab.h"
#include "onewire/aux_port.h"
#include "onewire/onewire_tab.h"
#include "project/project_file.h"

#include <QAction>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

// A line that opens (unless told to fail) and never answers.
class SilentLine final : public SerialLine
{
    Q_OBJECT
public:
    QString openFailure;
    int sends = 0;

    void open() override
    {
        if (!openFailure.isEmpty())
            throw PlatformError(openFailure);
        m_open = true;
    }
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    void send(const QByteArray &) override { ++sends; }
    QByteArray takeReceived() override { return {}; }

private:
    bool m_open = false;
};

const QString CaptionStart =
    QStringLiteral("PLC Cordavo v 466 for  STM32F103C8T6 from firmware G025 ");
const QString CaptionPort = QStringLiteral("  //Active port - COM ");

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    ScriptedPrompts m_prompts;
    SilentLine *m_line = nullptr;
    std::unique_ptr<MainWindow> m_window;

    QString iniPath() const { return m_dir->filePath(QStringLiteral("set.ini")); }
    void makeWindow()
    {
        auto line = std::make_unique<SilentLine>();
        m_line = line.get();
        m_window = std::make_unique<MainWindow>(iniPath(), std::move(line), &m_prompts);
    }
    QAction *action(const char *name) const
    {
        return m_window->findChild<QAction *>(QLatin1String(name));
    }
    // Starts, from the event loop, a transfer that opens the line, pauses pauseMs and writes once,
    // waiting timeoutMs for an answer that never comes. ended becomes true when the command has
    // returned.
    void startSilentTransfer(int pauseMs, int timeoutMs, bool &ended, bool &ranToItsEnd)
    {
        QTimer::singleShot(0, m_window.get(), [=, this, &ended, &ranToItsEnd] {
            ranToItsEnd = runCommand(m_prompts, [=, this] {
                LinkTransfer transfer(m_window->link(), iniPath());
                transfer.open();
                appClock().pause(pauseMs);
                m_window->link().Write_plc_block(timeoutMs, QStringLiteral("E11"),
                                                 QStringLiteral("3000"), QStringLiteral("02"),
                                                 QStringLiteral("FF0F"));
            });
            ended = true;
        });
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_prompts = ScriptedPrompts();
    }
    void cleanup()
    {
        m_window.reset();
        m_dir.reset();
    }

    void tabsHoldTheirFramesInOrder()
    {
        makeWindow();
        // Per tab: its caption, then each frame as name=caption.
        const QList<QStringList> expected = {
            {"HW config", "Frame5=Input-output configuration", "Frame4=General setting"},
            {"UART 1", "Frame1=Modbus general setting", "Frame_master=Modbus master configuration",
             "Frame_slave=Modbus slave setting"},
            {"UART 2", "Frame13=Modbus general setting",
             "Frame_master2=Modbus master configuration", "Frame_slave2=Modbus slave setting"},
            {"1-wire", "Frame2= Auxiliary port setting ", "USART3_setting=Field Net port setting",
             "Frame3=1-wire master configuration"},
            {"Modbus diag", "Frame6=Command panel", "Frame7=UART1 modbus error buffer",
             "Frame12=UART2 modbus error buffer"},
            {"1-wire diag", "Frame9=Command panel", "Frame8=1-wire error slave buffer"},
            {"Converter", "Frame10=Floating-point number to IEEE converter"},
        };
        QCOMPARE(m_window->objectName(), QStringLiteral("Main"));
        auto *tabs = m_window->findChild<QTabWidget *>();
        QVERIFY(tabs);
        QCOMPARE(tabs->count(), expected.size());
        for (int i = 0; i < expected.size(); ++i) {
            QCOMPARE(tabs->tabText(i), expected[i].first());
            QCOMPARE(tabs->widget(i)->findChildren<QGroupBox *>().size(), expected[i].size() - 1);
            for (const QString &frame : expected[i].mid(1)) {
                auto *box = tabs->widget(i)->findChild<QGroupBox *>(frame.section('=', 0, 0));
                QVERIFY2(box, qPrintable(frame));
                QCOMPARE(box->title(), frame.section('=', 1));
            }
        }
    }

    void menusHaveTheirItemsWithTheOffOnesGreyed()
    {
        makeWindow();
        // Each item as name=caption, with a leading '-' when it is greyed.
        auto check = [this](const char *menuName, const char *title, const QStringList &items) {
            auto *menu = m_window->menuBar()->findChild<QMenu *>(QLatin1String(menuName));
            QVERIFY2(menu, menuName);
            QCOMPARE(menu->title(), QLatin1String(title));
            QStringList actual;
            for (const QAction *a : menu->actions())
                actual << (a->isEnabled() ? "" : "-") + a->objectName() + '=' + a->text();
            QCOMPARE(actual, items);
        };
        check("menus", "&File",
              {"-New_config=New config", "Load_config=Load config", "Save_config=Save config",
               "-Print=Print", "-Save_app=Save app setting", "Exit=Exit"});
        check("plc", "PLC",
              {"Comm_setting=Comm. setting", "-check_config=Check config",
               "Search_1wire=Search 1-wire", "upload_from_plc=Upload from PLC",
               "-load_to_plc=Load to PLC"});
        const QList<QAction *> bar = m_window->menuBar()->actions();
        QCOMPARE(bar.size(), 3);
        QCOMPARE(bar[2]->objectName() + '=' + bar[2]->text(), QStringLiteral("about=About"));
        QVERIFY(!bar[2]->isEnabled());
    }

    // Start-up takes the caption and the line's settings from set.ini, opens nothing and reports
    // nothing, even for values the line refuses.
    void startUpFollowsSetIniQuietly_data()
    {
        QTest::addColumn<QStringList>("entries"); // key=value in section COM
        QTest::addColumn<QString>("port");        // as the caption shows it
        QTest::addColumn<QString>("settings");    // empty: not checked
        QTest::newRow("no set.ini") << QStringList{} << "1"
                                    << "9600,N,7,1";
        QTest::newRow("all stored")
            << QStringList{"Speed=4", "Parity=2", "Bit_num=1", "Stop_bit=1", "Port_num=2"} << "3"
            << "115200,E,8,1.5";
        QTest::newRow("speed 5, refused by the line") << QStringList{"Speed=5", "Port_num=4"} << "5"
                                                      << "";
        QTest::newRow("port not a whole number") << QStringList{"Port_num=two"} << "?"
                                                 << "";
    }
    void startUpFollowsSetIniQuietly()
    {
        QFETCH(QStringList, entries);
        QFETCH(QString, port);
        QFETCH(QString, settings);
        for (const QString &e : entries)
            Write_ini(iniPath(), "COM", e.section('=', 0, 0), e.section('=', 1));
        makeWindow();
        QCOMPARE(m_window->windowTitle(), CaptionStart + CaptionPort + port);
        if (!settings.isEmpty()) {
            QCOMPARE(m_line->settingsText(), settings);
            QCOMPARE(m_line->portNumber(), port.toInt());
        }
        QVERIFY(m_prompts.shown().isEmpty());
        QVERIFY(!m_line->isOpen());
        QCOMPARE(m_line->sends, 0);

        // The caption is renewed from set.ini when asked.
        Write_ini(iniPath(), "COM", "Port_num", "2");
        m_window->Change_main_caption();
        QCOMPARE(m_window->windowTitle(), CaptionStart + CaptionPort + '3');
    }

    void plcCommandsAreGreyedWhileATransferRuns()
    {
        makeWindow();
        auto *button = new QPushButton(QStringLiteral("Write to PLC"), m_window.get());
        auto *offButton = new QPushButton(QStringLiteral("Download to PLC"), m_window.get());
        offButton->setEnabled(false);
        m_window->registerPlcControl(button);
        m_window->registerPlcControl(offButton);
        m_window->show();
        const QList<QAction *> plcActions = {action("Comm_setting"), action("Search_1wire"),
                                             action("upload_from_plc")};
        bool ended = false, ranToItsEnd = false, greyed = false, othersUsable = false;
        startSilentTransfer(0, 300, ended, ranToItsEnd);
        QTimer::singleShot(100, m_window.get(), [&] { // inside the transfer's wait
            greyed = m_window->link().busy() && !button->isEnabled() && !offButton->isEnabled();
            for (QAction *a : plcActions)
                greyed = greyed && !a->isEnabled();
            othersUsable = action("Load_config")->isEnabled() && action("Exit")->isEnabled();
        });
        QTRY_VERIFY(ended);
        QVERIFY(greyed && othersUsable);
        QVERIFY(ranToItsEnd);
        QVERIFY(!m_line->isOpen());
        QVERIFY(button->isEnabled());
        for (QAction *a : plcActions)
            QVERIFY(a->isEnabled());
        // Greyed for their own reasons before, greyed after.
        QVERIFY(!offButton->isEnabled() && !action("check_config")->isEnabled());
    }

    void closingDuringATransferEndsIt_data()
    {
        QTest::addColumn<bool>("byExit");
        QTest::addColumn<int>("pauseMs");
        QTest::newRow("close box, waiting for an answer") << false << 0;
        QTest::newRow("File > Exit, waiting for an answer") << true << 0;
        // The close comes between two steps; the next exchange must not wait out its timeout.
        QTest::newRow("close box, in a pause") << false << 400;
    }
    void closingDuringATransferEndsIt()
    {
        QFETCH(bool, byExit);
        QFETCH(int, pauseMs);
        makeWindow();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));

        bool ended = false, ranToItsEnd = true, closedAtOnce = true, lineWasOpen = false;
        QElapsedTimer clock;
        clock.start();
        startSilentTransfer(pauseMs, 20000, ended, ranToItsEnd);
        QTimer::singleShot(100, m_window.get(), [&] {
            lineWasOpen = m_line->isOpen();
            if (byExit)
                action("Exit")->trigger();
            else
                closedAtOnce = m_window->close();
        });
        QTRY_VERIFY(ended);
        QVERIFY(clock.elapsed() < 10000);
        QVERIFY(lineWasOpen);
        if (!byExit)
            QVERIFY(!closedAtOnce); // held open until the transfer has unwound
        QVERIFY(!ranToItsEnd && !m_line->isOpen() && !m_window->link().busy());
        QTRY_VERIFY(!m_window->isVisible());
        QVERIFY(m_prompts.shown().isEmpty());
    }

    void uploadFromPlcRunsTheThreeUploadsEvenWhenEachFails()
    {
        makeWindow();
        m_line->openFailure = QStringLiteral("COM1 (/dev/ttyUSB0): no such device");
        // One more upload, whose failure escapes it: shown, and it does not stop the others.
        m_window->registerUpload([] { throw PlatformError(QStringLiteral("extra went wrong")); });
        action("upload_from_plc")->trigger();
        QCOMPARE(m_prompts.messages(),
                 (QStringList{m_line->openFailure, m_line->openFailure, m_line->openFailure,
                              QStringLiteral("extra went wrong")}));
        QVERIFY(!m_window->link().busy());
        QCOMPARE(m_window->uart1Tab()->port().mode(), PortMode::NotUse);
        QCOMPARE(m_window->onewireTab()->auxPort().mode(), AuxMode::NotUse);
    }

    void closingDuringUploadFromPlcSkipsTheRest()
    {
        makeWindow();
        m_window->show();
        bool ended = false;
        QTimer::singleShot(0, m_window.get(), [&] {
            action("upload_from_plc")->trigger();
            ended = true;
        });
        // The silent PLC keeps UART 1's first read waiting when the window is closed.
        QTimer::singleShot(100, m_window.get(), [&] { m_window->close(); });
        QTRY_VERIFY(ended);
        QCOMPARE(m_line->sends, 1);
        QTRY_VERIFY(!m_window->isVisible());
        QVERIFY(!m_line->isOpen());
        QVERIFY(m_prompts.messages().isEmpty());
    }

    void projectFilesLoadIntoTheTabsAndSaveFromThem()
    {
        makeWindow();
        const QString fixture = QFINDTESTDATA("../fixtures/project/sound.dpc");
        m_prompts.queueFile(fixture);
        action("Load_config")->trigger();
        QVERIFY2(m_prompts.messages().isEmpty(), qPrintable(m_prompts.messages().join('|')));
        QCOMPARE(m_window->uart1Tab()->port().mode(), PortMode::Master);
        QCOMPARE(m_window->uart1Tab()->port().slaves().itemCount(), 2);
        QCOMPARE(m_window->onewireTab()->auxPort().mode(), AuxMode::OnewireMaster);
        QCOMPARE(m_window->onewireTab()->auxPort().sensors().sensorCount(), 1);

        const QString saved = m_dir->filePath(QStringLiteral("again.dpc"));
        m_prompts.queueFile(saved);
        action("Save_config")->trigger();
        QFile a(fixture), b(saved);
        QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        QCOMPARE(b.readAll(), a.readAll());

        // A cancelled chooser says so and changes nothing.
        action("Load_config")->trigger();
        QCOMPARE(m_prompts.messages(), QStringList{cancelledChoiceMessage()});
        QCOMPARE(m_window->uart1Tab()->port().slaves().itemCount(), 2);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
