// Prints how long the configuration check takes on a full configuration: 128 slaves on each UART
// and 128 sensors, from the ports (as the window runs it after every edit) and from a project
// record (as `plc-config check` runs it). Median, 95th percentile and slowest of many runs, and
// what was found.
#include "bench_support.h"

#include "project/config_check.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

void measure(const char *what, int runs, const std::function<QList<Finding>()> &check)
{
    std::vector<double> ms;
    QList<Finding> findings;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        findings = check();
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-32s median %6.3f ms  95%% %6.3f ms  slowest %6.3f ms  %lld findings (%d "
                "warnings)\n",
                what, ms[ms.size() / 2], ms[ms.size() * 95 / 100], ms.back(),
                static_cast<long long>(findings.size()), warningCount(findings));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 200;

    bench::FullPorts full;
    const ProjectRecord record = full.record();

    std::printf("Configuration check, 2 x 128 slaves and 128 sensors, %d runs each\n", runs);
    measure("from the ports (the window)", runs,
            [&] { return checkConfiguration(full.uart1, full.uart2, full.aux); });
    measure("from a project record (check)", runs, [&] { return checkConfiguration(record); });
    return 0;
}
