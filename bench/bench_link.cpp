// Prints what the PLC link costs on top of the PLC: the time per exchange beyond the simulated
// PLC's own answer delay over a pseudo-terminal, and the CPU time spent while a wait times out.
#include "bench_support.h"

#include "common/clock.h"
#include "link/plc_address.h"
#include "link/plc_link.h"
#include "link/qt_serial_line.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double cpuMs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
}

// Median time of `count` block reads of 8 bytes, in ms.
double medianExchangeMs(PlcLink &link, int count)
{
    std::vector<double> times;
    times.reserve(count);
    QElapsedTimer t;
    for (int i = 0; i < count; ++i) {
        t.start();
        const auto answer =
            QCoro::waitFor(link.Read_plc_block(Timeout::Data, Addr::Uart1Slaves, 8));
        times.push_back(t.nsecsElapsed() / 1e6);
        if (!answer) {
            std::fprintf(stderr, "exchange %d went unanswered\n", i);
            return -1;
        }
    }
    std::nth_element(times.begin(), times.begin() + count / 2, times.end());
    return times[count / 2];
}

int run(int exchanges, int simDelayMs)
{
    bench::Sim sim;
    if (!sim.start({QStringLiteral("--delay"), QString::number(simDelayMs)}))
        return 1;
    QtSerialLine line([&](int) { return sim.link(); });
    line.setSettings(QStringLiteral("115200,N,8,1"));
    SteadyClock clock;
    FrameTap tap;
    PlcLink link(line, clock, tap);
    line.open();
    const double median = medianExchangeMs(link, exchanges);
    line.close();
    if (median < 0)
        return 1;
    std::printf("exchanges: %d block reads of 8 bytes, simulator answer delay %d ms\n", exchanges,
                simDelayMs);
    std::printf("median per exchange: %.3f ms; beyond the simulator: %.3f ms\n", median,
                median - simDelayMs);
    return 0;
}

int idleWait()
{
    bench::Sim sim;
    if (!sim.start({QStringLiteral("--silent")}))
        return 1;
    QtSerialLine line([&](int) { return sim.link(); });
    line.setSettings(QStringLiteral("115200,N,8,1"));
    SteadyClock clock;
    FrameTap tap;
    PlcLink link(line, clock, tap);
    line.open();
    QElapsedTimer wall;
    const double before = cpuMs();
    wall.start();
    const auto answer = QCoro::waitFor(link.Read_plc_block(Timeout::Bracket, Addr::Uart1Slaves, 8));
    const double used = cpuMs() - before;
    const double elapsed = wall.nsecsElapsed() / 1e6;
    std::printf("wait that timed out: %.0f ms wall, %.2f ms CPU (%.2f %%)%s\n", elapsed, used,
                100.0 * used / elapsed, answer ? " (unexpected answer)" : "");
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int exchanges = argc > 1 ? std::max(1, atoi(argv[1])) : 1000;
    int rc = run(exchanges, 0);
    rc |= run(exchanges / 4, 5);
    rc |= idleWait();
    return rc;
}
