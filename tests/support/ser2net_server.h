#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// ser2net, a serial device server, run in the foreground in front of serial devices (plc-sim's
// pseudo-terminals): each device is reachable on 127.0.0.1 through a Telnet COM port option
// accepter (rfc2217://) and a raw TCP accepter (tcp://), at ports that were free when it started.
// Its configuration lies in a temporary folder; neither the system's configuration, its pid file
// nor UUCP lock files are touched. Needs Linux's /proc to see what ser2net listens on and holds.
class Ser2netServer
{
public:
    // The ser2net program (searched in PATH and the sbin folders), or empty when not installed.
    static QString program();

    // One device with its line settings in ser2net's form ("9600n81"), which the raw accepter
    // keeps and the Telnet one starts from.
    void addDevice(const QString &path, const QString &settings = QStringLiteral("9600n81"))
    {
        m_devices.append({path, settings});
    }
    // Options given to every connection, as YAML lines ("chardelay: false").
    void setConnectionOptions(const QStringList &options) { m_options = options; }
    // Whether the accepters send small writes at once (tcp(nodelay)), instead of holding one
    // back until the client has acknowledged the last (ser2net's default), which costs the Telnet
    // accepter a delayed acknowledgement of about 40 ms while it answers the line settings.
    void setNoDelay(bool noDelay) { m_noDelay = noDelay; }

    // Starts ser2net and waits until it listens on every port; a port taken meanwhile by another
    // program makes it start again at other ports. False, with errorString(), when it did not
    // come up.
    bool start();
    // SIGTERM, and waits for its end.
    void stop();
    // SIGKILL, and waits for its end.
    void kill();
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    ~Ser2netServer() { kill(); }

    quint16 rfc2217Port(int device = 0) const { return m_devices.at(device).rfc2217Port; }
    quint16 rawPort(int device = 0) const { return m_devices.at(device).rawPort; }
    // "rfc2217://127.0.0.1:PORT" and "tcp://127.0.0.1:PORT", as plc-config takes them.
    QString rfc2217Address(int device = 0) const;
    QString tcpAddress(int device = 0) const;

    // Waits until ser2net no longer holds any of the devices open. After a client goes, ser2net
    // takes a moment to close the device, and refuses the other accepter of the same device
    // ("Port's device already in use") until then; false when it still holds one after 10 s.
    bool waitUntilDevicesClosed();

    QString errorString() const { return m_error; }
    // What ser2net printed so far.
    QByteArray output();

private:
    struct Device
    {
        QString path;
        QString settings;
        quint16 rfc2217Port = 0;
        quint16 rawPort = 0;
    };
    enum class Attempt { Up, PortTaken, Failed };
    // One start at ports chosen now.
    Attempt startOnce();
    // Notes why it failed, with what ser2net printed, and ends it.
    Attempt failed(const QString &why);
    QByteArray config() const;

    QTemporaryDir m_dir;
    QProcess m_process;
    QList<Device> m_devices;
    QStringList m_options;
    bool m_noDelay = false;
    QByteArray m_output;
    QString m_error;
};
