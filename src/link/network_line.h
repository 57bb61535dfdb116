#pragma once

#include "link/network_address.h"
#include "link/serial_line.h"

#include <QByteArray>
#include <QTcpSocket>
#include <QTimer>

#include <array>
#include <chrono>
#include <memory>

// A SerialLine on a serial device server. Opening connects and, for rfc2217://, negotiates the
// Telnet COM port option with the server and sends it the line settings, checking each of its
// acknowledgements; open() returns at once and opened() or failed() follows. For tcp:// the
// bytes go as they are, and the settings are only the timing the link assumes. A connection
// closed is kept a moment, and an opening with the same settings takes it up again at once.
//
// Messages name the server ("connection refused by 10.0.0.5:4001"), preceded by the COM number
// when the line was chosen by one.
class NetworkLine final : public SerialLine
{
    Q_OBJECT
public:
    explicit NetworkLine(NetworkAddress address, QObject *parent = nullptr);
    ~NetworkLine() override;

    const NetworkAddress &address() const { return m_address; }
    // The line was chosen by its COM number (set.ini maps it to this address): messages and
    // describe() name that number too.
    void nameByComNumber() { m_byComNumber = true; }
    // How long connecting and agreeing the settings may take before the opening fails.
    void setOpeningLimit(std::chrono::milliseconds limit) { m_openingLimit = limit; }
    // How long a connection stays after close() for an opening with the same settings to take
    // up again (0: closed at once).
    void setKeepOpenFor(std::chrono::milliseconds keep) { m_keepOpenFor = keep; }

    QString describe() const override;
    void open() override;
    void close() override;
    bool isOpen() const override { return m_state == State::Open; }
    bool opening() const override
    {
        return m_state == State::Connecting || m_state == State::Negotiating;
    }
    void send(const QByteArray &bytes) override;
    QByteArray takeReceived() override;
    void discardPending() override;

protected:
    void settingsChanged() override;

private:
    enum class State { Closed, Connecting, Negotiating, Open };

    void onConnected();
    void onReadyRead();
    // Acknowledges what arrived at once rather than with the next delayed acknowledgement.
    void acknowledgeAtOnce();
    void onSocketError(QAbstractSocket::SocketError error);
    void onDisconnected();
    void onOpeningLimit();
    // The opening or the open line fails: closes the socket and reports why.
    void fail(const QString &why);
    // "COM3: " when named by a COM number, else nothing: messages name the server themselves.
    QString prefix() const;

    // Telnet parsing of what the server sent: data bytes go to m_received.
    void parse(const QByteArray &bytes);
    void onCommand(quint8 command, quint8 option);
    void onSubnegotiation(const QByteArray &sub);
    void onComPortAnswer(quint8 command, const QByteArray &value);
    void sendCommand(quint8 command, quint8 option);
    void sendComPort(quint8 command, const QByteArray &value);
    void sendLineSettings();
    void becomeOpen();
    // Takes up the connection kept since the last close(), when it is there still and agreed
    // these settings; false (and the kept one let go) otherwise.
    bool reopenKept();
    // Lets the socket go: what is still queued for the server is sent first.
    void dropSocket();

    NetworkAddress m_address;
    std::unique_ptr<QTcpSocket> m_socket;
    QTimer m_openingTimer;
    QTimer m_lingerTimer;
    std::chrono::milliseconds m_keepOpenFor{1000};
    std::chrono::milliseconds m_openingLimit{5000};
    State m_state = State::Closed;
    bool m_byComNumber = false;
    // Telnet: the last answer sent for each option on our side (1 WILL, -1 WONT, 0 none) and on
    // the server's side (1 DO, -1 DONT), so that no request is answered twice.
    std::array<qint8, 256> m_ours{};
    std::array<qint8, 256> m_theirs{};
    bool m_settingsSent = false;
    LineSettings m_asked;   // the settings last sent to the server
    int m_acknowledged = 0; // of the four settings last sent
    QByteArray m_received;
    qint64 m_pendingBytes = 0;
    // The Telnet parser's place between two reads.
    enum class ParseState { Data, Iac, Command, Sub, SubIac };
    ParseState m_parse = ParseState::Data;
    quint8 m_command = 0;
    QByteArray m_sub;
};
