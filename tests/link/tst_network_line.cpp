// A line on a serial device server, against a server the test scripts on 127.0.0.1: the Telnet
// negotiation, the line settings and their acknowledgements, 0xFF in the data, and every way the
// connection can fail. Real sockets, so waits are bounded by the opening limit, never timed.
#include "common/clock.h"
#include "common/errors.h"
#include "link/network_line.h"
#include "link/plc_link.h"
#include "support/wait_for_task.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <functional>
#include <memory>

Q_DECLARE_METATYPE(NetworkAddress::Protocol)

using namespace std::chrono_literals;

namespace {
constexpr char IAC = char(255), SB = char(250), SE = char(240), WILL = char(251), DO = char(253),
               DONT = char(254);
constexpr char BINARY = 0, ECHO = 1, COM_PORT = 44;

QByteArray bytes(std::initializer_list<char> list)
{
    return QByteArray(list.begin(), qsizetype(list.size()));
}

QByteArray telnet(char command, char option)
{
    return bytes({IAC, command, option});
}

QByteArray comPort(int command, const QByteArray &value)
{
    return bytes({IAC, SB, COM_PORT, char(command)}) + value + bytes({IAC, SE});
}

// The COM port option's subnegotiations in what the client sent: command and value, in order.
QList<QPair<int, QByteArray>> comPortRequests(const QByteArray &sent)
{
    QList<QPair<int, QByteArray>> requests;
    const QByteArray start = bytes({IAC, SB, COM_PORT});
    for (qsizetype at = sent.indexOf(start); at >= 0; at = sent.indexOf(start, at + 1)) {
        const qsizetype end = sent.indexOf(bytes({IAC, SE}), at);
        if (end > at + 3)
            requests.append({quint8(sent.at(at + 3)), sent.mid(at + 4, end - at - 4)});
    }
    return requests;
}

// A serial server on 127.0.0.1 whose behaviour the test chooses. By default it behaves as ser2net
// does: it offers the COM port option at once and acknowledges each setting with what was asked.
class ScriptedServer : public QObject
{
public:
    ScriptedServer()
    {
        QVERIFY(m_server.listen(QHostAddress::LocalHost));
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            client = m_server.nextPendingConnection();
            ++connections;
            connect(client, &QTcpSocket::readyRead, this, [this] {
                const QByteArray bytes = client->readAll();
                fromClient += bytes;
                if (onBytes)
                    onBytes(bytes);
            });
            if (greeting)
                client->write(telnet(WILL, ECHO) + telnet(DO, BINARY) + telnet(WILL, BINARY) +
                              telnet(DO, COM_PORT));
        });
        onBytes = [this](const QByteArray &) { acknowledgeSettings(); };
    }
    quint16 port() const { return m_server.serverPort(); }
    QString server() const { return QStringLiteral("127.0.0.1:%1").arg(port()); }
    NetworkAddress address(NetworkAddress::Protocol protocol) const
    {
        return {protocol, QStringLiteral("127.0.0.1"), port()};
    }

    void acknowledgeSettings()
    {
        const auto requests = comPortRequests(fromClient);
        for (qsizetype i = m_acknowledged; i < requests.size(); ++i) {
            const auto &[command, value] = requests.at(i);
            if (command >= 1 && command <= 4)
                client->write(comPort(command + 100, acknowledged.value(command, value)));
        }
        m_acknowledged = requests.size();
    }
    // Waits until the client has sent at least this much (bounded: a failing test ends).
    bool awaitFromClient(qsizetype bytes)
    {
        return QTest::qWaitFor([&] { return fromClient.size() >= bytes; }, 5000);
    }

    QTcpSocket *client = nullptr;
    int connections = 0;
    QByteArray fromClient;
    bool greeting = true;
    std::function<void(const QByteArray &)> onBytes;
    QMap<int, QByteArray> acknowledged; // what the server says it set, by setting

private:
    QTcpServer m_server;
    qsizetype m_acknowledged = 0;
};

// A line to the server and a link on it, in real time.
struct Linked
{
    ScriptedServer server;
    NetworkLine line{server.address(NetworkAddress::Protocol::Rfc2217)};
    SteadyClock clock;
    FrameTap tap;
    PlcLink link{line, clock, tap};
};

// Opens the line and waits until it is open or has failed; the failure's text, or empty.
QString openAndAwait(NetworkLine &line)
{
    QSignalSpy opened(&line, &SerialLine::opened);
    QSignalSpy failed(&line, &SerialLine::failed);
    line.open();
    if (line.isOpen())
        return {}; // a kept connection taken up again
    if (!QTest::qWaitFor([&] { return !opened.isEmpty() || !failed.isEmpty(); }, 10000))
        return QStringLiteral("neither opened nor failed");
    return failed.isEmpty() ? QString() : failed.first().first().toString();
}
} // namespace

class TestNetworkLine : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void addresses_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");   // text() of a sound one, empty for one that is not
        QTest::addColumn<QString>("problem"); // part of problem() otherwise
        auto row = [](const char *name, const QString &text, const QString &shown,
                      const QString &problem = {}) {
            QTest::newRow(name) << text << shown << problem;
        };
        row("rfc2217", "rfc2217://10.0.0.5:4001", "rfc2217://10.0.0.5:4001");
        row("raw, scheme in capitals, blanks", "  TCP://plc-7.plant.local:23 ",
            "tcp://plc-7.plant.local:23");
        row("IPv6 in brackets", "rfc2217://[fe80::1]:4001", "rfc2217://[fe80::1]:4001");
        row("no port", "rfc2217://10.0.0.5", "", "names no TCP port");
        row("port 0", "tcp://10.0.0.5:0", "", "1 to 65535");
        row("port too large", "tcp://10.0.0.5:65536", "", "1 to 65535");
        row("unknown scheme", "telnet://10.0.0.5:23", "", "rfc2217://HOST:PORT or tcp://HOST:PORT");
        row("a path after it", "tcp://10.0.0.5:23/x", "", "is no network address");
        row("user part", "tcp://me@10.0.0.5:23", "", "is no network address");
        row("IPv6 unbracketed", "tcp://fe80::1:23", "", "is no network address");
    }
    void addresses()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QFETCH(QString, problem);
        QVERIFY(NetworkAddress::looksLikeOne(text));
        const auto address = NetworkAddress::parse(text);
        QCOMPARE(address.has_value(), !shown.isEmpty());
        if (address) {
            QCOMPARE(address->text(), shown);
            QCOMPARE(NetworkAddress::parse(address->text()), address);
        } else {
            QVERIFY2(NetworkAddress::problem(text).contains(problem),
                     qPrintable(NetworkAddress::problem(text)));
        }
    }

    // The client agrees binary data and the COM port option, refuses the server's echo (its own
    // requests must not come back as answers), and is open once all four settings are
    // acknowledged; flow control is asked for but not awaited.
    void negotiatesTheLineSettings_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QByteArrayList>("asked"); // speed, data bits, parity (1 none, 2 odd,
                                                   // 3 even), stop bits (3 for 1.5), in hex
        QTest::newRow("115200,E,8,1")
            << "115200,E,8,1" << QByteArrayList{"0001c200", "08", "03", "01"};
        QTest::newRow("9600,N,7,2") << "9600,N,7,2" << QByteArrayList{"00002580", "07", "01", "02"};
        QTest::newRow("19200,O,8,1.5")
            << "19200,O,8,1.5" << QByteArrayList{"00004b00", "08", "02", "03"};
    }
    void negotiatesTheLineSettings()
    {
        QFETCH(QString, settings);
        QFETCH(QByteArrayList, asked);
        ScriptedServer server;
        NetworkLine line(server.address(NetworkAddress::Protocol::Rfc2217));
        line.setSettings(settings);
        QCOMPARE(openAndAwait(line), QString());
        QVERIFY(line.isOpen());
        QVERIFY(!line.opening());

        const QByteArray &sent = server.fromClient;
        for (const QByteArray &agreed :
             {telnet(WILL, BINARY), telnet(DO, BINARY), telnet(WILL, COM_PORT), telnet(DONT, ECHO)})
            QVERIFY2(sent.contains(agreed), qPrintable(agreed.toHex()));
        QVERIFY(!sent.contains(telnet(DO, ECHO)));
        QList<QPair<int, QByteArray>> expected;
        for (const QByteArray &value : std::as_const(asked))
            expected.append({int(expected.size() + 1), QByteArray::fromHex(value)});
        expected.append({5, QByteArray(1, char(1))}); // no flow control
        QCOMPARE(comPortRequests(sent), expected);
        // No data was taken for the settings' exchange.
        QCOMPARE(line.takeReceived(), QByteArray());
    }

    // 0xFF is doubled on the way out and taken once on the way in; the server's line and modem
    // state notices, arriving in the middle of an answer and split across reads, are no part of it.
    void dataPassesWholeAroundTelnetCommands_data()
    {
        QTest::addColumn<NetworkAddress::Protocol>("protocol");
        QTest::addColumn<QByteArray>("onTheWire");   // what the server sends
        QTest::addColumn<QByteArray>("answer");      // what the link is to get
        QTest::addColumn<QByteArray>("requestSent"); // the request 02 FF 03 as the server gets it
        auto x = [](const char *hex) { return QByteArray::fromHex(hex); };
        // The answer 02 FF 41 42 03 with a line state notice and a modem state notice in it.
        QTest::newRow("rfc2217") << NetworkAddress::Protocol::Rfc2217
                                 << x("02ffff41") + comPort(106, x("60")) + x("42") +
                                        comPort(107, x("b0")) + x("03")
                                 << x("02ff414203") << x("02ffff03");
        QTest::newRow("raw tcp") << NetworkAddress::Protocol::RawTcp << x("02ffff03")
                                 << x("02ffff03") << x("02ff03");
    }
    void dataPassesWholeAroundTelnetCommands()
    {
        QFETCH(NetworkAddress::Protocol, protocol);
        QFETCH(QByteArray, onTheWire);
        QFETCH(QByteArray, answer);
        QFETCH(QByteArray, requestSent);
        ScriptedServer server;
        server.greeting = protocol == NetworkAddress::Protocol::Rfc2217;
        NetworkLine line(server.address(protocol));
        QCOMPARE(openAndAwait(line), QString());
        const qsizetype before = server.fromClient.size();
        line.send(QByteArray::fromHex("02ff03"));
        QVERIFY(server.awaitFromClient(before + requestSent.size()));
        QCOMPARE(server.fromClient.mid(before), requestSent);

        // One byte at a time: every Telnet sequence is cut somewhere.
        QByteArray taken;
        for (const char c : onTheWire) {
            server.client->write(&c, 1);
            server.client->flush();
            QTest::qWait(1);
            taken += line.takeReceived();
        }
        QVERIFY(QTest::qWaitFor(
            [&] {
                taken += line.takeReceived();
                return taken.size() >= answer.size();
            },
            5000));
        QCOMPARE(taken, answer);
        QVERIFY(line.isOpen());
    }

    // Every way an opening fails, and what it says of the server (%1).
    void failures_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("setting");    // "ack": this setting is acknowledged as
        QTest::addColumn<QByteArray>("set"); // this rather than what was asked
        QTest::addColumn<QString>("message");
        auto row = [](const char *name, const char *how, const QString &message) {
            QTest::newRow(name) << how << 0 << QByteArray() << message;
        };
        auto ack = [](const char *name, int setting, const char *set, const char *message) {
            QTest::newRow(name) << "ack" << setting << QByteArray::fromHex(set)
                                << "the serial server at %1 " + QString::fromLatin1(message);
        };
        const QString raw = QStringLiteral("; a raw TCP port is reached by tcp://%1");
        row("nothing listens", "refused", "connection refused by %1");
        row("no answer to the negotiation", "silent",
            "the serial server at %1 did not agree the line settings within 0.3 s" + raw);
        row("the option refused", "dont",
            "the serial server at %1 does not take line settings (RFC 2217)" + raw);
        row("closed while negotiating", "hang up", "the serial server %1 closed the connection");
        ack("speed not taken", 1, "00002580", "set 9600 bit/s where 115200 was asked");
        ack("data bits not taken", 2, "07", "set 7 data bits where 8 were asked");
        ack("parity not taken", 3, "01", "set parity none where even was asked");
        ack("stop bits not taken", 4, "02", "set 2 stop bits where 1 were asked");
        ack("an answer cut short", 1, "01", "set 0 bit/s where 115200 was asked");
    }
    void failures()
    {
        QFETCH(QString, how);
        QFETCH(int, setting);
        QFETCH(QByteArray, set);
        QFETCH(QString, message);
        auto server = std::make_unique<ScriptedServer>();
        const NetworkAddress address = server->address(NetworkAddress::Protocol::Rfc2217);
        server->acknowledged[setting] = set;
        if (how == QLatin1String("refused")) {
            server.reset();
        } else if (how != QLatin1String("ack")) {
            server->greeting = false;
            server->onBytes = nullptr;
            if (how == QLatin1String("dont"))
                server->onBytes = [&](auto &) { server->client->write(telnet(DONT, COM_PORT)); };
            if (how == QLatin1String("hang up"))
                server->onBytes = [&](auto &) { server->client->disconnectFromHost(); };
        }
        NetworkLine line(address);
        line.setSettings(QStringLiteral("115200,E,8,1"));
        if (how == QLatin1String("silent"))
            line.setOpeningLimit(300ms);
        const QString said = message.arg(QStringLiteral("127.0.0.1:%1").arg(address.port));
        QCOMPARE(openAndAwait(line), said);
        QVERIFY(!line.isOpen());
        QVERIFY(!line.opening());
        QCOMPARE(line.brokenReason(), said);
    }

    // A server that goes away ends the request waiting for its answer with the server's name, and
    // every later send says the same.
    void aServerGoingAwayEndsTheTransfer()
    {
        Linked on;
        LinkTransfer transfer(on.link, QString(), LinkTransfer::Settings::AsTheyAre);
        waitForTask(transfer.open());
        on.server.onBytes = [&](const QByteArray &bytes) {
            if (bytes.contains(Ctl::ENQ))
                on.server.client->disconnectFromHost();
        };
        const QString closed =
            QStringLiteral("the serial server %1 closed the connection").arg(on.server.server());
        try {
            waitForTask(on.link.Send_control_char(10s, Ctl::ENQ));
            QFAIL("the request went on without its server");
        } catch (const PlatformError &e) {
            QCOMPARE(e.description(), closed);
        }
        QVERIFY(!on.line.isOpen());
        QVERIFY_THROWS_EXCEPTION(PlatformError, on.line.send("x"));
    }

    // An abort ends the wait for a server that never finishes the opening, and closes the line.
    void anAbortEndsTheOpening()
    {
        Linked on;
        on.server.greeting = false;
        on.server.onBytes = [&](const QByteArray &) { on.link.abort(); };
        LinkTransfer transfer(on.link, QString(), LinkTransfer::Settings::AsTheyAre);
        QVERIFY_THROWS_EXCEPTION(TransferAborted, waitForTask(transfer.open()));
        QVERIFY(!on.line.isOpen());
        QVERIFY(!on.line.opening());
    }

    // After an unanswered request the link drains the line, and the server is asked to purge
    // what it still holds for us; the last bytes sent before a close still reach the server.
    void theDrainPurgesTheServerAndACloseSendsWhatIsQueued()
    {
        Linked on;
        {
            LinkTransfer transfer(on.link, QString(), LinkTransfer::Settings::AsTheyAre);
            waitForTask(transfer.open());
            const WriteAnswer answer = waitForTask(on.link.Send_control_char(50ms, Ctl::ENQ));
            QCOMPARE(answer.kind, AnswerKind::NoAnswer);
            waitForTask(transfer.close());
        }
        QVERIFY(on.server.awaitFromClient(1));
        QVERIFY(comPortRequests(on.server.fromClient).contains(qMakePair(12, QByteArray(1, 1))));

        on.server.fromClient.clear();
        on.line.setKeepOpenFor(0ms);
        const QByteArray big(256 * 1024, 'A');
        QCOMPARE(openAndAwait(on.line), QString());
        on.line.send(big);
        on.line.close();
        QVERIFY(QTest::qWaitFor([&] { return on.server.fromClient.endsWith(big); }, 10000));
    }

    // A connection closed is kept a moment, and an opening with the same settings takes it up
    // at once: the transfers of one command do not reconnect to a server that may still be
    // letting go of its device. Anything else connects anew.
    void aClosedConnectionIsTakenUpAgain_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<int>("connections");
        QTest::newRow("nothing") << "" << 1;
        QTest::newRow("other settings") << "settings" << 2;
        QTest::newRow("the server ended it") << "server" << 2;
        QTest::newRow("kept no longer than asked") << "wait" << 2;
    }
    void aClosedConnectionIsTakenUpAgain()
    {
        QFETCH(QString, meanwhile);
        QFETCH(int, connections);
        Linked on;
        on.line.setSettings(QStringLiteral("115200,E,8,1"));
        on.line.setKeepOpenFor(meanwhile == "wait" ? 50ms : 60s);
        QCOMPARE(openAndAwait(on.line), QString());
        on.line.close();
        QVERIFY(!on.line.isOpen());
        if (meanwhile == "settings")
            on.line.setSettings(QStringLiteral("9600,N,8,2"));
        if (meanwhile == "server")
            on.server.client->disconnectFromHost();
        if (meanwhile == "server" || meanwhile == "wait")
            QVERIFY(QTest::qWaitFor([&] { return !on.line.isOpen() && !on.line.opening(); }));
        QTest::qWait(100); // the server's close, or the end of the keeping, reaches the line
        on.server.fromClient.clear();
        QCOMPARE(openAndAwait(on.line), QString());
        QCOMPARE(on.server.connections, connections);
        on.line.send("\x05");
        QVERIFY(QTest::qWaitFor([&] { return on.server.fromClient.endsWith('\x05'); }, 5000));
    }
};

QTEST_GUILESS_MAIN(TestNetworkLine)
#include "tst_network_line.moc"
