// plc-config through a serial device server (ser2net) in front of plc-sim: the same frames,
// output and exit status as on the pseudo-terminal itself, line settings that reach the line, and
// a server that goes away or is not there at all.
#include "plc_sim_process.h"
#include "support/ser2net_server.h"

#include <QFile>
#include <QHostAddress>
#include <QTcpServer>
#include <QtTest>

// Only ser2net missing skips, and says so: the tests never pass without having run.
#define REQUIRE_SER2NET()                                                                          \
    if (Ser2netServer::program().isEmpty())                                                        \
    QSKIP("ser2net is not installed (scripts/install-deps.sh installs it)")

namespace {

enum class Route { Pty, Rfc2217, Tcp };

// What a run wrote to stderr with the times of its traced frames left out ("> frame",
// "< answer") and its messages as they are. The trace shows what arrived as it arrived; a server
// may hand an answer over in other pieces than the pseudo-terminal, so the pieces that came
// one after the other are joined.
QByteArrayList withoutTimes(const QByteArray &err)
{
    QByteArrayList lines;
    bool receiving = false;
    for (const QByteArray &line : err.split('\n')) {
        const qsizetype sent = line.indexOf(" > ");
        const qsizetype received = line.indexOf(" < ");
        if (received >= 0 && (sent < 0 || received < sent)) {
            if (receiving)
                lines.last() += line.mid(received + 3);
            else
                lines << line.mid(received + 1);
            receiving = true;
            continue;
        }
        receiving = false;
        lines << (sent >= 0 ? line.mid(sent + 1) : line);
    }
    return lines;
}

int sentFrames(const QByteArray &err)
{
    return int(err.count(" > "));
}

// A port on 127.0.0.1 where nothing listens (it was free a moment ago).
quint16 portNobodyListensOn()
{
    QTcpServer server;
    return server.listen(QHostAddress::LocalHost, 0) ? server.serverPort() : 0;
}

// The last line settings plc-sim's log noted.
QByteArray notedLineSettings(const QString &log)
{
    QFile file(log);
    const QByteArray text = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    const qsizetype at = text.lastIndexOf("line settings ");
    return at < 0 ? QByteArray() : text.mid(at + 14, text.indexOf('\n', at) - at - 14).trimmed();
}

// plc-sim, and ser2net in front of it when the route goes through a server.
struct Plc
{
    PlcSimProcess sim;
    Ser2netServer server;

    bool start(Route route, const QStringList &simOptions)
    {
        if (!sim.start(simOptions))
            return false;
        if (route == Route::Pty)
            return true;
        server.addDevice(sim.linkPath());
        if (server.start())
            return true;
        qWarning("%s", qPrintable(server.errorString()));
        return false;
    }
    QString port(Route route) const
    {
        return route == Route::Pty       ? sim.linkPath()
               : route == Route::Rfc2217 ? server.rfc2217Address()
                                         : server.tcpAddress();
    }
};

} // namespace

Q_DECLARE_METATYPE(Route)

class TestNetworkPorts : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;
    const QString m_project = QFINDTESTDATA("../../examples/two-masters.dpc");

    Run plcConfig(const QStringList &args) { return runPlcConfig(m_config.path(), args); }

    // One run of the command on a fresh PLC reached by the route; an uploaded file is named
    // after the route and given back in uploaded.
    Run runOn(Route route, const QStringList &simOptions, QStringList args, QByteArray *uploaded)
    {
        Plc plc;
        if (!plc.start(route, simOptions))
            return {};
        const QString file = plc.sim.folder() + QStringLiteral("/uploaded.dpc");
        args.replaceInStrings(QStringLiteral("PROJECT"), m_project);
        args.replaceInStrings(QStringLiteral("UPLOADED"), file);
        const Run r = plcConfig(QStringList{"--port", plc.port(route), "--trace"} + args);
        // The server failing is no outcome of these commands: what it said is wanted then.
        if (r.err.contains("serial server"))
            qWarning("ser2net said: %s", plc.server.output().constData());
        QFile up(file);
        *uploaded = up.open(QIODevice::ReadOnly) ? up.readAll() : QByteArray();
        return r;
    }

private Q_SLOTS:
    // Every command that talks to a PLC sends and takes the same frames through the server,
    // prints the same and ends the same as on the pseudo-terminal, a refused write included.
    void commandsGoThroughTheServerAsOnThePseudoTerminal_data()
    {
        QTest::addColumn<QStringList>("sim");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status"); // on the pseudo-terminal, and so through the server
        QTest::newRow("write") << QStringList() << QStringList{"write", "PROJECT"} << 0;
        QTest::newRow("write --verify")
            << QStringList() << QStringList{"write", "PROJECT", "--verify"} << 0;
        QTest::newRow("upload") << QStringList{"--demo"} << QStringList{"upload", "UPLOADED"} << 0;
        QTest::newRow("compare, different")
            << QStringList{"--demo"} << QStringList{"compare", "PROJECT"} << 3;
        QTest::newRow("diag uart1") << QStringList{"--demo"} << QStringList{"diag", "uart1"} << 0;
        QTest::newRow("search") << QStringList{"--demo", "--search-delay", "0"}
                                << QStringList{"search"} << 0;
        QTest::newRow("restart") << QStringList() << QStringList{"restart"} << 0;
        QTest::newRow("write, refused")
            << QStringList{"--refuse-at", "2902"} << QStringList{"write", "PROJECT"} << 1;
    }
    void commandsGoThroughTheServerAsOnThePseudoTerminal()
    {
        REQUIRE_SER2NET();
        QFETCH(QStringList, sim);
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QByteArray uploadedOnPty;
        const Run pty = runOn(Route::Pty, sim, args, &uploadedOnPty);
        QCOMPARE(pty.exitCode, status);
        QVERIFY(sentFrames(pty.err) > 0);
        for (const Route route : {Route::Rfc2217, Route::Tcp}) {
            const QByteArray name = route == Route::Rfc2217 ? "rfc2217" : "tcp";
            QByteArray uploaded;
            const Run r = runOn(route, sim, args, &uploaded);
            QVERIFY2(r.exitCode == pty.exitCode, name + ": ..." + r.err.right(1500));
            QCOMPARE(r.out, pty.out);
            QCOMPARE(withoutTimes(r.err), withoutTimes(pty.err));
            QCOMPARE(uploaded, uploadedOnPty);
        }
    }

    // The settings asked over the Telnet COM port option reach the line: speed and stop bits as
    // the pseudo-terminal shows them to plc-sim. A run succeeds only when the server acknowledged
    // every setting as asked, data bits and parity included.
    void lineSettingsReachTheLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QByteArray>("speedAndStop"); // as plc-sim notes them
        QTest::newRow("115200,E,8,1") << "115200,E,8,1" << QByteArray("115200,1");
        QTest::newRow("9600,N,7,2") << "9600,N,7,2" << QByteArray("9600,2");
    }
    void lineSettingsReachTheLine()
    {
        REQUIRE_SER2NET();
        QFETCH(QString, line);
        QFETCH(QByteArray, speedAndStop);
        Plc plc;
        const QString log = plc.sim.folder() + QStringLiteral("/frames.log");
        QVERIFY(plc.start(Route::Rfc2217, {"--log", log}));
        const Run r =
            plcConfig({"--port", plc.port(Route::Rfc2217), "--line", line, "write", m_project});
        QVERIFY2(r.exitCode == 0, r.err.constData());
        const QByteArrayList fields = notedLineSettings(log).split(',');
        QCOMPARE(fields.size(), 4);
        QCOMPARE(fields.first() + ',' + fields.last(), speedAndStop);
    }

    // The server going away in the middle of a write ends it with a message naming the server,
    // however it went. plc-sim answers late, so that the write is far from its end.
    void aServerThatGoesAwayEndsTheWrite_data()
    {
        QTest::addColumn<Route>("route");
        QTest::addColumn<bool>("killed"); // else stopped by SIGTERM
        QTest::newRow("rfc2217, stopped") << Route::Rfc2217 << false;
        QTest::newRow("rfc2217, killed") << Route::Rfc2217 << true;
        QTest::newRow("tcp, killed") << Route::Tcp << true;
    }
    void aServerThatGoesAwayEndsTheWrite()
    {
        REQUIRE_SER2NET();
        QFETCH(Route, route);
        QFETCH(bool, killed);
        Plc plc;
        QVERIFY(plc.start(route, {"--delay", "300"}));
        QProcess p;
        p.setReadChannel(QProcess::StandardError);
        p.start(QStringLiteral(PLC_CONFIG_PATH), {"--config-dir", m_config.path(), "--port",
                                                  plc.port(route), "--trace", "write", m_project});
        QByteArray err;
        while (sentFrames(err) < 3 && p.waitForReadyRead(30000))
            err += p.readAllStandardError();
        QVERIFY2(sentFrames(err) >= 3, err.constData());
        killed ? plc.server.kill() : plc.server.stop();
        QVERIFY(p.waitForFinished(30000));
        err += p.readAllStandardError();
        QCOMPARE(p.exitCode(), 1);
        // A line of its own, naming the server ("127.0.0.1:PORT") and nothing else.
        const QByteArray said = "\nthe serial server " +
                                plc.port(route).section(QLatin1String("//"), 1).toLatin1() +
                                " closed the connection\n";
        QVERIFY2(err.endsWith(said), err.constData());
    }

    // A server that is not there at all: the refusal, and nothing more.
    void aPortWhereNothingListensIsRefused()
    {
        const quint16 port = portNobodyListensOn();
        QVERIFY(port > 0);
        const Run r = plcConfig(
            {"--port", QStringLiteral("rfc2217://127.0.0.1:%1").arg(port), "write", m_project});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.err,
                 QStringLiteral("connection refused by 127.0.0.1:%1\n").arg(port).toLatin1());
    }

    // One run on the pseudo-terminal and both forms of a server at once.
    void onePortOfEachKindInOneRun()
    {
        REQUIRE_SER2NET();
        PlcSimProcess sims[3];
        Ser2netServer server;
        for (PlcSimProcess &sim : sims)
            QVERIFY(sim.start());
        server.addDevice(sims[1].linkPath());
        server.addDevice(sims[2].linkPath());
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        const QStringList ports{sims[0].linkPath(), server.rfc2217Address(0), server.tcpAddress(1)};
        const Run r = plcConfig({"--port", ports[0], "--port", ports[1], "--port", ports[2],
                                 "write", m_project, "--verify"});
        QVERIFY2(r.exitCode == 0, r.err.constData());
        const QByteArrayList summary = r.out.trimmed().split('\n');
        QCOMPARE(summary.size(), 3);
        for (qsizetype i = 0; i < ports.size(); ++i)
            QVERIFY2(summary[i].startsWith(ports[i].toLocal8Bit() + "\tdone\t"), r.out.constData());
    }
};

QTEST_GUILESS_MAIN(TestNetworkPorts)
#include "tst_network_ports.moc"
