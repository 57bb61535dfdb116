// The frame monitor opened from the PLC menu, watching UART 1 writes on the simulated PLC.
#include "support/file_size_limit.h"
#include "support/sim_bench.h"
#include "support/widget_driver.h"

#include "app/main_window.h"
#include "app/status_bar.h"
#include "link/plc_link.h"
#include "monitor/frame_log_model.h"
#include "monitor/frame_monitor.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTableView>
#include <QtTest>

#include <memory>

namespace {
// The rows of a UART 1 write of the sound project: direction and meaning.
const QStringList SoundWrite = {
    ">\tconfiguration bracket open",
    "<\tanswer: accepted",
    ">\tUART 1 port word: Modbus master, 115200, None, 2 slaves",
    "<\tanswer: accepted",
    ">\tUART 1 slave records, slots 1 to 2",
    "<\tanswer: accepted",
    ">\tconfiguration bracket close",
    "<\tanswer: accepted",
    ">\tcontrol word: restart polling",
    "<\tanswer: accepted",
};
} // namespace

class TestFrameMonitor : public QObject
{
    Q_OBJECT

    std::unique_ptr<Bench> m_bench;
    sim::SimulatedLine *m_line = nullptr; // the window's
    std::unique_ptr<MainWindow> m_window;
    WidgetDriver ui;

    FrameMonitor *monitor() { return m_window->findChild<FrameMonitor *>(); }
    FrameLogModel &log() { return monitor()->log(); }
    void openMonitor()
    {
        ui.find<QAction>(QStringLiteral("Frame_monitor"))->trigger();
        QVERIFY(monitor() && QTest::qWaitForWindowActive(monitor()));
        // On the screen, whatever room the main window leaves.
        QVERIFY2(monitor()->screen()->availableGeometry().contains(monitor()->frameGeometry()),
                 qPrintable(QDebug::toString(monitor()->frameGeometry()) +
                            QDebug::toString(m_window->frameGeometry())));
        ui.setRoot(monitor());
    }
    void writeUart1()
    {
        WidgetDriver(m_window.get()).find<QPushButton>("Command19")->click();
        finish(m_window->link());
    }
    // Direction and meaning of the rows from `from` on; a separator as its text.
    QStringList rows(int from = 0)
    {
        QStringList shown;
        for (int row = from; row < log().rowCount(); ++row) {
            const QStringList cells = log().rowText(row).split('\t');
            shown << (cells[1].isEmpty() ? cells[2] : cells[1] + '\t' + cells[3]);
        }
        return shown;
    }
    // The times of the sends on the window's line, from the first one.
    QList<qint64> sendTimes(QList<QByteArray> &sends)
    {
        QList<qint64> times;
        const auto recording =
            connect(m_line, &SerialLine::sent, this, [&] { times << m_bench->clock.nowMs(); });
        const qsizetype before = m_line->sends().size();
        writeUart1();
        disconnect(recording);
        sends = m_line->sends().mid(before);
        const qint64 start = times.value(0);
        for (qint64 &t : times)
            t -= start;
        return times;
    }

private Q_SLOTS:
    void init()
    {
        m_window.reset();
        m_bench = std::make_unique<Bench>();
        m_line = new sim::SimulatedLine(m_bench->plc(), m_bench->clock);
        m_window = std::make_unique<MainWindow>(m_bench->ini(), std::unique_ptr<SerialLine>(m_line),
                                                &m_bench->prompts, &m_bench->clock);
        ui.setRoot(m_window.get());
        m_bench->prompts.queueFile(QFINDTESTDATA("../fixtures/project/sound.dpc"));
        ui.find<QAction>(QStringLiteral("Load_config"))->trigger();
    }
    void cleanup() { m_window.reset(); }

    void aWriteAndATimeoutShowDecodedInOrder()
    {
        openMonitor();
        writeUart1();
        const QRegularExpression separator(
            QStringLiteral("^Write to PLC, UART 1, \\d\\d:\\d\\d:\\d\\d$"));
        QVERIFY2(separator.match(rows().value(0)).hasMatch(), qPrintable(rows().value(0)));
        QCOMPARE(rows(1), SoundWrite);

        m_bench->plc().faults().silent = true;
        const int before = log().rowCount();
        writeUart1();
        QCOMPARE(m_bench->prompts.messages().last(), "Answer timeout from PLC");
        QCOMPARE(rows(before + 1),
                 QStringList({">\tconfiguration bracket open", "<\tno answer within 1000 ms"}));
    }

    // Closing the window while the PLC is slow to answer cuts the command short at once: the
    // line is closed, the status bar and the monitor say it was aborted, then the window goes.
    void closingTheWindowMidTransferAbortsIt_data()
    {
        QTest::addColumn<QString>("command"); // a control's name
        QTest::newRow("Write to PLC") << "Command19";
        QTest::newRow("Load to PLC") << "load_to_plc";
    }
    void closingTheWindowMidTransferAbortsIt()
    {
        QFETCH(QString, command);
        m_window->show();
        openMonitor();
        m_bench->plc().faults().delayMs = 300;
        const qint64 start = m_bench->clock.nowMs();
        qint64 closedAt = -1;
        const auto closing = m_bench->clock.callAfter(450, [&] {
            closedAt = m_bench->clock.nowMs();
            m_window->close();
        });
        WidgetDriver driver(m_window.get());
        if (command.startsWith("Command"))
            driver.find<QPushButton>(command)->click();
        else
            driver.find<QAction>(command)->trigger();
        finish(m_window->link());
        QCOMPARE(closedAt - start, 450);
        QVERIFY(!m_line->isOpen());
        QCOMPARE(m_window->status().outcomeText().chopped(9), // the time
                 "UART 1 write stopped after 2 of 5 frames: the PLC may hold a partial "
                 "configuration (aborted)");
        // The answer that was on its way comes late and is dropped with the drain.
        QCOMPARE(rows().count(QStringLiteral("<\taborted")), 1);
        QTRY_VERIFY(!m_window->isVisible());
        QVERIFY(m_bench->prompts.messages().isEmpty()); // an abort is no failure to report
    }

    // Frames and their times on the line are the same with the monitor open and closed.
    void theMonitorChangesNoTransfer()
    {
        QList<QByteArray> closed, open;
        const QList<qint64> closedTimes = sendTimes(closed);
        openMonitor();
        const QList<qint64> openTimes = sendTimes(open);
        QCOMPARE(open.size(), 5);
        QCOMPARE(open, closed);
        QCOMPARE(openTimes, closedTimes);
        // Those sent before it was opened are there too.
        QCOMPARE(log().frames(), 20);
        QCOMPARE(rows(12), SoundWrite);
    }

    void pauseFilterCopySaveAndClear()
    {
        openMonitor();
        writeUart1();
        auto *view = ui.find<QTableView>(QStringLiteral("Frames"));
        auto *counts = ui.find<QLabel>(QStringLiteral("Counts"));
        QTest::keyClicks(ui.find<QLineEdit>(QStringLiteral("Filter")), "ACCEPTED");
        QCOMPARE(view->model()->rowCount(), 5);
        QCOMPARE(counts->text(), "5 of 10 frames shown");
        writeUart1(); // the count follows the rows that come
        QCOMPARE(counts->text(), "10 of 20 frames shown");
        view->selectRow(0);
        view->setFocus();
        QTest::keySequence(view, QKeySequence::Copy);
        QCOMPARE(QGuiApplication::clipboard()->text().section('\t', 1),
                 "<\t<ACK>\tanswer: accepted\n");
        ui.find<QLineEdit>(QStringLiteral("Filter"))->clear();
        QCOMPARE(counts->text(), "20 frames");

        // Every column is saved, the time of day when it is shown.
        ui.find<QCheckBox>(QStringLiteral("ClockTime"))->click();
        const QString path = m_bench->dir.filePath(QStringLiteral("frames.txt"));
        m_bench->prompts.queueFile(path);
        ui.click(QStringLiteral("Save"));
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QByteArray savedBytes = saved.readAll();
        const QList<QByteArray> lines = savedBytes.split('\n');
        QCOMPARE(lines.size(), 1 + 22 + 1);
        QCOMPARE(lines[0], "Time\tDir\tFrame\tMeaning");
        QVERIFY(lines[1].contains("\t\tWrite to PLC, UART 1, "));
        const QList<QByteArray> open = lines[2].split('\t');
        QVERIFY2(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d$")
                     .match(QString::fromLatin1(open[0]))
                     .hasMatch(),
                 open[0]);
        QCOMPARE(open.mid(1), (QList<QByteArray>{">", "<STX>E113000020FFF<ETX>D1",
                                                 "configuration bracket open"}));
#ifdef Q_OS_UNIX
        // With no room for it, the log saved before stays and the message says why.
        {
            const FileSizeLimit noRoom(100);
            m_bench->prompts.queueFile(path);
            ui.click(QStringLiteral("Save"));
        }
        QCOMPARE(m_bench->prompts.messages().last(), "Cannot write " + path + ": File too large");
        QFile kept(path);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), savedBytes);
#endif

        // Paused, the rows wait and come on resume.
        ui.click(QStringLiteral("Pause"));
        writeUart1();
        QCOMPARE(log().rowCount(), 22);
        QCOMPARE(counts->text(), "30 frames, 10 held while paused");
        ui.click(QStringLiteral("Pause"));
        QCOMPARE(rows(23), SoundWrite);
        QCOMPARE(counts->text(), "30 frames");
        ui.click(QStringLiteral("Clear"));
        QCOMPARE(log().rowCount(), 0);
        QCOMPARE(counts->text(), "0 frames");
    }
};

QTEST_MAIN(TestFrameMonitor)
#include "tst_frame_monitor.moc"
