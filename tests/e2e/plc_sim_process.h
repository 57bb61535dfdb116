#pragma once

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <vector>

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

// Simulated PLCs, each with the options all share and its own, logging its frames, reached
// through links plc1, plc2 ... in one folder; a PLC killed and started again keeps its link.
struct SimulatedPlcs
{
    QTemporaryDir dir;
    std::vector<std::unique_ptr<PlcSimProcess>> sims;
    QStringList ports, portOptions;

    bool start(const QList<QStringList> &options, const QStringList &shared = {})
    {
        for (const QStringList &own : options) {
            const int i = int(sims.size()) + 1;
            sims.push_back(std::make_unique<PlcSimProcess>());
            ports << dir.filePath(QStringLiteral("plc%1").arg(i));
            portOptions << "--port" << ports.last();
            if (!sims.back()->start(shared + QStringList{"--log", frameLog(i)} + own) ||
                !QFile::link(sims.back()->linkPath(), ports.last()))
                return false;
        }
        return true;
    }
    QString frameLog(int i) const { return dir.filePath(QStringLiteral("plc%1.frames").arg(i)); }
};
