// Prints how the production run scales: one full project (128 slaves on each UART, 128 sensors)
// written and verified to 1, 8 and 16 plc-sim --wire PLCs at once through the controller the
// production window drives, each run's time against one PLC's, and the longest the event loop
// went without serving a 1 ms timer meanwhile. With --smoke, small tables on 1 and 4 PLCs.
#include "bench_support.h"
#include "support/wait_for_task.h"

#include "common/clock.h"
#include "production/production_run.h"
#include "transfer/unit_log.h"

#include <QCoreApplication>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

const QString LineText = QStringLiteral("115200,E,8,1");

struct Figures
{
    bool ok = false;
    double seconds = 0;
    double longestGapMs = 0;
};

// Writes and verifies the project on count PLCs at once; ok when every one ended verified.
Figures writeMany(int count, const QString &project, const QString &folder)
{
    std::vector<std::unique_ptr<bench::Sim>> sims;
    QList<StationPort> ports;
    for (int i = 0; i < count; ++i) {
        sims.push_back(std::make_unique<bench::Sim>());
        if (!sims.back()->start({"--line", LineText}))
            return {};
        ports << StationPort{sims.back()->link(), true, LineText, {}};
    }
    SteadyClock clock;
    const QString ini = folder + QStringLiteral("/set.ini");
    ProductionRun run(ini, clock);
    run.setPorts(ports);
    run.setProject(project);
    run.setLogPath(folder + QStringLiteral("/units-%1.jsonl").arg(count));
    bench::LatencyProbe probe;
    probe.reset();
    QElapsedTimer timer;
    timer.start();
    waitForTask(run.writeAll());
    Figures f;
    f.seconds = double(timer.nsecsElapsed()) / 1e9;
    f.longestGapMs = probe.longestMs();
    f.ok = run.problem().isEmpty();
    for (const ProductionRun::Row &row : run.rows()) {
        if (row.state != ProductionRun::State::Done) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(row.port.name),
                         qPrintable(ProductionRun::stateText(row)));
            f.ok = false;
        }
    }
    if (!run.problem().isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(run.problem()));
    const UnitLogContents log = readUnitLog(run.logPath());
    f.ok = f.ok && log.records.size() == count && log.problems.isEmpty();
    return f;
}

} // namespace

int main(int argc, char *argv[])
{
    // Qt's own event dispatcher, as plc-sim uses: its timers keep the time they are given.
    qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    const bool smoke = bench::smokeRun(argc, argv);
    QTemporaryDir dir;
    const QString project = dir.filePath(QStringLiteral("cabinet.dpc"));
    bench::FullPorts full(smoke ? 4 : 128);
    writeProjectFile(project, full.record());

    const QList<int> counts = smoke ? QList<int>{1, 4} : QList<int>{1, 8, 16};
    double one = 0;
    bool ok = true;
    std::printf("PLCs written and verified at once (%s, plc-sim --wire)\n", qPrintable(LineText));
    for (int count : counts) {
        const Figures f = writeMany(count, project, dir.path());
        if (!f.ok) {
            std::printf("%2d PLCs: failed\n", count);
            ok = false;
            continue;
        }
        if (count == 1)
            one = f.seconds;
        std::printf("%2d PLCs: %6.2f s, %.3f times one PLC, longest event-loop gap %.1f ms\n",
                    count, f.seconds, one > 0 ? f.seconds / one : 0.0, f.longestGapMs);
    }
    return ok ? 0 : 1;
}
