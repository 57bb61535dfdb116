// Prints how responsive the window stays: the longest the event loop goes without serving a 1 ms
// timer during a 128-slave write, its upload, a bus search finding 128 sensors and an error
// buffer read, all on plc-sim --wire; then the time from starting the program to a shown window
// and the resident memory of the idle window. Runs on the platform Qt is given
// (QT_QPA_PLATFORM=offscreen, or a display such as Xvfb's). With --smoke, small tables and one
// start-up.
#include "bench_support.h"

#include "app/main_window.h"
#include "link/com_setting.h"
#include "link/config_location.h"
#include "link/device_map.h"
#include "link/line_settings.h"
#include "link/plc_link.h"
#include "link/qt_serial_line.h"
#include "tabs/error_buffer_tab.h"
#include "tabs/onewire_tab.h"
#include "tabs/uart_tab.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <QCoroTask>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

const QString LineText = QStringLiteral("115200,E,8,1");
const char *const StartupChild = "--startup-child";

// Answers what the window asks as a user would: OK to every message box and question, "Discard"
// when unsaved changes are about to be replaced (a benchmark saves no file), and in the search
// dialog "Start search", then "Replace all in the table" once the sensors are found. A dialog
// that stays open longer than any step takes ends the benchmark with a failure, so a question
// nobody answers cannot hang it.
class AutoPilot
{
public:
    AutoPilot()
    {
        QObject::connect(&m_poll, &QTimer::timeout, [this] { look(); });
        m_poll.start(10);
        m_modalFor.start();
    }

private:
    static constexpr qint64 LongestModalMs = 60000;

    void look()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal != m_modal) {
            m_modal = modal;
            m_modalFor.restart();
        } else if (modal && m_modalFor.elapsed() > LongestModalMs) {
            const auto *box = qobject_cast<QMessageBox *>(modal);
            std::fprintf(stderr, "bench_window: nobody answers \"%s\"\n",
                         qPrintable(box ? box->text() : modal->windowTitle()));
            std::fflush(stdout);
            std::_Exit(1);
        }
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            for (const auto answer : {QMessageBox::Ok, QMessageBox::Discard}) {
                if (QAbstractButton *button = box->button(answer)) {
                    button->click();
                    return;
                }
            }
            return;
        }
        if (!modal || modal->objectName() != QLatin1String("Search_onewire"))
            return;
        auto *start = modal->findChild<QPushButton *>(QStringLiteral("Command2"));
        auto *replace = modal->findChild<QPushButton *>(QStringLiteral("Command4"));
        if (!start || !replace || !start->isEnabled())
            return;
        // Clicked from the event loop: each runs a transfer or closes the dialog.
        QPushButton *next = m_searchStarted == modal ? replace : start;
        m_searchStarted = modal;
        QTimer::singleShot(0, next, &QPushButton::click);
    }

    QTimer m_poll;
    QWidget *m_searchStarted = nullptr;
    QWidget *m_modal = nullptr;
    QElapsedTimer m_modalFor;
};

void waitMs(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// The program's start-up, as main() does it: prints "shown" at the window's first paint, then
// the resident memory once it has been idle a while.
int startupChild(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("plc-config"));
    const QString iniPath = defaultSetIniPath(QString::fromLocal8Bit(argv[2]));
    MainWindow window(iniPath, std::make_unique<QtSerialLine>([iniPath](int comNumber) {
                          return comDevice(comNumber, iniPath);
                      }));
    struct FirstPaint : QObject
    {
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::Paint && !seen) {
                seen = true;
                std::printf("shown\n");
                std::fflush(stdout);
            }
            return false;
        }
        bool seen = false;
    } firstPaint;
    window.installEventFilter(&firstPaint);
    window.show();
    QTimer::singleShot(2000, [] {
        std::printf("%ld\n", residentKb());
        std::fflush(stdout);
        QCoreApplication::quit();
    });
    return QApplication::exec();
}

// False when the window did not show.
bool startup(const char *self, int runs)
{
    std::vector<double> shown;
    long rssKb = -1;
    for (int run = 0; run < runs; ++run) {
        QTemporaryDir config; // a first run's: no set.ini yet
        QProcess child;
        QElapsedTimer timer;
        timer.start();
        child.start(QString::fromLocal8Bit(self), {QLatin1String(StartupChild), config.path()});
        while (!child.canReadLine() && child.waitForReadyRead(10000)) {
        }
        if (child.readLine().trimmed() != "shown") {
            std::fprintf(stderr, "the window did not show\n");
            return false;
        }
        shown.push_back(timer.nsecsElapsed() / 1e6);
        if (child.waitForFinished(10000))
            rssKb = child.readAll().trimmed().toLong();
    }
    std::sort(shown.begin(), shown.end());
    std::printf("\nstart-up to a shown window: median %.0f ms (of %zu runs, %.0f to %.0f ms)\n"
                "resident memory of the idle window: %.1f MB\n",
                shown[shown.size() / 2], shown.size(), shown.front(), shown.back(), rssKb / 1024.0);
    return rssKb > 0;
}

// False when a step left the window without what it should have brought.
bool latency(int rows, int idleMs)
{
    bench::Sim sim;
    if (!sim.start({QStringLiteral("--wire"), QStringLiteral("--line"), LineText,
                    QStringLiteral("--sensors"), QString::number(rows)}))
        return false;
    QTemporaryDir config;
    const QString ini = config.filePath(QStringLiteral("set.ini"));
    const LineSettings line = LineSettings::parse(LineText);
    ComSetting com;
    com.speed = static_cast<int>(LineChoices::portSpeeds().indexOf(QString::number(line.baudRate)));
    com.parity = static_cast<int>(LineChoices::parityLetters().indexOf(QStringLiteral("E")));
    com.bitNum = static_cast<int>(LineChoices::dataBits().indexOf(QStringLiteral("8")));
    writeComSetting(ini, com);
    // The search dialog opens a line of its own: every COM number leads to the simulated PLC.
    for (int n = 1; n <= 10; ++n)
        setComOverride(n, sim.link());

    MainWindow window(ini,
                      std::make_unique<QtSerialLine>([ini](int n) { return comDevice(n, ini); }));
    window.show();
    waitMs(300);
    bench::fillSlaves(window.uart1Tab()->port(), rows);
    AutoPilot pilot;
    bench::LatencyProbe probe;

    auto button = [&](const char *name) {
        return [&window, name] {
            if (auto *b = window.findChild<QPushButton *>(QLatin1String(name)))
                b->click();
        };
    };
    const QByteArray slaves = QByteArray::number(rows) + " slaves";
    const struct
    {
        QByteArray name;
        std::function<void()> act;
    } steps[] = {
        {"idle window, " + QByteArray::number(idleMs) + " ms", [idleMs] { waitMs(idleMs); }},
        {"UART 1 write, " + slaves, button("Command19")},
        {"UART 1 upload, " + slaves, button("Command20")},
        {"bus search, " + QByteArray::number(rows) + " sensors",
         [&] { window.search1wireAction()->trigger(); }},
        {"UART 1 error buffer read", button("Command4")},
    };
    std::printf("longest the window's event loop was busy, on plc-sim --wire at %s\n",
                qPrintable(LineText));
    for (const auto &step : steps) {
        QElapsedTimer timer;
        timer.start();
        probe.reset();
        step.act();
        // A click starts its command; the step lasts until the command has let go of the line.
        QCoro::waitFor(window.link().idle());
        std::printf("%-28s %6.1f ms  (the step took %.2f s)\n", step.name.constData(),
                    probe.longestMs(), timer.nsecsElapsed() / 1e9);
        std::fflush(stdout);
    }
    // What the steps left in the window, so a step that did nothing shows.
    const int slavesHeld = window.uart1Tab()->port().slaves().itemCount();
    const int sensorsHeld = window.onewireTab()->auxPort().sensors().sensorCount();
    const int errorRows = window.modbusDiagTab()->bufferTable(0)->itemCount();
    std::printf("afterwards: UART 1 holds %d slaves, the 1-wire table %d sensors, the UART 1 "
                "error grid %d rows\n",
                slavesHeld, sensorsHeld, errorRows);
    window.close();
    return slavesHeld == rows && sensorsHeld == rows && errorRows > 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 2 && qstrcmp(argv[1], StartupChild) == 0)
        return startupChild(argc, argv);
    const bool smoke = bench::smokeRun(argc, argv);
    bool ok = false;
    {
        QApplication app(argc, argv);
        ok = latency(smoke ? 8 : 128, smoke ? 200 : 1000);
    }
    ok = startup(argv[0], smoke ? 1 : 5) && ok;
    return ok ? 0 : 1;
}
