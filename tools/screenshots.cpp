// plc-screenshots: the README's pictures of the window, remade by scripts/screenshots.sh under
// Xvfb. The window runs on plc-sim --demo (what plc-config --demo shows) at a fixed size; each
// picture is the whole screen, so dialogs and the frame monitor are in it where they open.
//   plc-screenshots OUTPUT-FOLDER

#include "app/main_window.h"
#include "link/device_map.h"
#include "link/ini_file.h"
#include "link/qt_serial_line.h"
#include "link/serial_devices.h"
#include "monitor/frame_monitor.h"
#include "production/production_run.h"
#include "production/production_window.h"
#include "project/project_file.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

// The screen (or one window) as it is once what was asked for has been painted.
void shoot(const QString &folder, const char *name, QWidget *window = nullptr)
{
    QEventLoop settle;
    QTimer::singleShot(400, &settle, &QEventLoop::quit);
    settle.exec();
    const QString path = QDir(folder).filePath(QLatin1String(name) + QStringLiteral(".png"));
    const QPixmap picture =
        window ? window->grab() : QGuiApplication::primaryScreen()->grabWindow(0);
    if (!picture.save(path))
        std::fprintf(stderr, "plc-screenshots: cannot write %s\n", qPrintable(path));
    std::printf("%s\n", qPrintable(path));
    std::fflush(stdout);
}

// Runs act on the next modal dialog once it is shown, then closes it.
void onModal(const std::function<void(QWidget *)> &act)
{
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
        QWidget *dialog = QApplication::activeModalWidget();
        if (!dialog || !dialog->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        act(dialog);
        dialog->close();
    });
    poll->start(50);
}

template <class T = QWidget> T *control(QWidget *root, const char *name)
{
    T *found = root->findChild<T *>(QLatin1String(name));
    if (!found) {
        std::fprintf(stderr, "plc-screenshots: no control %s\n", name);
        std::exit(1);
    }
    return found;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("plc-config"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PLC_CONFIG_VERSION));
    if (argc != 2) {
        std::fprintf(stderr, "usage: plc-screenshots OUTPUT-FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir work;

    const QString ini = work.filePath(QStringLiteral("set.ini"));
    const auto fixedWindow = [&ini] {
        auto window =
            std::make_unique<MainWindow>(ini, std::make_unique<QtSerialLine>([ini](int comNumber) {
                                             return comDevice(comNumber, ini);
                                         }));
        window->setGeometry(QGuiApplication::primaryScreen()->geometry());
        window->show();
        return window;
    };
    {
        // A first run: no set.ini, the start panel, and the COM-port dialog with the serial
        // devices found.
        const auto first = fixedWindow();
        shoot(folder, "first-start", first.get());
        onModal([&](QWidget *) { shoot(folder, "com-port-setting"); });
        control<QAction>(first.get(), "Comm_setting")->trigger();
    }
    // The other pictures show the window as it is once the start panel was put away.
    Write_ini(ini, QStringLiteral("Options"), QStringLiteral("StartPanel"), QStringLiteral("0"));

    // The simulated PLC, as --demo has it, except that it leaves the UART 1 error buffer
    // unanswered (a silent PLC for the monitor's picture); every COM number leads to it.
    QProcess sim;
    const QString link = work.filePath(QStringLiteral("plc"));
    sim.start(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("plc-sim")),
              {QStringLiteral("--demo"), QStringLiteral("--search-delay"), QStringLiteral("500"),
               QStringLiteral("--silent-at"), QStringLiteral("3600"), QStringLiteral("--link"),
               link});
    if (!sim.waitForReadyRead(10000)) {
        std::fprintf(stderr, "plc-screenshots: plc-sim did not start\n");
        return 1;
    }
    for (int com = 1; com <= 10; ++com)
        setComOverride(com, link);

    const auto demo = fixedWindow();
    MainWindow &window = *demo;
    auto *tabs = control<QTabWidget>(&window, "tabs");
    auto trigger = [&](const char *name) { control<QAction>(&window, name)->trigger(); };
    shoot(folder, "start-up");

    trigger("upload_from_plc");
    tabs->setCurrentIndex(1);
    shoot(folder, "uart1-master-table");

    tabs->setCurrentIndex(3);
    onModal([&](QWidget *dialog) {
        control<QAbstractButton>(dialog, "Command2")->click(); // "Start search"
        shoot(folder, "onewire-search");
    });
    trigger("Search_1wire");

    tabs->setCurrentIndex(6);
    control<QLineEdit>(&window, "Text13")->setText(QStringLiteral("3.14159"));
    control<QAbstractButton>(&window, "Command22")->click(); // "To IEEE"
    control<QLineEdit>(&window, "Text15")->setText(QStringLiteral("42F6E979"));
    control<QAbstractButton>(&window, "Command23")->click(); // "To float"
    shoot(folder, "converter");

    // The monitor, a window of its own, during an upload that replaces the changed project.
    tabs->setCurrentIndex(1);
    trigger("Frame_monitor");
    auto *monitor = control<FrameMonitor>(&window, "FrameMonitor");
    monitor->resize(window.width() * 8 / 10, window.height() * 6 / 10);
    onModal([](QWidget *question) {
        if (auto *box = qobject_cast<QMessageBox *>(question))
            box->button(QMessageBox::Discard)->click();
    });
    trigger("upload_from_plc");
    shoot(folder, "frame-monitor", monitor);

    // UART 1 written with verify on: the status bar says how it ended.
    control<QAbstractButton>(monitor, "Clear")->click();
    control<QAction>(&window, "verify_after_write")->setChecked(true);
    onModal([](QWidget *question) {
        if (auto *box = qobject_cast<QMessageBox *>(question))
            box->button(QMessageBox::Ok)->click();
    });
    control<QAbstractButton>(&window, "Command19")->click(); // "Write to PLC"
    shoot(folder, "written-and-verified", &window);

    // The monitor after that write and a read the PLC leaves unanswered.
    tabs->setCurrentIndex(4);
    onModal([](QWidget *) {});                              // "Answer timeout from PLC", closed
    control<QAbstractButton>(&window, "Command4")->click(); // "Read modbus buffer 1"
    monitor->raise();
    shoot(folder, "frame-monitor-timeout", monitor);

    // The diagnostics tabs on a PLC with the demo plant behind it: once its polls have come
    // round, the error buffers hold what the slaves and sensors answered.
    monitor->close();
    QProcess plantPlc;
    const QString plantLink = work.filePath(QStringLiteral("plant-plc"));
    plantPlc.start(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("plc-sim")),
                   {QStringLiteral("--demo"), QStringLiteral("--plant"),
                    QStringLiteral(PLC_EXAMPLES_DIR "/demo-plant.json"), QStringLiteral("--link"),
                    plantLink});
    if (!plantPlc.waitForReadyRead(10000)) {
        std::fprintf(stderr, "plc-screenshots: plc-sim did not start\n");
        return 1;
    }
    for (int com = 1; com <= 10; ++com)
        setComOverride(com, plantLink);
    const auto wait = [](int ms) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    };
    wait(3000);
    tabs->setCurrentIndex(4);
    control<QAbstractButton>(&window, "Command4")->click(); // "Read modbus buffer 1"
    wait(1000);
    control<QAbstractButton>(&window, "Command6")->click(); // "Read modbus buffer 2"
    shoot(folder, "modbus-diag", &window);
    tabs->setCurrentIndex(5);
    control<QAbstractButton>(&window, "Command5")->click(); // "Read 1-wire buffer"
    shoot(folder, "onewire-diag", &window);
    plantPlc.terminate();
    plantPlc.waitForFinished();

    // The production window after writing and verifying eight PLCs at once, each a plc-sim of
    // its own; the serial devices of the machine taking the pictures are left out.
    setSerialDeviceSource([] { return QList<SerialDevice>(); });
    std::vector<std::unique_ptr<QProcess>> cabinet;
    for (int i = 1; i <= 8; ++i) {
        auto &plc = *cabinet.emplace_back(std::make_unique<QProcess>());
        plc.start(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("plc-sim")),
                  {QStringLiteral("--link"), work.filePath(QStringLiteral("plc%1").arg(i))});
        if (!plc.waitForReadyRead(10000)) {
            std::fprintf(stderr, "plc-screenshots: plc-sim did not start\n");
            return 1;
        }
    }
    const QString project = work.filePath(QStringLiteral("cabinet.dpc"));
    ProjectRecord record;
    Fill_project_record(record, window.projectPorts());
    writeProjectFile(project, record);
    Write_ini(ini, QStringLiteral("Production"), QStringLiteral("Log"),
              work.filePath(QStringLiteral("units.jsonl")));
    trigger("production");
    auto *production = control<ProductionWindow>(&window, "Production");
    for (int i = 1; i <= 8; ++i)
        production->addPort(work.filePath(QStringLiteral("plc%1").arg(i)));
    production->setProject(project);
    QEventLoop written;
    QObject::connect(&production->run(), &ProductionRun::finished, &written, &QEventLoop::quit);
    control<QAbstractButton>(production, "writeAll")->click();
    written.exec();
    shoot(folder, "production", production);
    for (auto &plc : cabinet) {
        plc->terminate();
        plc->waitForFinished();
    }

    sim.terminate();
    sim.waitForFinished();
    return 0;
}
