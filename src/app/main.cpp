#include "app/main_window.h"
#include "cli/cli.h"
#include "link/config_location.h"
#include "link/device_map.h"
#include "link/qt_serial_line.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QGuiApplication>
#include <QIcon>
#include <QTextStream>

#ifdef Q_OS_UNIX
#include "sim/demo_plc.h"
#include "sim/plc_model.h"
#include "sim/pty_server.h"
#endif

#include <memory>

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

// The window on the PLC at the COM port set.ini names; the COM number is mapped to its device
// at every open, so a changed mapping needs no restart.
int runWindow(const QString &iniPath)
{
    auto line = std::make_unique<QtSerialLine>(
        [iniPath](int comNumber) { return comDevice(comNumber, iniPath); });
    MainWindow window(iniPath, std::move(line));
    window.show();
    return QApplication::exec();
}

#ifdef Q_OS_UNIX
// The window on a simulated PLC served on a pseudo-terminal inside this process. Every COM
// number leads to it, whatever set.ini says, so every button does something real.
int runDemo(const QString &iniPath)
{
    sim::PlcModel plc;
    sim::fillDemoPlc(plc);
    sim::PtyServer server(plc);
    if (!server.start()) {
        QTextStream(stderr) << "plc-config: cannot start the simulated PLC: "
                            << server.errorString() << Qt::endl;
        return 1;
    }
    for (int com = 1; com <= 10; ++com)
        setComOverride(com, server.devicePath());
    QTextStream(stdout) << "Simulated PLC on " << server.devicePath() << Qt::endl;
    return runWindow(iniPath);
}
#endif

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
        return Cli::run(QCoreApplication::arguments());
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
#ifdef Q_OS_UNIX
    const QCommandLineOption demo(QStringLiteral("demo"),
                                  QStringLiteral("Open the window on a built-in simulated PLC."));
    parser.addOption(demo);
#endif
    parser.process(*app);

    const QString iniPath = defaultSetIniPath(parser.value(configDir));
#ifdef Q_OS_UNIX
    if (parser.isSet(demo))
        return runDemo(iniPath);
#endif
    return runWindow(iniPath);
}
