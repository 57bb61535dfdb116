// The command line against plc-sim on a pty: the same frames as the window's buttons, uploads
// that give back what was written, exit statuses and messages.
#include "plc_sim_process.h"
#include "support/sim_bench.h"
#include "support/widget_driver.h"

#include "app/main_window.h"
#include "link/frame_tap.h"
#include "project/project_record.h"

#include <QAction>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QtTest>

namespace {
const char *const Timeout = "Answer timeout from PLC";

// The frames --trace wrote to stderr ("... > frame").
QList<QByteArray> tracedFrames(const QByteArray &stderrText)
{
    QList<QByteArray> frames;
    for (const QByteArray &line : stderrText.split('\n')) {
        if (const qsizetype at = line.indexOf(" > "); at >= 0)
            frames << line.mid(at + 3);
    }
    return frames;
}
} // namespace

class TestCli : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;
    const QString m_sound = QFINDTESTDATA("../fixtures/project/sound.dpc");

    Run plcConfig(const QStringList &args) { return runPlcConfig(m_config.path(), args); }
    // The same against plc-sim.
    Run plcConfig(const PlcSimProcess &sim, const QStringList &args)
    {
        return plcConfig(QStringList{"--port", sim.linkPath()} + args);
    }

    // The frames the window's "Write to PLC" buttons (Command19, Command7, Command17: UART 1,
    // UART 2, auxiliary port) send for the sound project, as trace text.
    static QList<QByteArray> windowWriteFrames(const QStringList &buttons)
    {
        Bench b; // its clock lets the simulated PLC's delays and the pauses cost no time
        auto *sim = new sim::SimulatedLine(b.plc(), b.clock);
        MainWindow window(b.ini(), std::unique_ptr<SerialLine>(sim), &b.prompts, &b.clock);
        WidgetDriver ui(&window);
        b.prompts.queueFile(QFINDTESTDATA("../fixtures/project/sound.dpc"));
        ui.find<QAction>(QStringLiteral("Load_config"))->trigger();
        for (const QString &button : buttons) {
            ui.find<QPushButton>(button)->click();
            finish(window.link());
        }
        QList<QByteArray> frames;
        for (const QByteArray &sent : sim->sends())
            frames << readableFrame(sent);
        return frames;
    }

private Q_SLOTS:
    // "write" sends what the window's buttons send, and "upload" gives it back.
    void writeSendsWhatTheWindowsButtonsSendAndUploadGivesItBack()
    {
        const QList<QByteArray> expected =
            windowWriteFrames({"Command19", "Command7", "Command17"});

        PlcSimProcess sim;
        QVERIFY(sim.start());
        const Run r = plcConfig(sim, {"--trace", "write", m_sound});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(tracedFrames(r.err), expected);

        const QString uploaded = sim.folder() + QStringLiteral("/uploaded.dpc");
        const Run up = plcConfig(sim, {"upload", uploaded});
        QCOMPARE(up.exitCode, 0);
        QVERIFY2(up.err.isEmpty(), up.err.constData());
        const QJsonObject before =
            QJsonDocument::fromJson(plcConfig({"show", m_sound, "--json"}).out).object();
        const QJsonObject after =
            QJsonDocument::fromJson(plcConfig({"show", uploaded, "--json"}).out).object();
        QVERIFY(!before.isEmpty());
        for (const char *port : {"uart1", "uart2"}) {
            for (const char *key : {"mode", "slaves"})
                QCOMPARE(after[port][key], before[port][key]);
        }
        QCOMPARE(after["aux"], before["aux"]);

        // An existing file is kept unless --force.
        const Run again = plcConfig(sim, {"upload", uploaded});
        QCOMPARE(again.exitCode, 2);
        QVERIFY(again.err.contains("--force"));
        QCOMPARE(plcConfig(sim, {"upload", uploaded, "--force"}).exitCode, 0);

        // --only picks ports, in the fixed order.
        const Run only =
            plcConfig(sim, {"--trace", "write", m_sound, "--only", "aux", "--only", "uart1"});
        QCOMPARE(only.exitCode, 0);
        QCOMPARE(tracedFrames(only.err), windowWriteFrames({"Command19", "Command17"}));
    }

    void aSilentPlcFailsWithoutAFile()
    {
        PlcSimProcess sim;
        QVERIFY(sim.start({"--silent"}));
        const QString path = sim.folder() + QStringLiteral("/never.dpc");
        const Run r = plcConfig(sim, {"upload", path});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains("Answer timeout from PLC"), r.err.constData());
        QVERIFY(!QFile::exists(path));

        const Run w = plcConfig(sim, {"write", m_sound});
        QCOMPARE(w.exitCode, 1);
        QCOMPARE(w.err, QByteArray("Answer timeout from PLC\n"));
    }

    // write --verify: 0 when the PLC holds what was written, 1 when it differs (listed on
    // stderr); compare: 0 equal, 3 different (listed on stdout), 1 no answer; both 2 for bad
    // input.
    void verifyAndCompareTellByTheirExitStatus_data()
    {
        QTest::addColumn<QStringList>("sim");  // plc-sim's options; written to first with "first"
        QTest::addColumn<QStringList>("args"); // the file is the sound project unless named
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<QByteArray>("err");
        const QByteArray none;
        QTest::newRow("write --verify, held")
            << QStringList() << QStringList{"write", "--verify"} << 0 << none << none;
        QTest::newRow("write --verify, a slave stored wrong")
            << QStringList{"--store-wrong-at", "2502"} << QStringList{"write", "--verify"} << 1
            << none << QByteArray("UART 1, slot 1, Address: written 1, PLC holds 254\n");
        QTest::newRow("write --verify, bad file")
            << QStringList() << QStringList{"write", "--verify", "bad_mode.dpc"} << 2 << none
            << QByteArray("bad_mode.dpc");
        QTest::newRow("compare, held")
            << QStringList{"first"} << QStringList{"compare"} << 0 << none << none;
        QTest::newRow("compare, empty PLC")
            << QStringList() << QStringList{"compare"} << 3
            << QByteArray("UART 1, Mode: file holds Modbus master, PLC holds Not use\n"
                          "1-wire, Mode: file holds 1-wire master, PLC holds Not use\n")
            << none;
        QTest::newRow("compare, silent PLC") << QStringList{"--silent"} << QStringList{"compare"}
                                             << 1 << none << QByteArray(Timeout);
        QTest::newRow("compare, bad file") << QStringList() << QStringList{"compare", "short.dpc"}
                                           << 2 << none << QByteArray("holds 15000 bytes");
    }
    void verifyAndCompareTellByTheirExitStatus()
    {
        QFETCH(QStringList, sim);
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QByteArray, out);
        QFETCH(QByteArray, err);
        PlcSimProcess plc;
        const bool first = sim.removeAll("first") > 0;
        QVERIFY(plc.start(sim));
        if (args.last().endsWith(".dpc"))
            args.last() = QFINDTESTDATA("../fixtures/project/" + args.last());
        else
            args << m_sound;
        if (first)
            QCOMPARE(plcConfig(plc, {"write", m_sound}).exitCode, 0);
        const Run r = plcConfig(plc, args);
        QCOMPARE(r.exitCode, status);
        QCOMPARE(r.out, out);
        QVERIFY2(err.isEmpty() ? r.err.isEmpty() : r.err.contains(err), r.err.constData());
    }

    void badArgumentsGiveTheUsage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("no such command") << QStringList{"frobnicate"};
        QTest::newRow("write without a file") << QStringList{"write"};
        QTest::newRow("diag of an unknown port") << QStringList{"diag", "uart3"};
        QTest::newRow("COM11") << QStringList{"--port", "COM11", "test"};
        QTest::newRow("unknown option") << QStringList{"--frob", "test"};
        QTest::newRow("--json elsewhere") << QStringList{"test", "--json"};
        QTest::newRow("--only of no port") << QStringList{"write", "x.dpc", "--only", "uart9"};
        QTest::newRow("--force given to show") << QStringList{"show", "x.dpc", "--force"};
        QTest::newRow("--csv given to import")
            << QStringList{"import", "in.json", "x.dpc", "--csv", "uart1"};
    }
    void badArgumentsGiveTheUsage()
    {
        QFETCH(QStringList, args);
        const Run r = plcConfig(args);
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains("usage: plc-config [OPTIONS] COMMAND [ARGS]"), r.err.constData());
    }

    // After a command, --help is that command's; alone, it lists them all.
    void helpAfterACommandIsItsOwn()
    {
        Run r = plcConfig({"upload", "--help"});
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.out.startsWith("usage: plc-config [OPTIONS] upload FILE [--force]\n"),
                 r.out.constData());
        QVERIFY(r.out.contains("--trace"));
        r = plcConfig({"--help"});
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.out.contains("\ncommands:\n  test "), r.out.constData());
    }

    // The connection test's message is a line of its own on stderr, whatever it says.
    void testPrintsItsMessageAsALine_data()
    {
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("said");
        QTest::newRow("answered") << QStringList{} << 0
                                  << QByteArray("Successful connect to the CPU with type 4660\n");
        QTest::newRow("silent") << QStringList{"--silent"} << 1
                                << QByteArray("No first answer from PLC. Check cable "
                                              "connection,port setting,and e.t.c.\n");
        QTest::newRow("the type word unanswered")
            << QStringList{"--silent-at", "0E02"} << 1
            << QByteArray("No second answer from PLC with type. Check cable connection,port "
                          "setting,and e.t.c.\n");
    }
    void testPrintsItsMessageAsALine()
    {
        QFETCH(QStringList, faults);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, said);
        PlcSimProcess sim;
        QVERIFY(sim.start(faults));
        const Run r = plcConfig(sim, {"test"});
        QCOMPARE(r.exitCode, exitCode);
        QCOMPARE(r.err, said);
        QCOMPARE(r.out, QByteArray());
    }

    void theOtherCommands()
    {
        PlcSimProcess sim;
        const QString log = sim.folder() + QStringLiteral("/frames.log");
        QVERIFY(sim.start({"--demo", "--search-delay", "0", "--log", log}));
        QFile frames(log);

        // A validation fault sends nothing. The sound project, but row 2 of UART 1 polls slave
        // address 249, one above the highest.
        QFile sound(m_sound);
        QVERIFY(sound.open(QIODevice::ReadOnly));
        ProjectRecord record = ProjectRecord::fromBytes(sound.readAll());
        SlaveEntry row2 = record.slave(ProjectRecord::Uart1, 1);
        row2.address = 249;
        record.setSlave(ProjectRecord::Uart1, 1, row2);
        QFile fault(sim.folder() + QStringLiteral("/fault.dpc"));
        QVERIFY(fault.open(QIODevice::WriteOnly) && fault.write(record.bytes()) > 0 &&
                fault.flush());
        Run r = plcConfig(sim, {"write", fault.fileName()});
        QCOMPARE(r.exitCode, 2);
        QCOMPARE(r.err, QByteArray("You configuration has error in the slave address data - row "
                                   "2\r\nColumn [Address]\n"));
        QVERIFY(!frames.open(QIODevice::ReadOnly) || !frames.readAll().contains("request"));
        frames.close();

        r = plcConfig(sim, {"search"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, QByteArray("5\n28F95221670000CC\n28B44944730100FE\n281F3703F702005A\n"
                                   "28501DA3120300D1\n28CD5ADB93040081\n"));

        r = plcConfig(sim, {"diag", "uart1"});
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.out.startsWith("1\tActive error\ttimeout error occurred\n"), r.out.constData());

        r = plcConfig(sim, {"restart"});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(frames.open(QIODevice::ReadOnly) && frames.readAll().contains("E113011027B49"));

        r = plcConfig({"to-ieee", "1,5"});
        QCOMPARE(r.out, QByteArray("3FC00000\n"));
        r = plcConfig({"to-float", "7f7fffff"});
        QCOMPARE(r.out, QByteArray("3.402823E+38\n"));
        r = plcConfig({"to-float", "7F7FFFF"});
        QCOMPARE(r.exitCode, 2);
        QCOMPARE(r.err, QByteArray("Incorrect value for conversion to float format!\n"));

        r = plcConfig({"show", QFINDTESTDATA("../fixtures/project/short.dpc")});
        QCOMPARE(r.exitCode, 2);
        QVERIFY(r.err.contains("holds 15000 bytes"));
    }
};

QTEST_MAIN(TestCli)
#include "tst_cli.moc"
