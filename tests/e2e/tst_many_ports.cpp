// The command line on several PLCs at once: each plc-sim gets what a single-port run sends, the
// ports' output comes prefixed, one summary line per port in the order given, and a fault on one
// port leaves the others alone.
#include "plc_sim_process.h"
#include "support/sim_tcp_server.h"

#include "cli/many_ports.h"

#include <QFile>
#include <QSignalSpy>
#include <QtTest>

namespace {

const QString Line = QStringLiteral("115200,E,8,1");

// What a plc-sim --log file holds, without the times.
QByteArrayList loggedFrames(const QString &log)
{
    QFile file(log);
    QByteArrayList frames;
    for (const QByteArray &entry :
         file.open(QIODevice::ReadOnly) ? file.readAll().split('\n') : QByteArrayList())
        frames << entry.mid(entry.indexOf(" ms ") + 4).trimmed();
    return frames;
}

// count PLCs at 115200 bit/s on wire time: silentOne answers nothing, slowOne answers late.
bool startPlcs(SimulatedPlcs &plcs, int count, int silentOne = 0, int slowOne = 0)
{
    QList<QStringList> options(count);
    if (silentOne)
        options[silentOne - 1] << "--silent";
    if (slowOne)
        options[slowOne - 1] << "--delay"
                             << "300";
    return plcs.start(options, {"--wire", "--line", Line});
}

} // namespace

class TestManyPorts : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;
    const QString m_sound = QFINDTESTDATA("../fixtures/project/sound.dpc");

    Run plcConfig(const QStringList &args)
    {
        return runPlcConfig(m_config.path(), QStringList{"--line", Line} + args);
    }

private Q_SLOTS:
    void initTestCase()
    {
        // COM1 leads to a device of the folder and COM4 to a serial server, so that a run naming
        // both is refused.
        QFile device(m_config.filePath(QStringLiteral("ttyPLC")));
        QFile ini(m_config.filePath(QStringLiteral("set.ini")));
        QVERIFY(device.open(QIODevice::WriteOnly) && ini.open(QIODevice::WriteOnly));
        ini.write("[Devices]\nCOM1=" + device.fileName().toLocal8Bit() +
                  "\nCOM4=tcp://10.0.0.5:4001\n");
    }

    void eightPlcsGetTheFramesOfOne()
    {
        SimulatedPlcs one, eight;
        QVERIFY(startPlcs(one, 1) && startPlcs(eight, 8));
        QCOMPARE(plcConfig(one.portOptions + QStringList{"write", m_sound}).exitCode, 0);
        const QByteArrayList expected = loggedFrames(one.frameLog(1));
        QVERIFY(expected.size() > 10);

        const Run r = plcConfig(eight.portOptions + QStringList{"write", m_sound});
        QCOMPARE(r.exitCode, 0);
        const QList<QByteArray> summary = r.out.trimmed().split('\n');
        QCOMPARE(summary.size(), 8);
        for (int i = 0; i < 8; ++i) {
            QVERIFY2(summary[i].startsWith((eight.ports[i] + "\tdone\t").toLocal8Bit()),
                     summary[i].constData());
            QCOMPARE(loggedFrames(eight.frameLog(i + 1)), expected);
        }
    }

    // The silent PLC in the middle fails alone; each upload has a file of its own.
    void oneFaultStopsNoOtherPort()
    {
        SimulatedPlcs plcs;
        QVERIFY(startPlcs(plcs, 3, 2));
        const QString file = plcs.dir.filePath(QStringLiteral("up.dpc"));
        const Run r = plcConfig({"--ports", plcs.dir.filePath("plc?"), "upload", file});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.err, (plcs.ports[1] + ": Answer timeout from PLC\n").toLocal8Bit());
        const QList<QByteArray> summary = r.out.trimmed().split('\n');
        QCOMPARE(summary.size(), 3);
        const char *outcomes[] = {"done", "failed", "done"};
        for (int i = 0; i < 3; ++i) {
            QVERIFY(summary[i].startsWith(plcs.ports[i].toLocal8Bit() + '\t' + outcomes[i]));
            QCOMPARE(QFile::exists(plcs.dir.filePath(QStringLiteral("up-plc%1.dpc").arg(i + 1))),
                     i != 1);
        }
    }

    // A compare finds one PLC like the file, one different, one silent: the failure decides.
    void theWorstOutcomeDecidesTheExitStatus()
    {
        SimulatedPlcs plcs;
        QVERIFY(startPlcs(plcs, 3, 3));
        QCOMPARE(plcConfig({"--port", plcs.ports[0], "write", m_sound}).exitCode, 0);
        Run r = plcConfig(plcs.portOptions.mid(0, 4) + QStringList{"compare", m_sound});
        QCOMPARE(r.exitCode, 3);
        r = plcConfig(plcs.portOptions + QStringList{"compare", m_sound});
        QCOMPARE(r.exitCode, 1);
        const QList<QByteArray> lines = r.out.trimmed().split('\n');
        const QList<QByteArray> summary = lines.mid(lines.size() - 3);
        const char *outcomes[] = {"done", "differs", "failed"};
        for (int i = 0; i < 3; ++i)
            QVERIFY2(summary[i].startsWith(plcs.ports[i].toLocal8Bit() + '\t' + outcomes[i]),
                     r.out.constData());
    }

    // All ports share one process: the PLC of the second goes away in the middle of its write,
    // the others write and verify to the end, and no line of the trace holds two ports.
    void aPlcGoneMidWriteStopsOnlyItsPort()
    {
        SimulatedPlcs plcs;
        QVERIFY(startPlcs(plcs, 3, 0, 2));
        QProcess run;
        run.start(PLC_CONFIG_PATH, QStringList{"--config-dir", m_config.path(), "--line", Line} +
                                       plcs.portOptions +
                                       QStringList{"--trace", "write", m_sound, "--verify"});
        // Its first answer shows the write under way; being slow, it has many more to come.
        run.setReadChannel(QProcess::StandardError);
        QByteArray err;
        const QRegularExpression answered(QRegularExpression::escape(plcs.ports[1]) +
                                          QStringLiteral(": +[0-9.]+ < "));
        while (!answered.match(QString::fromLocal8Bit(err)).hasMatch()) {
            QVERIFY(run.waitForReadyRead(60000));
            err += run.readAllStandardError();
        }
        plcs.sims[1]->kill();
        QVERIFY(run.waitForFinished(60000));
        err += run.readAllStandardError();
        QCOMPARE(run.exitCode(), 1);

        const QList<QByteArray> summary = run.readAllStandardOutput().trimmed().split('\n');
        QCOMPARE(summary.size(), 3);
        const char *outcomes[] = {"done", "failed", "done"};
        for (int i = 0; i < 3; ++i)
            QVERIFY2(summary[i].startsWith(plcs.ports[i].toLocal8Bit() + '\t' + outcomes[i] + '\t'),
                     summary[i].constData());

        static const QRegularExpression traced(QStringLiteral("^ +\\d+\\.\\d{3} [<>] \\S"));
        int messagesOfTheGoneOne = 0;
        for (const QByteArray &line : err.trimmed().split('\n')) {
            int owner = -1;
            for (int i = 0; i < 3; ++i) {
                const QByteArray prefix = plcs.ports[i].toLocal8Bit() + ": ";
                if (line.startsWith(prefix))
                    owner = i;
                // A port's trace line after another port's text: two ports in one line.
                QVERIFY2(line.indexOf(prefix + ' ', 1) < 0, line.constData());
            }
            QVERIFY2(owner >= 0, line.constData());
            const QString rest =
                QString::fromLocal8Bit(line.mid(plcs.ports[owner].toLocal8Bit().size() + 2));
            if (!traced.match(rest).hasMatch()) {
                QVERIFY2(owner == 1, line.constData());
                ++messagesOfTheGoneOne;
            }
        }
        QVERIFY(messagesOfTheGoneOne > 0);
    }

    void portsThatCannotWorkTogether_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("told");
        QTest::newRow("a port twice") << QStringList{"--port", "COM2", "--port", "com2", "test"}
                                      << "COM2 and com2 are the same port";
        QTest::newRow("a pattern matching nothing")
            << QStringList{"--ports", m_config.filePath("none*"), "test"} << "matches no device";
        QTest::newRow("a COM name and its device")
            << QStringList{"--port", m_config.filePath("ttyPLC"), "--port", "com1", "test"}
            << "and com1 are the same port";
        QTest::newRow("show uses no port")
            << QStringList{"--port", "COM1", "--port", "COM2", "show", m_sound} << "uses no port";
        QTest::newRow("export uses no port")
            << QStringList{"--port", "COM1", "--port", "COM2", "export", m_sound, "x.json"}
            << "export uses no port";
        QTest::newRow("arguments counted before any port starts")
            << QStringList{"--port", "COM1", "--port", "COM2", "write"} << "write takes";
        QTest::newRow("two uploads to one file")
            << QStringList{"--port", "/a/tty0", "--port", "/b/tty0", "upload", "x.dpc"}
            << "would both upload to x-tty0.dpc";
        QTest::newRow("one server by both protocols")
            << QStringList{"--port", "rfc2217://Plc-Hall:4001", "--ports", "tcp://plc-hall:4001",
                           "test"}
            << "rfc2217://Plc-Hall:4001 and tcp://plc-hall:4001 are the same port";
        QTest::newRow("a COM name and its server")
            << QStringList{"--port", "com4", "--port", "COM1", "--port", "rfc2217://10.0.0.5:4001",
                           "test"}
            << "com4 and rfc2217://10.0.0.5:4001 are the same port";
        QTest::newRow("an address that is no sound one")
            << QStringList{"--port", "COM2", "--ports", "rfc2217://plc-hall", "test"}
            << "\"rfc2217://plc-hall\" names no TCP port";
    }
    void portsThatCannotWorkTogether()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, told);
        const Run r = plcConfig(args);
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains(told.toLocal8Bit()), r.err.constData());
        QVERIFY(r.out.isEmpty());
    }

    // A port's process gets the arguments with that one port, and an upload its own file.
    void portArguments_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("forPort");
        auto words = [](const char *text) { return QString::fromLatin1(text).split(' '); };
        QTest::newRow("upload after options with values")
            << words("p --ports=/dev/x* --line upload upload f.dpc --force")
            << words("p --port /dev/x1 --line upload upload f-x1.dpc --force");
        QTest::newRow("after --") << words("p --port COM1 --port=COM2 -- upload --port")
                                  << words("p --port /dev/x1 -- upload --port-x1");
    }
    void portArguments()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, forPort);
        QCOMPARE(ManyPorts::portArguments(args, {"--port", "--ports", "--line"}, "/dev/x1"),
                 forPort);
    }

    // Each port's upload file is named after it, in characters any file system takes.
    void aPortsFileIsNamedAfterIt_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("file");
        auto row = [](const char *name, const char *port, const char *file) {
            QTest::newRow(name) << QString::fromLatin1(port) << QString::fromLatin1(file);
        };
        row("COM number", "COM3", "up/plc-COM3.dpc");
        row("device", "/dev/serial/by-id/usb-FTDI_A5", "up/plc-usb-FTDI_A5.dpc");
        row("server", "rfc2217://10.0.0.5:4001", "up/plc-10.0.0.5-4001.dpc");
        row("IPv6 server", "tcp://[fd00::5]:23", "up/plc-fd00--5-23.dpc");
    }
    void aPortsFileIsNamedAfterIt()
    {
        QFETCH(QString, port);
        QFETCH(QString, file);
        QCOMPARE(ManyPorts::portFile(QStringLiteral("up/plc.dpc"), port), file);
    }

    // A serial server and a local port in one run: every line of output and the summary name
    // the port as it was given.
    void serversAndLocalPortsRunTogether()
    {
        SimulatedPlcs local;
        QVERIFY(startPlcs(local, 1));
        sim::PlcModel plc;
        plc.setCpuType(77);
        const SimTcpServer server(plc);
        QVERIFY(server.isListening());
        QProcess run;
        run.start(PLC_CONFIG_PATH,
                  {"--config-dir", m_config.path(), "--line", Line, "--port", server.address(),
                   "--ports", local.dir.filePath("plc?"), "test"});
        // The server answers from this process's event loop, which runs while the spy waits.
        QSignalSpy finished(&run, &QProcess::finished);
        QVERIFY(finished.wait(60000));
        const QByteArray out = run.readAllStandardOutput(), err = run.readAllStandardError();
        QCOMPARE(run.exitCode(), 0);
        const QByteArray said = out + err;
        QVERIFY2(said.contains(server.address().toLocal8Bit() +
                               ": Successful connect to the CPU with type 77\n"),
                 said.constData());
        QVERIFY2(said.contains(local.ports[0].toLocal8Bit() +
                               ": Successful connect to the CPU with type 4660\n"),
                 said.constData());
        const QList<QByteArray> summary = out.trimmed().split('\n');
        QCOMPARE(summary.size(), 2);
        QVERIFY(summary[0].startsWith(server.address().toLocal8Bit() + "\tdone\t"));
        QVERIFY(summary[1].startsWith(local.ports[0].toLocal8Bit() + "\tdone\t"));
        QCOMPARE(server.connections(), 1);
    }
};

QTEST_GUILESS_MAIN(TestManyPorts)
#include "tst_many_ports.moc"
