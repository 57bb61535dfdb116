#include "app/main_window.h"
#include "cli/cli.h"
#include "common/errors.h"
#include "link/com_setting.h"
#include "link/config_location.h"
#include "link/device_map.h"
#include "link/port_choice.h"
#include "link/port_line.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QGuiApplication>
#include <QIcon>
#include <QLoggingCategory>
#include <QTextStream>
#include <QTimer>

#include <QCoroTask>

#ifdef Q_OS_UNIX
#include "sim/demo_plc.h"
#include "sim/plant.h"
#include "sim/plant_poller.h"
#include "sim/plc_model.h"
#include "sim/pty_server.h"
#include "sim/rtu_line.h"
#endif

#include <memory>
#include <optional>

namespace {

// Only the window needs a display: --help, --version and the command-line commands must work
// over ssh and in scripts, so they get a core application.
bool wantsWindow(const QStringList &arguments)
{
    for (const QString &arg : arguments.mid(1)) {
        if (arg == QLatin1String("-h") || arg == QLatin1String("--help") ||
            arg == QLatin1String("--help-all") || arg == QLatin1String("-?") ||
            arg == QLatin1String("-v") || arg == QLatin1String("--version"))
            return false;
    }
    return !Cli::isCommandLine(arguments);
}

#ifdef Q_OS_UNIX
// The simulated PLC of --demo and of the COM-port dialog's "Simulated PLC", served on a
// pseudo-terminal inside this process, with the demo plant behind it so that the diagnostics
// tabs have something real to find.
class PtySimulatedPlc final : public SimulatedPlc
{
public:
    PtySimulatedPlc()
        : m_server(m_plc), m_plant(m_plc, [] { return std::make_unique<sim::RtuLine>(); })
    {
        // Qt's Modbus slaves warn of every piece of a request that arrives before its end, as
        // the plant's paced line delivers it.
        QLoggingCategory::setFilterRules(QStringLiteral("qt.modbus.warning=false"));
        sim::fillDemoPlc(m_plc);
        m_plant.setPlant(sim::demoPlant());
        m_plant.reconfigure();
        if (!m_server.start())
            throw PlatformError(
                QCoreApplication::translate("main", "The simulated PLC cannot start: %1")
                    .arg(m_server.errorString()));
    }
    QString devicePath() const override { return m_server.devicePath(); }

private:
    sim::PlcModel m_plc;
    sim::PtyServer m_server;
    sim::PlantPoller m_plant;
};
#endif

// What --port and --line ask of the window for this run: a COM number, device or serial server
// instead of the one set.ini names, settings instead of section "COM". The COM-port dialog's "OK"
// ends both.
struct RunPort
{
    std::optional<PortChoice> port;
    QString line;
};

// The window on the PLC at the COM port set.ini names; the COM number is mapped to its device or
// serial server at every open, so a changed mapping needs no restart.
int runWindow(const QString &iniPath, const RunPort &run)
{
    auto line = std::make_unique<PortLine>(
        [iniPath](int comNumber) { return comDevice(comNumber, iniPath); });
    try {
        if (run.port && run.port->kind == PortChoice::Kind::Com) {
            line->pinPortNumber(run.port->comNumber);
        } else if (run.port && !run.port->target().isEmpty()) {
            // The device or server stands behind the COM number set.ini names, for this run only.
            const int comNumber = readComSetting(iniPath).portNumber();
            setComOverride(comNumber, run.port->target());
            line->pinPortNumber(comNumber);
        } else if (run.port) {
            useSimulatedPlc();
            // Its device, for the command line or a terminal to reach the same PLC.
            QTextStream(stdout) << "Simulated PLC on " << simulatedPlcDevice() << Qt::endl;
        }
        if (!run.line.isEmpty())
            line->pinSettings(run.line);
    } catch (const CommandError &e) {
        // A simulated PLC started already goes while the application is still there.
        clearComOverrides();
        QTextStream(stderr) << "plc-config: " << e.description() << Qt::endl;
        return 2;
    }
    MainWindow window(iniPath, std::move(line));
    window.show();
    const int status = QApplication::exec();
    // The simulated PLC's pseudo-terminal goes while the event loop's objects are still there.
    clearComOverrides();
    return status;
}

// The command, run to its end in the event loop, ends the loop with its exit status, logged as
// the last thing it does.
QCoro::Task<> runCliToExit()
{
    int status = 1;
    try {
        status = co_await Cli::run(QCoreApplication::arguments());
    } catch (...) {
        // Nobody awaits this task: the loop must end whatever the command met.
    }
    qCDebug(plcCliLog) << "exit status" << status;
    QCoreApplication::exit(status);
}

int runCli()
{
    // Started once the loop runs, so that a command that ends at once still ends the loop.
    QTimer::singleShot(0, QCoreApplication::instance(), [] { runCliToExit(); });
    return QCoreApplication::exec();
}

} // namespace

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (!wantsWindow(arguments)) {
        // A command that lays out pages needs fonts, hence a graphical application; it shows no
        // window, so it runs offscreen unless told otherwise (over ssh, in scripts).
        std::unique_ptr<QCoreApplication> app;
        if (Cli::needsGuiApplication(arguments)) {
            if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
                qputenv("QT_QPA_PLATFORM", "offscreen");
            app = std::make_unique<QGuiApplication>(argc, argv);
        } else {
            app = std::make_unique<QCoreApplication>(argc, argv);
        }
        QCoreApplication::setApplicationName(QStringLiteral("plc-config"));
        QCoreApplication::setApplicationVersion(QStringLiteral(PLC_CONFIG_VERSION));
        return runCli();
    }
    const auto app = std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("plc-config"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PLC_CONFIG_VERSION));
    // The desktop entry's name and icon, so the desktop shows the window as that entry's.
    QGuiApplication::setDesktopFileName(QStringLiteral("plc-config"));
    QIcon icon;
    for (const char *size : {"48", "256"})
        icon.addFile(QStringLiteral(":/icons/%1/plc-config.png").arg(QLatin1String(size)));
    QApplication::setWindowIcon(icon);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Prepares the configuration of the PLC and moves it to and from the PLC "
                       "over a serial port."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption configDir(
        QStringLiteral("config-dir"),
        QStringLiteral("Folder of set.ini (default: beside the program, or the user's "
                       "configuration folder when that one cannot be written)."),
        QStringLiteral("DIR"));
    parser.addOption(configDir);
    const QCommandLineOption port(
        QStringLiteral("port"),
        QStringLiteral("The PLC's port for this run: COM1 to COM10, a device path, or a serial "
                       "server as rfc2217://HOST:PORT or tcp://HOST:PORT (default: set.ini)."),
        QStringLiteral("PORT"));
    parser.addOption(port);
    const QCommandLineOption lineSettings(
        QStringLiteral("line"),
        QStringLiteral("Line settings for this run, such as 115200,E,8,1 (default: set.ini "
                       "section COM)."),
        QStringLiteral("SETTINGS"));
    parser.addOption(lineSettings);
#ifdef Q_OS_UNIX
    const QCommandLineOption demo(QStringLiteral("demo"),
                                  QStringLiteral("Open the window on a built-in simulated PLC."));
    parser.addOption(demo);
    setSimulatedPlcFactory([] { return std::make_unique<PtySimulatedPlc>(); });
#endif
    // Arguments the window cannot take get the command line's usage and exit status.
    if (!parser.parse(QCoreApplication::arguments()))
        return runCli();

    RunPort run;
    run.line = parser.value(lineSettings);
    if (parser.isSet(port)) {
        run.port = parsePortText(parser.value(port));
        if (!run.port) {
            QTextStream(stderr) << "plc-config: " << portTextProblem(parser.value(port))
                                << Qt::endl;
            return 2;
        }
    }
#ifdef Q_OS_UNIX
    if (parser.isSet(demo))
        run.port = PortChoice::simulated();
#endif
    return runWindow(defaultSetIniPath(parser.value(configDir)), run);
}
