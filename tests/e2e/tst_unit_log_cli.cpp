// The record of units from the command line: write --log keeps a line per PLC, failures too, and
// refuses to send anything when it cannot keep it; log shows it; a kill -9 leaves whole lines.
#include "plc_sim_process.h"
#include "support/file_bytes.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QtTest>

namespace {

const QString Line = QStringLiteral("115200,E,8,1");

} // namespace

class TestUnitLogCli : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;
    const QString m_project = QFINDTESTDATA("../../examples/two-masters.dpc");

    QStringList plcConfigArguments(const QStringList &args) const
    {
        return QStringList{"--config-dir", m_config.path(), "--line", Line} + args;
    }
    Run plcConfig(const QStringList &args)
    {
        return runProgram(QStringLiteral(PLC_CONFIG_PATH), plcConfigArguments(args));
    }

private Q_SLOTS:
    void twoPlcsOneRefusingGiveTwoLines()
    {
        SimulatedPlcs plcs;
        QVERIFY(plcs.start({{}, {"--refuse-at", "2902"}}, {"--line", Line}));
        const QString log = plcs.dir.filePath(QStringLiteral("records/units.log"));
        const Run r =
            plcConfig(plcs.portOptions + QStringList{"write", m_project, "--verify", "--log", log});
        QCOMPARE(r.exitCode, 1);

        const QList<QByteArray> lines = fileBytes(log).split('\n');
        QCOMPARE(lines.size(), 3); // and nothing after the last line end
        QVERIFY(lines.last().isEmpty());
        const QByteArray sha256 =
            QCryptographicHash::hash(fileBytes(m_project), QCryptographicHash::Sha256).toHex();
        QHash<QString, QJsonObject> byPort;
        for (const QByteArray &line : lines.mid(0, 2)) {
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            QCOMPARE(o.value("sha256").toString().toLatin1(), sha256);
            QVERIFY(o.value("frames").toInt() > 0);
            byPort.insert(o.value("port").toString(), o);
        }
        QCOMPARE(byPort.value(plcs.ports[0]).value("result").toString(), "written and verified");
        QCOMPARE(byPort.value(plcs.ports[1]).value("result").toString(), "Wrong answer from PLC");

        const Run table = plcConfig({"log", log});
        QCOMPARE(table.exitCode, 3);
        QCOMPARE(table.err, QByteArray());
        // A row a unit, a long port shortened in its middle: its file name stays.
        const QStringList rows = QString::fromLocal8Bit(table.out.trimmed()).split(u'\n');
        QCOMPARE(rows.size(), 3);
        QVERIFY2(
            rows.filter(QRegularExpression("/plc1 .* written and verified +yes ")).size() == 1 &&
                rows.filter(QRegularExpression("/plc2 .* Wrong answer from PLC +no ")).size() == 1,
            table.out.constData());

        const Run json = plcConfig({"log", log, "--json"});
        QCOMPARE(json.exitCode, 3);
        QCOMPARE(json.out, fileBytes(log));
    }

    void aLogThatCannotBeWrittenSendsNothing_data()
    {
        QTest::addColumn<int>("plcCount");
        QTest::newRow("one port") << 1;
        QTest::newRow("two ports") << 2;
    }
    void aLogThatCannotBeWrittenSendsNothing()
    {
        QFETCH(int, plcCount);
        SimulatedPlcs plcs;
        QVERIFY(plcs.start(QList<QStringList>(plcCount), {"--line", Line}));
        // A folder where the log should be.
        const QString log = plcs.dir.filePath(QStringLiteral("units.log"));
        QVERIFY(QDir().mkpath(log));
        const Run r = plcConfig(plcs.portOptions + QStringList{"write", m_project, "--log", log});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains(log.toLocal8Bit()), r.err.constData());
        for (int i = 1; i <= plcCount; ++i)
            QVERIFY2(!fileBytes(plcs.frameLog(i)).contains("request"),
                     fileBytes(plcs.frameLog(i)).constData());
    }

    // plc-config killed at random moments while it writes PLCs: every line it left is whole.
    void aKillLeavesOnlyWholeLines()
    {
        SimulatedPlcs plcs;
        // Each slower than the one before, so their lines come at moments of their own.
        QVERIFY(plcs.start({{}, {"--delay", "10"}, {"--delay", "20"}}, {"--line", Line}));
        const QString log = plcs.dir.filePath(QStringLiteral("units.log"));
        const quint32 seed = qEnvironmentVariableIsSet("PLC_KILL_SEED")
                                 ? quint32(qEnvironmentVariableIntValue("PLC_KILL_SEED"))
                                 : QRandomGenerator::global()->generate();
        QRandomGenerator random(seed);
        const QByteArray said = "seed " + QByteArray::number(seed) + " (PLC_KILL_SEED repeats it)";
        const QStringList args =
            plcConfigArguments(plcs.portOptions + QStringList{"write", m_project, "--log", log});

        // The kills fall anywhere within the time a whole run takes on this machine.
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(runProgram(QStringLiteral(PLC_CONFIG_PATH), args).exitCode, 0);
        const qint64 whole = timer.elapsed();
        for (int round = 0; round < 12; ++round) {
            QProcess run;
            run.start(QStringLiteral(PLC_CONFIG_PATH), args);
            QVERIFY2(run.waitForStarted(30000), said.constData());
            QTest::qWait(int(random.bounded(quint32(whole + 1))));
            run.kill();
            QVERIFY2(run.waitForFinished(30000) || run.state() == QProcess::NotRunning,
                     said.constData());
        }
        // One run to its end after them: its three lines follow whatever the kills left.
        const qsizetype before = fileBytes(log).count('\n');
        qInfo("%lld lines from 12 runs killed within %lld ms", qlonglong(before - 3), whole);
        // Whether it succeeds is the PLCs' matter (one may still hold half a request of a
        // killed run); each of its ports ends in a line.
        const Run last = runProgram(QStringLiteral(PLC_CONFIG_PATH), args);
        QVERIFY2(last.exitCode == 0 || last.exitCode == 1, last.err.constData());
        if (last.exitCode != 0)
            qInfo("the last run: %s", last.err.constData());

        const QByteArray all = fileBytes(log);
        QVERIFY2(all.endsWith('\n'), said.constData());
        const QList<QByteArray> lines = all.chopped(1).split('\n');
        for (const QByteArray &line : lines) {
            QJsonParseError error;
            const QJsonDocument document = QJsonDocument::fromJson(line, &error);
            QVERIFY2(error.error == QJsonParseError::NoError && document.isObject(),
                     (said + ": " + line).constData());
        }
        QCOMPARE(lines.size(), before + 3);
    }
};

QTEST_GUILESS_MAIN(TestUnitLogCli)
#include "tst_unit_log_cli.moc"
