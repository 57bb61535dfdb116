#include "link/network_line.h"

#include "common/errors.h"
#include "link/device_map.h"
#include "link/frame_tap.h"

#include <QtEndian>

#ifdef Q_OS_LINUX
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace {
// Telnet.
constexpr quint8 IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240;
constexpr quint8 BINARY = 0, SUPPRESS_GO_AHEAD = 3, COM_PORT = 44;
// The COM port option's commands; the server answers each with the command plus 100.
constexpr quint8 SET_BAUDRATE = 1, SET_DATASIZE = 2, SET_PARITY = 3, SET_STOPSIZE = 4,
                 SET_CONTROL = 5, NOTIFY_LINESTATE = 6, NOTIFY_MODEMSTATE = 7, PURGE_DATA = 12;
constexpr quint8 ServerAnswer = 100;
constexpr quint8 NoFlowControl = 1;
constexpr quint8 PurgeServerReceiveBuffer = 1;
// Whatever a chattering peer sends while nobody takes it stays within this much memory.
constexpr qsizetype ReceiveLimit = 64 * 1024;

quint8 parityValue(LineSettings::Parity parity)
{
    return static_cast<quint8>(static_cast<int>(parity) + 1); // none, odd, even, mark, space
}

quint8 stopValue(LineSettings::StopBits stop)
{
    switch (stop) {
    case LineSettings::StopBits::One:
        return 1;
    case LineSettings::StopBits::Two:
        return 2;
    case LineSettings::StopBits::OneAndHalf:
        break;
    }
    return 3;
}

QString parityName(quint8 value)
{
    static const char *const names[] = {"none", "odd", "even", "mark", "space"};
    return value >= 1 && value <= 5 ? QLatin1String(names[value - 1]) : QString::number(value);
}

QString stopName(quint8 value)
{
    switch (value) {
    case 1:
        return QStringLiteral("1");
    case 2:
        return QStringLiteral("2");
    case 3:
        return QStringLiteral("1.5");
    default:
        return QString::number(value);
    }
}

QString seconds(std::chrono::milliseconds limit)
{
    return QString::number(limit.count() / 1000.0);
}

QByteArray doubledIac(const QByteArray &bytes)
{
    if (!bytes.contains(char(IAC)))
        return bytes;
    QByteArray out;
    out.reserve(bytes.size() + 8);
    for (const char c : bytes) {
        out += c;
        if (quint8(c) == IAC)
            out += c;
    }
    return out;
}
} // namespace

NetworkLine::NetworkLine(NetworkAddress address, QObject *parent)
    : SerialLine(parent), m_address(std::move(address))
{
    m_openingTimer.setSingleShot(true);
    connect(&m_openingTimer, &QTimer::timeout, this, &NetworkLine::onOpeningLimit);
    m_lingerTimer.setSingleShot(true);
    connect(&m_lingerTimer, &QTimer::timeout, this, &NetworkLine::dropSocket);
}

NetworkLine::~NetworkLine()
{
    if (m_socket) {
        // What is queued still goes to the system, which sends it after the socket is gone.
        m_socket->flush();
        m_socket->abort();
    }
}

QString NetworkLine::describe() const
{
    if (!m_byComNumber)
        return m_address.text();
    return QStringLiteral("%1 (%2)").arg(comName(portNumber()), m_address.text());
}

QString NetworkLine::prefix() const
{
    return m_byComNumber ? comName(portNumber()) + QStringLiteral(": ") : QString();
}

bool NetworkLine::reopenKept()
{
    m_lingerTimer.stop();
    const bool connected = m_socket && m_socket->state() == QAbstractSocket::ConnectedState;
    const bool sameSettings = m_address.protocol == NetworkAddress::Protocol::RawTcp ||
                              (m_acknowledged == 4 && m_asked == settings());
    if (!connected || !sameSettings) {
        dropSocket();
        return false;
    }
    // What came while it was kept answered nothing asked of this opening.
    m_received.clear();
    m_pendingBytes = m_socket->bytesToWrite();
    m_state = State::Open;
    qCDebug(plcLinkLog) << m_address.text() << "open again";
    return true;
}

void NetworkLine::open()
{
    if (m_state != State::Closed)
        throw PlatformError(tr("%1: the port is already open").arg(describe()));
    if (m_address.protocol == NetworkAddress::Protocol::Rfc2217 &&
        (settings().dataBits < 5 || settings().dataBits > 8)) {
        throw PlatformError(tr("%1%2 data bits cannot be asked of a serial server")
                                .arg(prefix())
                                .arg(settings().dataBits));
    }
    clearBroken();
    if (reopenKept())
        return;
    m_received.clear();
    m_pendingBytes = 0;
    m_parse = ParseState::Data;
    m_sub.clear();
    m_ours.fill(0);
    m_theirs.fill(0);
    m_settingsSent = false;
    m_acknowledged = 0;

    m_socket = std::make_unique<QTcpSocket>(this);
    QTcpSocket *socket = m_socket.get();
    connect(socket, &QTcpSocket::connected, this, &NetworkLine::onConnected);
    connect(socket, &QTcpSocket::readyRead, this, &NetworkLine::onReadyRead);
    connect(socket, &QTcpSocket::errorOccurred, this, &NetworkLine::onSocketError);
    connect(socket, &QTcpSocket::disconnected, this, &NetworkLine::onDisconnected);
    connect(socket, &QTcpSocket::bytesWritten, this, [this](qint64 bytes) {
        m_pendingBytes -= bytes;
        if (m_pendingBytes <= 0 && m_state == State::Open) {
            m_pendingBytes = 0;
            Q_EMIT sent();
        }
    });
    m_state = State::Connecting;
    m_openingTimer.start(m_openingLimit);
    qCDebug(plcLinkLog) << "connecting to" << m_address.text();
    socket->connectToHost(m_address.host, m_address.port);
}

void NetworkLine::onConnected()
{
    if (m_state != State::Connecting)
        return;
    // Requests and answers are a few bytes each: they must leave at once, not wait for more.
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    if (m_address.protocol == NetworkAddress::Protocol::RawTcp) {
        becomeOpen();
        return;
    }
    m_state = State::Negotiating;
    // Eight-bit data both ways, and the COM port option on our side; the settings follow once
    // the server agrees to the option.
    sendCommand(WILL, BINARY);
    sendCommand(DO, BINARY);
    sendCommand(WILL, COM_PORT);
}

void NetworkLine::becomeOpen()
{
    m_openingTimer.stop();
    m_state = State::Open;
    qCDebug(plcLinkLog) << m_address.text() << "open";
    Q_EMIT opened();
    // Data that came with the negotiation is there for the link to take (and drop).
    if (!m_received.isEmpty())
        Q_EMIT received();
}

void NetworkLine::onOpeningLimit()
{
    if (m_state == State::Connecting) {
        fail(
            tr("no connection to %1 within %2 s").arg(m_address.server(), seconds(m_openingLimit)));
    } else if (m_state == State::Negotiating) {
        fail(tr("the serial server at %1 did not agree the line settings within %2 s; a raw TCP "
                "port is reached by tcp://%1")
                 .arg(m_address.server(), seconds(m_openingLimit)));
    }
}

void NetworkLine::onSocketError(QAbstractSocket::SocketError error)
{
    if (m_state == State::Closed)
        return;
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        fail(tr("connection refused by %1").arg(m_address.server()));
        break;
    case QAbstractSocket::HostNotFoundError:
        fail(tr("%1: no such host").arg(m_address.host));
        break;
    case QAbstractSocket::RemoteHostClosedError:
        fail(tr("the serial server %1 closed the connection").arg(m_address.server()));
        break;
    case QAbstractSocket::SocketTimeoutError:
        if (m_state == State::Connecting)
            onOpeningLimit();
        break;
    default:
        fail(tr("the connection to the serial server %1 failed (%2)")
                 .arg(m_address.server(), m_socket->errorString()));
        break;
    }
}

void NetworkLine::onDisconnected()
{
    if (m_state != State::Closed)
        fail(tr("the serial server %1 closed the connection").arg(m_address.server()));
    else
        dropSocket(); // a kept connection the server ended: the next opening connects anew
}

void NetworkLine::fail(const QString &why)
{
    if (m_state == State::Closed)
        return;
    m_state = State::Closed;
    m_openingTimer.stop();
    m_pendingBytes = 0;
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
        m_socket.release()->deleteLater();
    }
    qCDebug(plcLinkLog) << m_address.text() << "failed:" << why;
    reportBroken(prefix() + why);
}

void NetworkLine::close()
{
    const bool wasOpen = m_state == State::Open;
    m_state = State::Closed;
    m_openingTimer.stop();
    m_pendingBytes = 0;
    if (wasOpen && m_socket && m_socket->state() == QAbstractSocket::ConnectedState &&
        m_keepOpenFor.count() > 0) {
        // The transfers of one command follow one another within milliseconds; a server that
        // is still letting go of its device after a connection turns the next one away ("Port
        // already in use"), so the connection is kept a moment for the next opening.
        m_socket->flush();
        m_lingerTimer.start(m_keepOpenFor);
        return;
    }
    dropSocket();
}

void NetworkLine::dropSocket()
{
    m_lingerTimer.stop();
    if (!m_socket)
        return;
    QTcpSocket *socket = m_socket.release();
    socket->disconnect(this);
    if (socket->state() == QAbstractSocket::ConnectedState && socket->bytesToWrite() > 0) {
        // The last request still reaches the server; a server that does not take it is not
        // waited for long.
        connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(2000, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        socket->disconnectFromHost();
        return;
    }
    socket->abort();
    socket->deleteLater();
}

void NetworkLine::send(const QByteArray &bytes)
{
    if (m_state != State::Open) {
        throw PlatformError(brokenReason().isEmpty()
                                ? tr("%1: the port is not open").arg(describe())
                                : brokenReason());
    }
    const QByteArray out =
        m_address.protocol == NetworkAddress::Protocol::Rfc2217 ? doubledIac(bytes) : bytes;
    m_pendingBytes += out.size();
    if (m_socket->write(out) != out.size()) {
        throw PlatformError(tr("%1sending to the serial server %2 failed (%3)")
                                .arg(prefix(), m_address.server(), m_socket->errorString()));
    }
}

QByteArray NetworkLine::takeReceived()
{
    return std::exchange(m_received, QByteArray());
}

void NetworkLine::discardPending()
{
    if (m_state == State::Open && m_address.protocol == NetworkAddress::Protocol::Rfc2217)
        sendComPort(PURGE_DATA, QByteArray(1, char(PurgeServerReceiveBuffer)));
}

void NetworkLine::settingsChanged()
{
    if (m_settingsSent && (m_state == State::Negotiating || m_state == State::Open))
        sendLineSettings();
}

void NetworkLine::onReadyRead()
{
    if (!m_socket)
        return;
    const QByteArray bytes = m_socket->readAll();
    acknowledgeAtOnce();
    if (m_address.protocol == NetworkAddress::Protocol::RawTcp) {
        m_received += bytes;
    } else {
        parse(bytes); // may fail the line
    }
    if (m_received.size() > ReceiveLimit)
        m_received.remove(0, m_received.size() - ReceiveLimit);
    if (m_state == State::Open && !m_received.isEmpty())
        Q_EMIT received();
}

void NetworkLine::acknowledgeAtOnce()
{
#ifdef Q_OS_LINUX
    // A server that holds back small writes until the last is acknowledged (Nagle's algorithm,
    // ser2net's default) would otherwise hold the rest of an answer that reached it in pieces
    // until our delayed acknowledgement, some 40 ms later; we send nothing until the answer is
    // whole, so no request carries the acknowledgement sooner. Linux keeps this only until the
    // next delayed one, so it is asked after every read.
    const int fd = static_cast<int>(m_socket->socketDescriptor());
    const int one = 1;
    if (fd >= 0)
        ::setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
#endif
}

void NetworkLine::parse(const QByteArray &bytes)
{
    for (const char c : bytes) {
        if (m_state == State::Closed)
            return;
        const auto b = quint8(c);
        switch (m_parse) {
        case ParseState::Data:
            if (b == IAC)
                m_parse = ParseState::Iac;
            else
                m_received += c;
            break;
        case ParseState::Iac:
            if (b == IAC) {
                m_received += c; // a doubled IAC is one data byte 0xFF
                m_parse = ParseState::Data;
            } else if (b == SB) {
                m_sub.clear();
                m_parse = ParseState::Sub;
            } else if (b >= WILL) {
                m_command = b;
                m_parse = ParseState::Command;
            } else {
                m_parse = ParseState::Data; // NOP, GA and the like carry nothing for us
            }
            break;
        case ParseState::Command:
            m_parse = ParseState::Data;
            onCommand(m_command, b);
            break;
        case ParseState::Sub:
            if (b == IAC)
                m_parse = ParseState::SubIac;
            else if (m_sub.size() < 64)
                m_sub += c;
            break;
        case ParseState::SubIac:
            if (b == SE) {
                m_parse = ParseState::Data;
                onSubnegotiation(m_sub);
            } else {
                if (m_sub.size() < 64)
                    m_sub += c; // IAC IAC inside: one 0xFF
                m_parse = ParseState::Sub;
            }
            break;
        }
    }
}

void NetworkLine::onCommand(quint8 command, quint8 option)
{
    const bool oursWanted = option == BINARY || option == SUPPRESS_GO_AHEAD || option == COM_PORT;
    const bool theirsWanted = option == BINARY || option == SUPPRESS_GO_AHEAD;
    switch (command) {
    case DO:
        if (m_ours[option] != (oursWanted ? 1 : -1))
            sendCommand(oursWanted ? WILL : WONT, option);
        if (option == COM_PORT && !m_settingsSent && m_state == State::Negotiating)
            sendLineSettings();
        break;
    case DONT:
        if (m_ours[option] != -1)
            sendCommand(WONT, option);
        if (option == COM_PORT && m_state == State::Negotiating) {
            fail(tr("the serial server at %1 does not take line settings (RFC 2217); a raw TCP "
                    "port is reached by tcp://%1")
                     .arg(m_address.server()));
        }
        break;
    case WILL:
        // Echo above all is refused: the server must not send our requests back to us.
        if (m_theirs[option] != (theirsWanted ? 1 : -1))
            sendCommand(theirsWanted ? DO : DONT, option);
        break;
    case WONT:
        if (m_theirs[option] != -1)
            sendCommand(DONT, option);
        break;
    default:
        break;
    }
}

void NetworkLine::sendCommand(quint8 command, quint8 option)
{
    if (command == WILL || command == WONT)
        m_ours[option] = command == WILL ? 1 : -1;
    else
        m_theirs[option] = command == DO ? 1 : -1;
    const char bytes[] = {char(IAC), char(command), char(option)};
    m_socket->write(bytes, sizeof bytes);
}

void NetworkLine::sendComPort(quint8 command, const QByteArray &value)
{
    QByteArray out;
    out += char(IAC);
    out += char(SB);
    out += char(COM_PORT);
    out += char(command);
    out += doubledIac(value);
    out += char(IAC);
    out += char(SE);
    m_socket->write(out);
}

void NetworkLine::sendLineSettings()
{
    m_asked = settings();
    m_settingsSent = true;
    m_acknowledged = 0;
    QByteArray baud(4, '\0');
    qToBigEndian(quint32(m_asked.baudRate), baud.data());
    sendComPort(SET_BAUDRATE, baud);
    sendComPort(SET_DATASIZE, QByteArray(1, char(m_asked.dataBits)));
    sendComPort(SET_PARITY, QByteArray(1, char(parityValue(m_asked.parity))));
    sendComPort(SET_STOPSIZE, QByteArray(1, char(stopValue(m_asked.stopBits))));
    // Not awaited: some servers do not acknowledge it (a pseudo-terminal has no flow control).
    sendComPort(SET_CONTROL, QByteArray(1, char(NoFlowControl)));
}

void NetworkLine::onSubnegotiation(const QByteArray &sub)
{
    if (sub.size() < 2 || quint8(sub.at(0)) != COM_PORT)
        return;
    onComPortAnswer(quint8(sub.at(1)), sub.mid(2));
}

void NetworkLine::onComPortAnswer(quint8 command, const QByteArray &value)
{
    if (command == ServerAnswer + NOTIFY_LINESTATE || command == ServerAnswer + NOTIFY_MODEMSTATE) {
        // Line and modem states change under a working line; they are no part of any answer.
        qCDebug(plcLinkLog) << m_address.text()
                            << (command == ServerAnswer + NOTIFY_LINESTATE ? "line state"
                                                                           : "modem state")
                            << value.toHex();
        return;
    }
    if (!m_settingsSent || command < ServerAnswer + SET_BAUDRATE ||
        command > ServerAnswer + SET_STOPSIZE) {
        return; // SET-CONTROL, PURGE-DATA, the signature: nothing to check
    }
    const QString server = m_address.server();
    QString mismatch;
    switch (command - ServerAnswer) {
    case SET_BAUDRATE: {
        const quint32 set = value.size() == 4 ? qFromBigEndian<quint32>(value.constData()) : 0;
        if (set != quint32(m_asked.baudRate)) {
            mismatch = tr("the serial server at %1 set %2 bit/s where %3 was asked")
                           .arg(server)
                           .arg(set)
                           .arg(m_asked.baudRate);
        }
        break;
    }
    case SET_DATASIZE: {
        const int set = value.isEmpty() ? 0 : quint8(value.at(0));
        if (set != m_asked.dataBits) {
            mismatch = tr("the serial server at %1 set %2 data bits where %3 were asked")
                           .arg(server)
                           .arg(set)
                           .arg(m_asked.dataBits);
        }
        break;
    }
    case SET_PARITY: {
        const quint8 set = value.isEmpty() ? 0 : quint8(value.at(0));
        const quint8 asked = parityValue(m_asked.parity);
        if (set != asked) {
            mismatch = tr("the serial server at %1 set parity %2 where %3 was asked")
                           .arg(server, parityName(set), parityName(asked));
        }
        break;
    }
    case SET_STOPSIZE: {
        const quint8 set = value.isEmpty() ? 0 : quint8(value.at(0));
        const quint8 asked = stopValue(m_asked.stopBits);
        if (set != asked) {
            mismatch = tr("the serial server at %1 set %2 stop bits where %3 were asked")
                           .arg(server, stopName(set), stopName(asked));
        }
        break;
    }
    default:
        break;
    }
    if (!mismatch.isEmpty()) {
        fail(mismatch);
        return;
    }
    qCDebug(plcLinkLog) << m_address.text() << "acknowledged setting" << command - ServerAnswer
                        << value.toHex();
    if (++m_acknowledged == 4 && m_state == State::Negotiating)
        becomeOpen();
}
