#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

// How a program run ended: its exit status (-1 when it crashed or hung), what it printed.
struct Run
{
    int exitCode = -1;
    QByteArray out, err;
};

// Runs a program to its end (one that hangs is killed after a minute).
inline Run runProgram(const QString &program, const QStringList &args,
                      const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    const bool ended = p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit;
    return {ended ? p.exitCode() : -1, p.readAllStandardOutput(), p.readAllStandardError()};
}

#ifdef PLC_CONFIG_PATH
// plc-config run with its settings in configDir, so that no test reads or writes the user's.
inline Run runPlcConfig(const QString &configDir, const QStringList &args)
{
    return runProgram(QStringLiteral(PLC_CONFIG_PATH),
                      QStringList{"--config-dir", configDir} + args);
}
#endif

// plc-sim running in its own process, reachable through a symlink in a temporary folder.
class PlcSimProcess
{
public:
    // Starts plc-sim with the options; false when it did not come up (it prints its device).
    bool start(const QStringList &options = {})
    {
        m_process.start(QStringLiteral(PLC_SIM_PATH), QStringList{"--link", linkPath()} + options);
        // Generous limits: an ASan build on a busy machine may take seconds to come up, and a
        // ready plc-sim ends the wait at once.
        return m_process.waitForStarted(30000) && m_process.waitForReadyRead(30000) &&
               m_process.readLine().startsWith("/dev/");
    }
    void kill()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    ~PlcSimProcess() { kill(); }
    QString linkPath() const { return m_dir.filePath(QStringLiteral("plc")); }
    QString folder() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
};
