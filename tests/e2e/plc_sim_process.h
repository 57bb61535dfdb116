#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// plc-sim running in its own process, reachable through a symlink in a temporary folder.
class PlcSimProcess
{
public:
    // Starts plc-sim with the options; false when it did not come up.
    bool start(const QStringList &options = {})
    {
        m_process.start(QStringLiteral(PLC_SIM_PATH),
                        QStringList{QStringLiteral("--link"), linkPath()} + options);
        if (!m_process.waitForStarted(5000) || !m_process.waitForReadyRead(5000))
            return false;
        m_device = QString::fromLocal8Bit(m_process.readLine()).trimmed();
        return m_device.startsWith(QLatin1String("/dev/"));
    }
    void kill()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    ~PlcSimProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(3000))
                kill();
        }
    }
    QString linkPath() const { return m_dir.filePath(QStringLiteral("plc")); }
    QString device() const { return m_device; }
    QString folder() const { return m_dir.path(); }
    QProcess &process() { return m_process; }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_device;
};
