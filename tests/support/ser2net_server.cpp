#include "support/ser2net_server.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QSet>
#include <QStandardPaths>
#include <QTcpServer>

#include <memory>
#include <vector>

#include <unistd.h>

namespace {

// How long ser2net may take to come up, or to close a device, on a busy machine.
constexpr int StartLimitMs = 30000;
constexpr int CloseLimitMs = 10000;
// ser2net goes on without an accepter whose port is taken; it says so with this.
const QByteArray PortTaken = "Unable to startup network port";

// Ports free now: each bound on 127.0.0.1 to port 0 and let go, all at once, so they differ.
QList<quint16> freePorts(qsizetype count)
{
    std::vector<std::unique_ptr<QTcpServer>> servers;
    QList<quint16> ports;
    for (qsizetype i = 0; i < count; ++i) {
        servers.push_back(std::make_unique<QTcpServer>());
        if (!servers.back()->listen(QHostAddress::LocalHost, 0))
            return {};
        ports << servers.back()->serverPort();
    }
    return ports;
}

// Where the descriptors of a process lead ("socket:[1234]", "/dev/pts/3").
QStringList openFiles(qint64 pid)
{
    QStringList targets;
    const QString folder = QStringLiteral("/proc/%1/fd").arg(pid);
    for (const QString &fd : QDir(folder).entryList(QDir::Files | QDir::System)) {
        char target[4096];
        const QByteArray path = QFile::encodeName(folder + QLatin1Char('/') + fd);
        const ssize_t n = ::readlink(path.constData(), target, sizeof target);
        if (n > 0)
            targets << QFile::decodeName(QByteArray(target, n));
    }
    return targets;
}

// The TCP ports a process listens on.
QSet<quint16> listeningPorts(qint64 pid)
{
    QSet<QByteArray> inodes;
    for (const QString &target : openFiles(pid)) {
        if (target.startsWith(QLatin1String("socket:[")))
            inodes.insert(target.mid(8).chopped(1).toLatin1());
    }
    QSet<quint16> ports;
    for (const char *table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        QFile file{QString::fromLatin1(table)};
        if (!file.open(QIODevice::ReadOnly))
            continue;
        // "sl local_address rem_address st tx:rx tr:when retrnsmt uid timeout inode ..."
        for (const QByteArray &line : file.readAll().split('\n')) {
            const QList<QByteArray> fields = line.simplified().split(' ');
            if (fields.size() < 10 || fields[3] != "0A" || !inodes.contains(fields[9]))
                continue;
            bool ok = false;
            const uint port = fields[1].mid(fields[1].indexOf(':') + 1).toUInt(&ok, 16);
            if (ok)
                ports.insert(static_cast<quint16>(port));
        }
    }
    return ports;
}

} // namespace

QString Ser2netServer::program()
{
    // A user's PATH often lacks the sbin folders, where Debian puts it.
    const QString inPath = QStandardPaths::findExecutable(QStringLiteral("ser2net"));
    if (!inPath.isEmpty())
        return inPath;
    return QStandardPaths::findExecutable(
        QStringLiteral("ser2net"),
        {QStringLiteral("/usr/local/sbin"), QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
}

QString Ser2netServer::rfc2217Address(int device) const
{
    return QStringLiteral("rfc2217://127.0.0.1:%1").arg(rfc2217Port(device));
}

QString Ser2netServer::tcpAddress(int device) const
{
    return QStringLiteral("tcp://127.0.0.1:%1").arg(rawPort(device));
}

Ser2netServer::Attempt Ser2netServer::failed(const QString &why)
{
    m_error = why;
    const QByteArray said = output().trimmed();
    if (!said.isEmpty())
        m_error += QStringLiteral("; ser2net said: ") + QString::fromLocal8Bit(said);
    kill();
    return Attempt::Failed;
}

QByteArray Ser2netServer::config() const
{
    QByteArray yaml;
    auto connection = [&](const QByteArray &name, const QByteArray &accepter,
                          const Device &device) {
        yaml += "connection: &" + name + "\n  accepter: " + accepter + "\n  connector: serialdev," +
                QFile::encodeName(device.path) + ',' + device.settings.toLatin1() + ",local\n";
        if (!m_options.isEmpty()) {
            yaml += "  options:\n";
            for (const QString &option : m_options)
                yaml += "    " + option.toUtf8() + '\n';
        }
    };
    const QByteArray tcp = m_noDelay ? "tcp(nodelay),127.0.0.1," : "tcp,127.0.0.1,";
    for (qsizetype i = 0; i < m_devices.size(); ++i) {
        const Device &d = m_devices[i];
        const QByteArray n = QByteArray::number(i);
        connection("rfc2217_" + n, "telnet(rfc2217)," + tcp + QByteArray::number(d.rfc2217Port), d);
        connection("raw_" + n, tcp + QByteArray::number(d.rawPort), d);
    }
    return yaml;
}

bool Ser2netServer::start()
{
    m_error.clear();
    m_output.clear();
    if (program().isEmpty() || m_devices.isEmpty()) {
        failed(program().isEmpty() ? QStringLiteral("ser2net is not installed")
                                   : QStringLiteral("no device to serve"));
        return false;
    }
    // Another program may take a port between our look and ser2net's bind: then again.
    for (int attempt = 0; attempt < 5; ++attempt) {
        const Attempt outcome = startOnce();
        if (outcome != Attempt::PortTaken)
            return outcome == Attempt::Up;
    }
    failed(QStringLiteral("the ports were taken at every attempt"));
    return false;
}

Ser2netServer::Attempt Ser2netServer::startOnce()
{
    const QList<quint16> ports = freePorts(2 * m_devices.size());
    if (ports.isEmpty())
        return failed(QStringLiteral("no free port on 127.0.0.1"));
    for (qsizetype i = 0; i < m_devices.size(); ++i) {
        m_devices[i].rfc2217Port = ports[2 * i];
        m_devices[i].rawPort = ports[2 * i + 1];
    }
    QFile file(m_dir.filePath(QStringLiteral("ser2net.yaml")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(config()) < 0 ||
        !file.flush())
        return failed(QStringLiteral("cannot write %1").arg(file.fileName()));
    file.close();

    m_output.clear();
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    // -n: in the foreground; -d: messages to the terminal, not the system log; -u: no UUCP lock
    // files; -P: its pid file here, not in /run; -c: this configuration, not the system's.
    m_process.start(program(), {QStringLiteral("-n"), QStringLiteral("-d"), QStringLiteral("-u"),
                                QStringLiteral("-P"), m_dir.filePath(QStringLiteral("ser2net.pid")),
                                QStringLiteral("-c"), file.fileName()});
    if (!m_process.waitForStarted(StartLimitMs))
        return failed(QStringLiteral("ser2net did not start: ") + m_process.errorString());

    // A socket it listens on takes connections; trying one would make it open the device.
    QSet<quint16> wanted(ports.cbegin(), ports.cend());
    const QDeadlineTimer deadline(StartLimitMs);
    while (!wanted.isEmpty()) {
        if (output().contains(PortTaken)) {
            kill();
            return Attempt::PortTaken;
        }
        if (!isRunning())
            return failed(QStringLiteral("ser2net ended at start"));
        if (deadline.hasExpired())
            return failed(QStringLiteral("ser2net did not listen on its ports within %1 s")
                              .arg(StartLimitMs / 1000));
        wanted -= listeningPorts(m_process.processId());
        if (!wanted.isEmpty())
            m_process.waitForReadyRead(20);
    }
    return Attempt::Up;
}

bool Ser2netServer::waitUntilDevicesClosed()
{
    QStringList devices;
    for (const Device &d : std::as_const(m_devices))
        devices << QFileInfo(d.path).canonicalFilePath();
    const QDeadlineTimer deadline(CloseLimitMs);
    while (isRunning()) {
        const QStringList open = openFiles(m_process.processId());
        const bool holds = std::any_of(devices.cbegin(), devices.cend(),
                                       [&](const QString &d) { return open.contains(d); });
        if (!holds)
            return true;
        if (deadline.hasExpired())
            return false;
        m_process.waitForReadyRead(10);
    }
    return true;
}

void Ser2netServer::stop()
{
    if (!isRunning())
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(CloseLimitMs))
        kill();
}

void Ser2netServer::kill()
{
    if (!isRunning())
        return;
    m_process.kill();
    m_process.waitForFinished(CloseLimitMs);
}

QByteArray Ser2netServer::output()
{
    m_output += m_process.readAll();
    return m_output;
}
