// Prints how long the transfers take on a line as slow as a real one (plc-sim --wire), next to
// the least they can take: the wire time of every character sent and received plus the pauses
// the procedures make, and the ratio of the two. Then the time of one command-line write of a
// full project with its read-back against that of the same write to 16 PLCs at once, and the
// peak memory of each. With --smoke, small tables and 2 PLCs.
#include "bench_support.h"

#include "cli/terminal_prompts.h"
#include "common/clock.h"
#include "support/wait_for_task.h"
#include "link/frame_tap.h"
#include "link/plc_link.h"
#include "link/qt_serial_line.h"
#include "modbus/modbus_upload.h"
#include "modbus/modbus_write.h"
#include "onewire/aux_transfer.h"
#include "project/project_file.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Real time, adding up the pauses the procedures ask for.
class PauseCountingClock final : public Clock
{
public:
    std::unique_ptr<ClockTimer> callAfter(int ms, std::function<void()> fire) override
    {
        return m_real.callAfter(ms, std::move(fire));
    }
    std::unique_ptr<ClockTimer> pauseEnds(int ms, std::function<void()> fire) override
    {
        pausedMs += ms;
        return m_real.callAfter(ms, std::move(fire));
    }
    qint64 nowMs() const override { return m_real.nowMs(); }

    qint64 pausedMs = 0;

private:
    SteadyClock m_real;
};

struct Transfer
{
    QByteArray name;
    std::function<Outcome(PlcLink &, const QString &, Prompts &)> run;
};

// Writes and uploads of the full configuration (rows slaves and sensors) over one line; false
// when one did not succeed or was measured faster than the line allows.
bool transfersAt(const QString &lineSettings, PauseCountingClock &clock, int rows)
{
    bench::Sim sim;
    if (!sim.start({QStringLiteral("--wire"), QStringLiteral("--line"), lineSettings}))
        return false;
    QtSerialLine line([&](int) { return sim.link(); });
    line.pinSettings(lineSettings);
    FrameTap tap;
    PlcLink link(line, clock, tap);
    qint64 characters = 0;
    int exchanges = 0;
    QObject::connect(&tap, &FrameTap::happened, &link, [&](const LinkEvent &e) {
        if (e.kind == LinkEvent::Kind::Sent)
            ++exchanges;
        if (e.kind == LinkEvent::Kind::Sent || e.kind == LinkEvent::Kind::Received)
            characters += e.bytes.size();
    });
    const double charSeconds = line.settings().bitsPerCharacter() / line.settings().baudRate;

    ModbusPort uart1(ModbusPortInfo::uart1());
    ModbusPort uart2(ModbusPortInfo::uart2());
    bench::fillSlaves(uart1, rows);
    bench::fillSlaves(uart2, rows);
    const AuxPortConfig sensors = bench::fullSensorConfig(rows);
    auto write = [](auto writeOne, const auto &what) {
        return [writeOne, &what](PlcLink &l, const QString &ini, Prompts &p) {
            WriteReport report;
            waitForTask(writeOne(l, ini, p, what, report, Confirmation::Ask));
            return report.outcome;
        };
    };
    auto upload = [](const ModbusPortInfo &info) {
        return [&info](PlcLink &l, const QString &ini, Prompts &p) {
            return waitForTask(uploadModbusPort(l, ini, p, info)).outcome();
        };
    };
    const QByteArray slaves = QByteArray::number(rows) + " slaves";
    const QByteArray sensorRows = QByteArray::number(rows) + " sensors";
    const Transfer transfers[] = {
        {"UART 1 write, " + slaves, write(writeModbusPort, uart1)},
        {"UART 1 upload", upload(ModbusPortInfo::uart1())},
        {"UART 2 write, " + slaves, write(writeModbusPort, uart2)},
        {"UART 2 upload", upload(ModbusPortInfo::uart2())},
        {"1-wire write, " + sensorRows, write(writeAuxPort, sensors)},
        {"1-wire upload",
         [](PlcLink &l, const QString &ini, Prompts &p) {
             return waitForTask(uploadAuxPort(l, ini, p)).outcome();
         }},
    };

    TerminalPrompts prompts;
    const QString ini = sim.dir.filePath(QStringLiteral("set.ini"));
    // Every transfer opens and closes the port once; that is no part of the limit.
    std::vector<double> openings;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer timer;
        timer.start();
        waitForTask(LinkTransfer(link, ini).open());
        openings.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(openings.begin(), openings.end());
    std::printf("\n%s on plc-sim --wire; opening and closing the port takes %.2f ms\n"
                "%-27s %9s %10s %10s %7s %15s\n",
                qPrintable(lineSettings), openings[2], "transfer", "exchanges", "measured", "limit",
                "ratio", "without opening");
    bool allDone = true;
    for (const Transfer &t : transfers) {
        characters = 0;
        exchanges = 0;
        clock.pausedMs = 0;
        QElapsedTimer timer;
        timer.start();
        const Outcome outcome = t.run(link, ini, prompts);
        const double measured = timer.nsecsElapsed() / 1e9;
        const double limit = characters * charSeconds + clock.pausedMs / 1000.0;
        const double ratio = measured / limit;
        // Faster than the wire allows: the characters or pauses were miscounted, not measured.
        const bool counted = limit > 0 && ratio >= 1;
        if (counted) {
            std::printf("%-27s %9d %8.3f s %8.3f s %7.3f %15.3f%s\n", t.name.constData(), exchanges,
                        measured, limit, ratio, (measured - openings[2] / 1000) / limit,
                        outcome == Outcome::Done ? "" : "  (did not succeed)");
        } else {
            std::printf("%-27s %9d %8.3f s %8.3f s   no ratio: below the line's limit, so the "
                        "count is wrong\n",
                        t.name.constData(), exchanges, measured, limit);
        }
        std::fflush(stdout);
        allDone = allDone && outcome == Outcome::Done && counted;
    }
    return allDone;
}

// Wall time of one plc-config run in seconds; negative when it did not succeed.
// One run of plc-config: its wall time and its peak resident memory. The peak is VmHWM of the
// child's /proc status, read every 10 ms while it runs (its own pages only); wait4's ru_maxrss
// is printed too, but Linux counts in it this bench's own pages, which the child had until exec.
struct RunFigures
{
    double seconds = -1;
    long peakKb = 0;
    long maxRssKb = 0;
};

// The high-water mark of a running process's resident memory, in kB, or 0 once it is gone.
long residentHighWater(pid_t pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

RunFigures timedRun(const QStringList &arguments)
{
    std::vector<QByteArray> words{QByteArray(PLC_CONFIG_PATH)};
    for (const QString &a : arguments)
        words.push_back(a.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    // Its summary lines would only clutter the figures; messages stay. Only async-signal-safe
    // calls between fork and exec.
    const int discard = ::open("/dev/null", O_WRONLY);
    QElapsedTimer timer;
    timer.start();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (discard >= 0)
            ::dup2(discard, STDOUT_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    if (discard >= 0)
        ::close(discard);
    RunFigures figures;
    int status = 0;
    rusage usage{};
    pid_t ended = 0;
    while (pid > 0 && (ended = ::wait4(pid, &status, WNOHANG, &usage)) == 0) {
        figures.peakKb = std::max(figures.peakKb, residentHighWater(pid));
        ::usleep(10000);
    }
    if (ended != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return figures;
    figures.seconds = double(timer.nsecsElapsed()) / 1e9;
    figures.maxRssKb = usage.ru_maxrss;
    return figures;
}

// One write of the full project (rows slaves and sensors) with --verify from the command line,
// then the same to count PLCs at once, in one process.
bool manyPlcs(int count, int rows)
{
    const QString lineSettings = QStringLiteral("115200,E,8,1");
    QTemporaryDir dir;
    const QString project = dir.filePath(QStringLiteral("full.dpc"));
    writeProjectFile(project, bench::FullPorts(rows).record());
    std::vector<std::unique_ptr<bench::Sim>> sims;
    QStringList ports;
    for (int i = 0; i < count; ++i) {
        sims.push_back(std::make_unique<bench::Sim>());
        if (!sims.back()->start({QStringLiteral("--wire"), QStringLiteral("--line"), lineSettings}))
            return false;
        ports << QStringLiteral("--port") << sims.back()->link();
    }
    const QStringList common = {QStringLiteral("--config-dir"), dir.path(),
                                QStringLiteral("--line"), lineSettings};
    const QStringList write = {QStringLiteral("write"), project, QStringLiteral("--verify")};
    const RunFigures one = timedRun(common + ports.mid(0, 2) + write);
    const RunFigures all = timedRun(common + ports + write);
    std::printf("\nplc-config write --verify of %d + %d slaves and %d sensors at %s on plc-sim "
                "--wire\none PLC %.3f s, peak resident %.1f MB (ru_maxrss %.1f MB)\n"
                "%d PLCs at once %.3f s, peak resident %.1f MB (ru_maxrss %.1f MB)\n"
                "time ratio %.3f\n",
                rows, rows, rows, qPrintable(lineSettings), one.seconds, one.peakKb / 1024.0,
                one.maxRssKb / 1024.0, count, all.seconds, all.peakKb / 1024.0,
                all.maxRssKb / 1024.0, all.seconds / one.seconds);
    return one.seconds > 0 && all.seconds > 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const bool smoke = bench::smokeRun(argc, argv);
    const int rows = smoke ? 8 : 128;
    PauseCountingClock clock;
    // The slow line second: where characters outweigh pauses, frames counted twice show most.
    bool ok = transfersAt(QStringLiteral("115200,E,8,1"), clock, rows);
    ok = transfersAt(QStringLiteral("9600,N,7,1"), clock, rows) && ok;
    ok = manyPlcs(smoke ? 2 : 16, rows) && ok;
    return ok ? 0 : 1;
}
