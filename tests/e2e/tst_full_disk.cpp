// Every command that writes a file, on a disk with no room left: it fails with exit 1 and a
// message naming the file and the reason, and the old file stays byte for byte.
#include "plc_sim_process.h"

#include <QDir>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

#include <unistd.h>

namespace {
QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
}

// Mounts a 16 KiB tmpfs on $1 in a mount namespace of its own, puts the old file $2 there as $3,
// takes the room that is left, runs the rest of the arguments and copies what is there after
// them to $4 (the file) and $4.list (the folder's names).
const char *const OnFullDisk = R"(d=$1 old=$2 name=$3 kept=$4
shift 4
mount -t tmpfs -o size=16k tmpfs "$d" || exit 97
cp "$old" "$d/$name" || exit 98
yes > "$d/filler" 2> /dev/null
"$@"
status=$?
cp "$d/$name" "$kept"
ls -A "$d" > "$kept.list"
exit $status)";
} // namespace

class TestFullDisk : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    const QString m_sound = QFINDTESTDATA("../fixtures/project/sound.dpc");
    QString m_unshare;

    QString path(const QString &name) const { return m_dir.filePath(name); }

private Q_SLOTS:
    void initTestCase()
    {
        if (::geteuid() != 0)
            QSKIP("mounting a small tmpfs needs root");
        m_unshare = QStandardPaths::findExecutable("unshare");
        if (m_unshare.isEmpty())
            QSKIP("no unshare (util-linux) to mount a tmpfs of the test's own");
        const Run probe = runProgram(m_unshare, {"-m", "--propagation", "private", "true"});
        if (probe.exitCode != 0)
            QSKIP(qPrintable("no mount namespace of the test's own: " + probe.err));
        // The inputs, written while there is room.
        const QStringList exportJson{"export", m_sound, path("in.json")};
        const QStringList exportCsv{"export", m_sound, "--csv", "uart1", path("in.csv")};
        QCOMPARE(runPlcConfig(m_dir.path(), exportJson).exitCode, 0);
        QCOMPARE(runPlcConfig(m_dir.path(), exportCsv).exitCode, 0);
        QFile old(path("old"));
        QVERIFY(old.open(QIODevice::WriteOnly));
        for (int i = 0; i < 3000; ++i)
            old.putChar(static_cast<char>('0' + i % 75));
    }

    void everyWriterKeepsTheOldFile_data()
    {
        QTest::addColumn<QStringList>("args"); // OUT is the file on the full disk
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("old"); // the file there before
        const QString sound = m_sound;
        const QString old = path("old");
        QTest::newRow("import") << QStringList{"import", path("in.json"), "OUT", "--force"}
                                << "p.dpc" << old;
        QTest::newRow("export") << QStringList{"export", sound, "OUT", "--force"} << "p.json"
                                << old;
        QTest::newRow("export --csv")
            << QStringList{"export", sound, "--csv", "uart1", "OUT", "--force"} << "p.csv" << old;
        QTest::newRow("import-table")
            << QStringList{"import-table", "OUT", "uart1", path("in.csv"), "--force"} << "p.dpc"
            << sound;
        QTest::newRow("upload") << QStringList{"upload", "OUT", "--force"} << "p.dpc" << old;
        QTest::newRow("report HTML")
            << QStringList{"report", sound, "OUT", "--force"} << "p.html" << old;
        QTest::newRow("report PDF")
            << QStringList{"report", sound, "OUT", "--force"} << "p.pdf" << old;
    }
    void everyWriterKeepsTheOldFile()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, name);
        QFETCH(QString, old);
        QTemporaryDir disk;
        const QString out = disk.filePath(name);
        args.replaceInStrings(QRegularExpression("^OUT$"), out);
        PlcSimProcess sim;
        if (args.first() == "upload") {
            QVERIFY(sim.start({"--demo"}));
            args = QStringList{"--port", sim.linkPath()} + args;
        }
        const QString kept = path("kept");
        const Run r = runProgram(m_unshare, QStringList{"-m", "--propagation", "private", "sh",
                                                        "-c", OnFullDisk, "sh", disk.path(), old,
                                                        name, kept, QStringLiteral(PLC_CONFIG_PATH),
                                                        "--config-dir", m_dir.path()} +
                                                args);
        QVERIFY2(r.exitCode != 97, "no tmpfs could be mounted");
        QVERIFY2(r.err.contains("Cannot write " + out.toLocal8Bit() + ": No space left on device"),
                 r.err.constData());
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(fileBytes(kept), fileBytes(old));
        QCOMPARE(fileBytes(kept + ".list"), "filler\n" + name.toLocal8Bit() + "\n");
    }
};

QTEST_GUILESS_MAIN(TestFullDisk)
#include "tst_full_disk.moc"
