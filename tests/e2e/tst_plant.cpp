// plc-sim with a plant behind it: a project written into the PLC is polled against the plant's
// field devices over Modbus RTU, and the diagnostics read back what they answered.

#include "plc_sim_process.h"

#include <QElapsedTimer>
#include <QtTest>

namespace {

const char *const Plant = R"({
  "cycleMs": 20,
  "uart1": { "slaves": [
    { "address": 1, "holding": [0, 99] },
    %1
    { "address": 3, "holding": [0, 199], "coils": [0, 63] }
  ] },
  "uart2": { "slaves": [ { "address": 10, "coils": [0, 31] }, { "address": 11, "holding": [0, 9] } ] },
  "onewire": { "sensors": [
    { "rom": "28FF641E0F000034", "celsius": 21.5 },
    { "rom": "286164118D2C01F3", "absent": true }
  ] }
})";

} // namespace

class TestPlant : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;

    static void writeFile(const QString &path, const QByteArray &text)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(text), text.size());
    }
    // What "diag" prints once the PLC, which polls on its own, has come round to it: the first
    // output that done accepts, or the last one after half a minute.
    QByteArray diagUntil(const PlcSimProcess &sim, const QString &port,
                         const std::function<bool(const QByteArray &)> &done)
    {
        QElapsedTimer waited;
        waited.start();
        QByteArray out;
        do {
            const Run r = runPlcConfig(m_config.path(), {"--port", sim.linkPath(), "diag", port});
            out = r.exitCode == 0 ? r.out : r.err;
            if (r.exitCode != 0 || done(out))
                break;
            QTest::qWait(100);
        } while (waited.elapsed() < 30000);
        return out;
    }
    QByteArray diagBecomes(const PlcSimProcess &sim, const QString &port, const QByteArray &lines)
    {
        return diagUntil(sim, port, [&](const QByteArray &out) { return out == lines; });
    }

private Q_SLOTS:
    // examples/two-masters.dpc against a plant where slave 2 is missing and slave 3's registers
    // end before the configured write; then slave 2 is put on the line.
    void diagnosticsShowWhatThePlantAnswered()
    {
        PlcSimProcess sim;
        const QString plant = sim.folder() + QStringLiteral("/plant.json");
        const QString plantLog = sim.folder() + QStringLiteral("/plant.log");
        writeFile(plant, QByteArray(Plant).replace("%1", ""));
        QVERIFY(sim.start({"--plant", plant, "--plant-log", plantLog}));
        const Run w =
            runPlcConfig(m_config.path(), {"--port", sim.linkPath(), "write",
                                           QFINDTESTDATA("../../examples/two-masters.dpc")});
        QCOMPARE(w.exitCode, 0);

        const QByteArray failing("1\tNo error\t\n"
                                 "2\tActive error\ttimeout error occurred\n"
                                 "3\tActive error\tillegal register address\n"
                                 "4\tNo error\t\n");
        QCOMPARE(diagBecomes(sim, "uart1", failing), failing);
        const QByteArray allAnswer("1\tNo error\t\n2\tNo error\t\n3\tNo error\t\n");
        QCOMPARE(diagBecomes(sim, "uart2", allAnswer), allAnswer);
        // The second sensor is absent, the third not in the plant at all.
        const QByteArray oneWire = diagUntil(sim, "1wire", [](const QByteArray &out) {
            return out.count("No device found error :") == 2;
        });
        QVERIFY2(oneWire.startsWith("1\tNo error\t\n2\tActive error\tNo device found error :"),
                 oneWire);
        QVERIFY2(oneWire.contains("3\tActive error\tNo device found error :"), oneWire);

        writeFile(plant, QByteArray(Plant).replace("%1", R"({ "address": 2, "input": [0, 49] },)"));
        const QByteArray mended(QByteArray(failing).replace("Active error\ttimeout error occurred",
                                                            "Inactive error\t"));
        QCOMPARE(diagBecomes(sim, "uart1", mended), mended);

        // One line per poll, with what was read: slave 1's registers hold their own addresses.
        QFile log(plantLog);
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray lines = log.readAll();
        QVERIFY2(lines.contains("uart1 slot 1 slave 1 read holding 0..9 -> 0 1 2 3 4 5 6 7 8 9\n"),
                 lines.left(2000));
        QVERIFY2(
            lines.contains("uart1 slot 2 slave 2 read input 30..33 -> no answer within 500 ms\n"),
            lines.left(2000));
    }

    void aPlantWithFaultsIsRefusedWithTheirPlaces()
    {
        QTemporaryDir dir;
        const QString plant = dir.filePath(QStringLiteral("plant.json"));
        writeFile(plant, R"({ "uart1": { "slaves": [ { "address": 1, "holdings": [0, 9] } ] } })");
        const Run r = runProgram(QStringLiteral(PLC_SIM_PATH), {"--plant", plant});
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains("uart1.slaves[0].holdings"), r.err);
    }
};

QTEST_GUILESS_MAIN(TestPlant)
#include "tst_plant.moc"
