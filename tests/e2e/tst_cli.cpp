// The command line against plc-sim on a pty: the same frames as the window's buttons, uploads
// that give back what was written, exit statuses and messages.
#include "plc_sim_process.h"

#include "app/main_window.h"
#include "cli/frame_trace.h"
#include "modbus/modbus_port.h"
#include "project/project_record.h"
#include "sim/sim_line.h"
#include "support/scripted_prompts.h"

#include <QAction>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QtTest>

namespace {

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

QJsonObject json(const QByteArray &text)
{
    return QJsonDocument::fromJson(text).object();
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;

    Run plcConfig(const QStringList &args)
    {
        QProcess p;
        p.setProgram(QStringLiteral(PLC_CONFIG_PATH));
        p.setArguments(QStringList{QStringLiteral("--config-dir"), m_config.path()} + args);
        p.start();
        Run r;
        if (!p.waitForFinished(60000)) {
            p.kill();
            return r;
        }
        r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = p.readAllStandardOutput();
        r.err = p.readAllStandardError();
        return r;
    }
    QString fixture(const char *name)
    {
        return QFINDTESTDATA(QStringLiteral("../fixtures/project/") + QLatin1String(name));
    }

    // The frames the window's three "Write to PLC" buttons send for a project, as trace text.
    QList<QByteArray> windowWriteFrames(const QString &project)
    {
        QTemporaryDir dir;
        auto line = std::make_unique<sim::SimulatedLine>();
        sim::SimulatedLine *sim = line.get();
        ScriptedPrompts prompts;
        MainWindow window(dir.filePath(QStringLiteral("set.ini")), std::move(line), &prompts);
        prompts.queueFile(project);
        window.findChild<QAction *>(QStringLiteral("Load_config"))->trigger();
        for (const char *button : {"Command19", "Command7", "Command17"})
            window.findChild<QPushButton *>(QLatin1String(button))->click();
        if (!prompts.messages().isEmpty())
            qWarning() << prompts.messages();
        QList<QByteArray> frames;
        for (const QByteArray &sent : sim->sends())
            frames << FrameTrace::readable(sent);
        return frames;
    }

    static QList<QByteArray> tracedFrames(const QByteArray &stderrText)
    {
        QList<QByteArray> frames;
        for (const QByteArray &line : stderrText.split('\n')) {
            const qsizetype at = line.indexOf(" > ");
            if (at >= 0)
                frames << line.mid(at + 3);
        }
        return frames;
    }

private Q_SLOTS:
    void writeSendsWhatTheWindowsButtonsSend()
    {
        const QString project = fixture("sound.dpc");
        const QList<QByteArray> expected = windowWriteFrames(project);
        QVERIFY(expected.size() > 6);

        PlcSimProcess sim;
        QVERIFY(sim.start());
        const Run r = plcConfig({"--port", sim.linkPath(), "--trace", "write", project});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(tracedFrames(r.err), expected);

        // --only picks ports, in the fixed order.
        const Run only = plcConfig({"--port", sim.linkPath(), "--trace", "write", project, "--only",
                                    "aux", "--only", "uart1"});
        QCOMPARE(only.exitCode, 0);
        const QByteArray frames = tracedFrames(only.err).join('|');
        const qsizetype uart1 = frames.indexOf("E11200802"); // UART 1's port word
        const qsizetype aux = frames.indexOf("E11200A02");   // the auxiliary port's mode word
        QVERIFY(uart1 >= 0 && aux > uart1);
        QVERIFY(!frames.contains("E11200602")); // nothing of UART 2
    }

    void uploadGivesBackWhatWasWritten()
    {
        PlcSimProcess sim;
        QVERIFY(sim.start());
        const QString project = fixture("sound.dpc");
        QCOMPARE(plcConfig({"--port", sim.linkPath(), "write", project}).exitCode, 0);
        const QString uploaded = sim.folder() + QStringLiteral("/uploaded.dpc");
        const Run up = plcConfig({"--port", sim.linkPath(), "upload", uploaded});
        QCOMPARE(up.exitCode, 0);
        QVERIFY2(up.err.isEmpty(), up.err.constData());

        const QJsonObject before = json(plcConfig({"show", project, "--json"}).out);
        const QJsonObject after = json(plcConfig({"show", uploaded, "--json"}).out);
        QVERIFY(!before.isEmpty());
        for (const char *port : {"uart1", "uart2"}) {
            const QJsonObject a = before[QLatin1String(port)].toObject();
            const QJsonObject b = after[QLatin1String(port)].toObject();
            QCOMPARE(b["mode"], a["mode"]);
            QCOMPARE(b["slaves"], a["slaves"]);
        }
        QCOMPARE(after["aux"], before["aux"]);

        // An existing file is kept unless --force.
        const Run again = plcConfig({"--port", sim.linkPath(), "upload", uploaded});
        QCOMPARE(again.exitCode, 2);
        QVERIFY(again.err.contains("--force"));
        QCOMPARE(plcConfig({"--port", sim.linkPath(), "upload", uploaded, "--force"}).exitCode, 0);
    }

    void aSilentPlcFailsWithoutAFile()
    {
        PlcSimProcess sim;
        QVERIFY(sim.start({"--silent"}));
        const QString path = sim.folder() + QStringLiteral("/never.dpc");
        const Run r = plcConfig({"--port", sim.linkPath(), "upload", path});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains("Answer timeout from PLC"), r.err.constData());
        QVERIFY(!QFile::exists(path));

        const Run w = plcConfig({"--port", sim.linkPath(), "write", fixture("sound.dpc")});
        QCOMPARE(w.exitCode, 1);
        QCOMPARE(w.err, QByteArray("Answer timeout from PLC\n"));
    }

    void aValidationFaultSendsNothing()
    {
        // Row 2 of UART 1 polls slave address 249, one above the highest.
        ProjectRecord record;
        record.setByteField(ProjectRecord::Uart1, ProjectRecord::ModeOffset, 0);
        record.setByteField(ProjectRecord::Uart1, ProjectRecord::SpeedOffset, 4);
        record.setByteField(ProjectRecord::Uart1, ProjectRecord::SlaveCountOffset, 2);
        record.setSlave(ProjectRecord::Uart1, 0, SlaveEntry{1, 1, 1, 0, 0, 100});
        record.setSlave(ProjectRecord::Uart1, 1, SlaveEntry{249, 1, 1, 0, 0, 100});
        for (const auto block : {ProjectRecord::Uart2, ProjectRecord::Aux})
            record.setByteField(block, ProjectRecord::ModeOffset, 2);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("fault.dpc"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(record.bytes());
        f.close();

        PlcSimProcess sim;
        const QString log = dir.filePath(QStringLiteral("frames.log"));
        QVERIFY(sim.start({"--log", log}));
        const Run r = plcConfig({"--port", sim.linkPath(), "write", path});
        QCOMPARE(r.exitCode, 2);
        QCOMPARE(r.err, QByteArray("You configuration has error in the slave address data - row "
                                   "2\r\nColumn [Address]\n"));
        QFile frames(log);
        QVERIFY(!frames.open(QIODevice::ReadOnly) || !frames.readAll().contains("request"));
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
    }
    void badArgumentsGiveTheUsage()
    {
        QFETCH(QStringList, args);
        const Run r = plcConfig(args);
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains("usage: plc-config [OPTIONS] COMMAND [ARGS]"), r.err.constData());
    }

    void theOtherCommands()
    {
        PlcSimProcess sim;
        QTemporaryDir dir;
        const QString log = dir.filePath(QStringLiteral("frames.log"));
        QVERIFY(sim.start({"--demo", "--search-delay", "0", "--log", log}));
        const QStringList port{"--port", sim.linkPath()};

        Run r = plcConfig(port + QStringList{"test"});
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.err.contains("Successful connect to the CPU with type 4660"), r.err.constData());

        r = plcConfig(port + QStringList{"search"});
        QCOMPARE(r.exitCode, 0);
        const QList<QByteArray> lines = r.out.trimmed().split('\n');
        QVERIFY(lines.size() >= 2);
        QCOMPARE(lines.size(), lines.first().toInt() + 1);
        QVERIFY(
            QRegularExpression("^[0-9A-F]{16}$").match(QString::fromLatin1(lines[1])).hasMatch());

        r = plcConfig(port + QStringList{"diag", "uart1"});
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.out.startsWith("1\t"), r.out.constData());

        r = plcConfig(port + QStringList{"restart"});
        QCOMPARE(r.exitCode, 0);
        QFile frames(log);
        QVERIFY(frames.open(QIODevice::ReadOnly));
        QVERIFY(frames.readAll().contains("E113011027B49"));

        r = plcConfig({"to-ieee", "1,5"});
        QCOMPARE(r.out, QByteArray("3FC00000\n"));
        r = plcConfig({"to-float", "7f7fffff"});
        QCOMPARE(r.out, QByteArray("3.402823E+38\n"));
        r = plcConfig({"to-float", "7F7FFFF"});
        QCOMPARE(r.exitCode, 2);
        QCOMPARE(r.err, QByteArray("Incorrect value for conversion to float format!\n"));

        r = plcConfig({"show", fixture("short.dpc")});
        QCOMPARE(r.exitCode, 2);
        QVERIFY(r.err.contains("holds 15000 bytes"));
    }
};

QTEST_MAIN(TestCli)
#include "tst_cli.moc"
