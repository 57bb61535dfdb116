// The command line when the line, the PLC, the files or the arguments are at fault: a fault
// stops the command cleanly with a message that says what happened, and nothing that cannot be
// trusted is taken or written.
#include "plc_sim_process.h"
#include "support/file_bytes.h"

#include "project/project_record.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// The peak resident memory of a running process, in MiB.
double peakMiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return -1;
}
} // namespace

class TestFaults : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;
    const QString m_sound = QFINDTESTDATA("../fixtures/project/sound.dpc");

    Run plcConfig(const QStringList &args) { return runPlcConfig(m_config.path(), args); }
    Run plcConfig(const PlcSimProcess &sim, const QStringList &args)
    {
        return plcConfig(QStringList{"--port", sim.linkPath()} + args);
    }
    // The requests plc-sim logged.
    static int requests(const QString &log)
    {
        return static_cast<int>(fileBytes(log).count("request"));
    }

private Q_SLOTS:
    // Fault prevented: each port was checked just before it was sent, so a fault in the 1-wire
    // table left UART 1 and UART 2 written.
    void aFaultAnywhereInTheProjectSendsNothing()
    {
        ProjectRecord record = ProjectRecord::fromBytes(fileBytes(m_sound));
        SensorEntry sensor = record.sensor(ProjectRecord::Aux, 0);
        sensor.reg = 7998;
        record.setSensor(ProjectRecord::Aux, 0, sensor);
        const QString project = m_config.filePath(QStringLiteral("fault.dpc"));
        QFile file(project);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(record.bytes()) == 15040);
        file.close();

        PlcSimProcess sim;
        const QString log = sim.folder() + QStringLiteral("/frames.log");
        QVERIFY(sim.start({"--log", log}));
        const Run r = plcConfig(sim, {"write", project});
        QCOMPARE(r.exitCode, 2);
        QCOMPARE(
            r.err,
            QByteArray("You configuration has error in master addresing data Dxxxx. Row is 1\n"));
        QCOMPARE(requests(log), 0);
    }

    // Fault prevented: a FIFO as set.ini blocked the program for ever, and a device node or FIFO
    // given to upload was replaced by a file. Only regular files are read or replaced.
    void onlyRegularFilesAreReadOrReplaced_data()
    {
        auto row = [](const char *name, const QStringList &args, int exitCode,
                      const QString &said) { QTest::newRow(name) << args << exitCode << said; };
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("said");
        row("a FIFO as set.ini", QStringList{"--config-dir", "FIFO-DIR", "restart"}, 2,
            "set.ini: it is a FIFO, not a file");
        row("upload onto a FIFO", QStringList{"upload", "FIFO", "--force"}, 1,
            "Cannot write FIFO: it is a FIFO, not a file; it is kept");
        row("upload onto a device", QStringList{"upload", "/dev/null", "--force"}, 1,
            "Cannot write /dev/null: it is a character device, not a file; it is kept");
    }
    void onlyRegularFilesAreReadOrReplaced()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, said);
        QTemporaryDir dir;
        const QString fifo = dir.filePath(QStringLiteral("fifo"));
        QCOMPARE(mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("ini")));
        const QString fifoIni = dir.filePath(QStringLiteral("ini/set.ini"));
        QCOMPARE(mkfifo(fifoIni.toLocal8Bit().constData(), 0600), 0);
        args.replaceInStrings(QStringLiteral("FIFO-DIR"), dir.filePath(QStringLiteral("ini")));
        args.replaceInStrings(QStringLiteral("FIFO"), fifo);
        said.replace(QStringLiteral("FIFO-DIR"), dir.filePath(QStringLiteral("ini")));
        said.replace(QStringLiteral("Cannot write FIFO"), QStringLiteral("Cannot write ") + fifo);

        PlcSimProcess sim;
        const QString log = sim.folder() + QStringLiteral("/frames.log");
        QVERIFY(sim.start({"--demo", "--log", log}));
        const Run r = plcConfig(sim, args);
        QCOMPARE(r.exitCode, exitCode);
        QVERIFY2(r.err.contains(said.toLocal8Bit()), r.err.constData());
        QCOMPARE(requests(log), 0);
        QVERIFY(!QFileInfo(fifo).isFile());
    }

    // Fault prevented: answers were decoded whatever arrived, so a damaged one was stored as the
    // PLC's configuration. A damaged answer is read once more; noise before an answer is no part
    // of it; an answer damaged twice stops the command and writes no file.
    void damagedAnswersAreNotTaken_data()
    {
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("damaged once")
            << QStringList{"--damage-at", "2008", "--damage-count", "1"} << 0;
        QTest::newRow("a stray byte before every answer") << QStringList{"--stray", "58"} << 0;
        QTest::newRow("a stray STX before every answer") << QStringList{"--stray", "02"} << 0;
        QTest::newRow("damaged every time") << QStringList{"--damage-at", "2502"} << 1;
    }
    void damagedAnswersAreNotTaken()
    {
        QFETCH(QStringList, faults);
        QFETCH(int, exitCode);
        PlcSimProcess clean, faulty;
        QVERIFY(clean.start({"--demo"}) && faulty.start(QStringList{"--demo"} + faults));
        const QString expected = clean.folder() + QStringLiteral("/clean.dpc");
        const QString got = faulty.folder() + QStringLiteral("/faulty.dpc");
        QCOMPARE(plcConfig(clean, {"upload", expected}).exitCode, 0);
        const Run r = plcConfig(faulty, {"upload", got});
        QCOMPARE(r.exitCode, exitCode);
        if (exitCode == 0) {
            QCOMPARE(fileBytes(got), fileBytes(expected));
        } else {
            QCOMPARE(r.err, QByteArray("Damaged answer from PLC\n"));
            QVERIFY(!QFile::exists(got));
        }
    }

    // Fault prevented: an answer that came late for a request that had timed out was taken by
    // the next command as its own. The line is drained until it falls quiet before it closes.
    void aLateAnswerDoesNotReachTheNextCommand()
    {
        PlcSimProcess sim;
        QVERIFY(sim.start({"--demo", "--late-once", "600"}));
        const Run late = plcConfig(sim, {"diag", "uart1"});
        QCOMPARE(late.exitCode, 1);
        QCOMPARE(late.err, QByteArray("Answer timeout from PLC\n"));
        const Run next = plcConfig(sim, {"diag", "1wire"});
        const Run again = plcConfig(sim, {"diag", "1wire"});
        QCOMPARE(next.exitCode, 0);
        QCOMPARE(next.out, again.out);
        QVERIFY(next.out.startsWith("1\tNo error"));
    }

    // Fault prevented: restart exited 0 whatever the PLC answered; a write answered with STX and
    // then the refusal was taken as accepted and stopped nowhere (the PLC stored nothing); a device
    // that went away was reported as "receiving failed (...)" or "the port is not open", by the
    // moment it happened. Each command now ends on what happened, at that request.
    void aCommandSaysWhatTheLineAndThePlcDid_data()
    {
        auto row = [](const char *name, const QStringList &faults, const QStringList &args,
                      int exitCode, const QString &said, int requested = -1) {
            QTest::newRow(name) << faults << args << exitCode << said << requested;
        };
        QTest::addColumn<QStringList>("faults"); // plc-sim's
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("said");  // LINK: the device's path
        QTest::addColumn<int>("requested"); // requests plc-sim logged; -1: not counted
        const QStringList restart{"restart"}, write{"write", m_sound};
        const QStringList strayStx{"--stray", "02", "--refuse-at"};
        row("restart taken", QStringList{}, restart, 0, "");
        row("restart refused", QStringList{"--refuse-at", "3011"}, restart, 1,
            "Wrong answer from PLC\n");
        row("restart, silence", QStringList{"--silent"}, restart, 1, "Answer timeout from PLC\n");
        row("restart refused behind a stray STX", strayStx + QStringList{"3011"}, restart, 1,
            "Damaged answer from PLC\n");
        row("write refused behind a stray STX", strayStx + QStringList{"3000"}, write, 1,
            "Damaged answer from PLC\n", 1);
        const std::pair<int, const char *> moments[] = {{1, "device gone at the first request"},
                                                        {3, "device gone inside the bracket"},
                                                        {5, "device gone at the control word"},
                                                        {7, "device gone at the second port"}};
        for (const auto &[request, name] : moments) {
            row(name, {"--hang-up-at", QString::number(request)}, write, 1,
                "LINK: the device went away\n");
        }
    }
    void aCommandSaysWhatTheLineAndThePlcDid()
    {
        QFETCH(QStringList, faults);
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, said);
        QFETCH(int, requested);
        PlcSimProcess sim;
        const QString log = sim.folder() + QStringLiteral("/frames.log");
        QVERIFY(sim.start(requested < 0 ? faults : faults + QStringList{"--log", log}));
        const Run r = plcConfig(sim, args);
        QCOMPARE(r.exitCode, exitCode);
        QCOMPARE(r.err, said.replace(QStringLiteral("LINK"), sim.linkPath()).toLocal8Bit());
        if (requested >= 0)
            QCOMPARE(requests(log), requested);
    }

    // Fault prevented: a peer that flooded the line while the program paused grew its memory
    // without bound. The flood ends the search cleanly, in bounded memory.
    void aFloodingPeerCostsNoMemory()
    {
        PlcSimProcess sim;
        QVERIFY(sim.start({"--sensors", "3", "--flood-at", "2000"}));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // The sanitizer keeps freed memory aside; here only memory in use counts.
        env.insert(QStringLiteral("ASAN_OPTIONS"), env.value(QStringLiteral("ASAN_OPTIONS")) +
                                                       QStringLiteral(":quarantine_size_mb=1"));
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(PLC_CONFIG_PATH),
                {"--config-dir", m_config.path(), "--port", sim.linkPath(), "search"});
        QVERIFY(p.waitForStarted());
        double peak = 0;
        while (!p.waitForFinished(50))
            peak = std::max(peak, peakMiB(p.processId()));
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(p.readAllStandardOutput().split('\n').first(), QByteArray("3"));
        QVERIFY2(peak > 0 && peak < 160, qPrintable(QString::number(peak)));
    }

    void smallerFaults_data()
    {
        auto row = [](const char *name, const QStringList &args, const QString &ini, int exitCode,
                      const QString &said) {
            QTest::newRow(name) << args << ini << exitCode << said;
        };
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("ini"); // set.ini's section COM
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("said"); // on stdout for exit 0, else on stderr
        row("--port without its value", QStringList{"--port"}, QString(), 2, "usage: plc-config");
        row("a negative number to convert", QStringList{"to-ieee", "-1.5", "--trace"}, QString(), 0,
            "BFC00000\n");
        row("a negative number behind --", QStringList{"to-ieee", "--", "-1.5"}, QString(), 0,
            "BFC00000\n");
        row("--port= without its value", QStringList{"--port=", "test"}, QString(), 2,
            "usage: plc-config");
        row("a speed outside its list", QStringList{"--port", "SIM", "restart"}, "Speed=99", 1,
            "Speed=99 names no choice of its list");
        row("a device path too long for the lock file", QStringList{"--port", "LONG", "restart"},
            QString(), 1, "the device path is too long for the port's lock file");
    }
    void smallerFaults()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, ini);
        QFETCH(int, exitCode);
        QFETCH(QString, said);
        PlcSimProcess sim;
        QVERIFY(sim.start());
        QTemporaryDir config;
        if (!ini.isEmpty()) {
            QFile file(config.filePath(QStringLiteral("set.ini")));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("[COM]\n" + ini.toLatin1() + '\n');
        }
        // A path of more than 255 characters once its slashes are underscores, to the device.
        QString longPath = config.path();
        while (longPath.size() < 300)
            longPath += QStringLiteral("/a-folder-with-a-long-name");
        QVERIFY(QDir().mkpath(longPath));
        longPath += QStringLiteral("/plc");
        QVERIFY(QFile::link(sim.linkPath(), longPath));
        args.replaceInStrings(QStringLiteral("SIM"), sim.linkPath());
        args.replaceInStrings(QStringLiteral("LONG"), longPath);
        const Run r = runPlcConfig(config.path(), args);
        QCOMPARE(r.exitCode, exitCode);
        const QByteArray text = exitCode == 0 ? r.out : r.err;
        QVERIFY2(text.contains(said.toLocal8Bit()), text.constData());
    }

    // Fault prevented: output that could not be written ended with exit status 0, and for check
    // and compare with 3, as if their findings had been listed. Failing output is 1 whatever the
    // command found.
    void outputThatCannotBeWrittenFails_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("show") << QStringList{"show", m_sound};
        QTest::newRow("check with warnings")
            << QStringList{"check", QFINDTESTDATA("../../examples/mistakes.dpc")};
        QTest::newRow("compare with differences") << QStringList{"compare", m_sound};
    }
    void outputThatCannotBeWrittenFails()
    {
        QFETCH(QStringList, args);
        PlcSimProcess sim; // holds nothing: it differs from every project
        QVERIFY(sim.start());
        QProcess p;
        // Standard output on a file open for reading only: every write to it fails.
        const QByteArray readOnly = QFile::encodeName(m_sound);
        p.setChildProcessModifier([readOnly] {
            const int fd = ::open(readOnly.constData(), O_RDONLY);
            if (fd >= 0)
                ::dup2(fd, STDOUT_FILENO);
        });
        p.start(QStringLiteral(PLC_CONFIG_PATH),
                QStringList{"--config-dir", m_config.path(), "--port", sim.linkPath()} + args);
        QVERIFY(p.waitForFinished(60000));
        const QByteArray err = p.readAllStandardError();
        QCOMPARE(p.exitCode(), 1);
        QVERIFY2(err.startsWith("Cannot write the output: "), err.constData());
    }
};

QTEST_GUILESS_MAIN(TestFaults)
#include "tst_faults.moc"
