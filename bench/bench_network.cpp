// Prints what a serial device server in front of the PLC costs. First the full write (both UARTs
// with their slaves, then the 1-wire table) and its read-back, as bench_throughput makes them, to
// plc-sim --wire directly on its pseudo-terminal and through ser2net with rfc2217:// and tcp://,
// with ser2net's defaults, without its character delay, with TCP_NODELAY on its accepters and
// with both, and the ratio of each to the direct one. Then the same to 16 PLCs behind one ser2net
// at once, against that to one of them. Each figure is the median of three runs. With --smoke,
// small tables, one run and 2 PLCs.
#include "bench_support.h"

#include "cli/terminal_prompts.h"
#include "common/clock.h"
#include "link/frame_tap.h"
#include "link/network_line.h"
#include "link/plc_link.h"
#include "link/qt_serial_line.h"
#include "modbus/modbus_upload.h"
#include "modbus/modbus_write.h"
#include "onewire/aux_transfer.h"
#include "support/ser2net_server.h"
#include "support/wait_for_task.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>
#include <vector>

namespace {

const QString Line = QStringLiteral("115200,E,8,1");

// ser2net's settings for the many-PLC figures, as the README proposes them: its character
// delay, which holds every answer back for more characters, off; its accepters as they come.
constexpr bool NoDelay = false;
constexpr bool CharDelay = false;

enum class Route { Direct, Rfc2217, Tcp };

const char *routeName(Route route)
{
    switch (route) {
    case Route::Direct:
        return "pseudo-terminal";
    case Route::Rfc2217:
        return "rfc2217://";
    case Route::Tcp:
        return "tcp://";
    }
    return "";
}

// A link to one plc-sim, directly or through the device of a ser2net.
struct Plc
{
    SteadyClock clock;
    FrameTap tap;
    std::unique_ptr<SerialLine> line;
    std::unique_ptr<PlcLink> link;
    QString ini;

    Plc(Route route, const bench::Sim &sim, const Ser2netServer *server, int device)
        : ini(sim.dir.filePath(QStringLiteral("set.ini")))
    {
        if (route == Route::Direct) {
            const QString path = sim.link();
            line = std::make_unique<QtSerialLine>([path](int) { return path; });
        } else {
            const QString address = route == Route::Rfc2217 ? server->rfc2217Address(device)
                                                            : server->tcpAddress(device);
            line = std::make_unique<NetworkLine>(*NetworkAddress::parse(address));
        }
        line->pinSettings(Line);
        link = std::make_unique<PlcLink>(*line, clock, tap);
    }
};

// The transfers of bench_throughput: UART 1, UART 2 and the 1-wire table written, then read
// back (as write --verify does); false when one did not succeed.
QCoro::Task<bool> fullTransfer(Plc &plc, Prompts &prompts, const bench::FullPorts &ports)
{
    WriteReport uart1, uart2, aux;
    co_await writeModbusPort(*plc.link, plc.ini, prompts, ports.uart1, uart1, Confirmation::Given);
    co_await writeModbusPort(*plc.link, plc.ini, prompts, ports.uart2, uart2, Confirmation::Given);
    co_await writeAuxPort(*plc.link, plc.ini, prompts, ports.aux.config(), aux,
                          Confirmation::Given);
    bool done = uart1.outcome == Outcome::Done;
    done = done && uart2.outcome == Outcome::Done && aux.outcome == Outcome::Done;
    for (const ModbusPortInfo &info : {ModbusPortInfo::uart1(), ModbusPortInfo::uart2()}) {
        const auto back = co_await uploadModbusPort(*plc.link, plc.ini, prompts, info);
        done = done && back.outcome() == Outcome::Done;
    }
    const auto backAux = co_await uploadAuxPort(*plc.link, plc.ini, prompts);
    co_return done &&backAux.outcome() == Outcome::Done;
}

// Milliseconds to open and close the line (the median of five), which every transfer does once:
// through the server that is the connection, and for rfc2217:// the settings agreed too.
double openingMs(Plc &plc)
{
    std::vector<double> ms;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer timer;
        timer.start();
        waitForTask(LinkTransfer(*plc.link, plc.ini).open());
        ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[2];
}

// Seconds for the full write and read-back to all these PLCs at once; negative when one did not
// succeed.
double timedWrite(std::vector<std::unique_ptr<Plc>> &plcs, const bench::FullPorts &ports)
{
    TerminalPrompts prompts;
    QElapsedTimer timer;
    timer.start();
    // Eager tasks: all are under way before the first is waited for.
    std::vector<QCoro::Task<bool>> writes;
    for (auto &plc : plcs)
        writes.push_back(fullTransfer(*plc, prompts, ports));
    bool allDone = true;
    for (auto &write : writes) {
        try {
            allDone = waitForTask(std::move(write)) && allDone;
        } catch (const std::exception &e) {
            std::fprintf(stderr, "%s\n", e.what());
            allDone = false;
        }
    }
    return allDone ? timer.nsecsElapsed() / 1e9 : -1;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Server
{
    Ser2netServer ser2net;
    bool up = false;
    Server(const std::vector<std::unique_ptr<bench::Sim>> &sims, bool noDelay, bool charDelay)
    {
        for (const auto &sim : sims)
            ser2net.addDevice(sim->link());
        ser2net.setNoDelay(noDelay);
        if (!charDelay)
            ser2net.setConnectionOptions({QStringLiteral("chardelay: false")});
        up = ser2net.start();
        if (!up)
            std::fprintf(stderr, "ser2net: %s\n", qPrintable(ser2net.errorString()));
    }
};

// The one-PLC figures: the transfers directly, and through ser2net with its defaults, without its
// character delay, with TCP_NODELAY on its accepters, and with both.
bool oneLine(const bench::FullPorts &ports, int rows, int runs)
{
    std::vector<std::unique_ptr<bench::Sim>> sims;
    sims.push_back(std::make_unique<bench::Sim>());
    if (!sims.front()->start({QStringLiteral("--wire"), QStringLiteral("--line"), Line}))
        return false;
    struct Setup
    {
        const char *name;
        bool noDelay, charDelay;
    };
    const Setup setups[] = {{"defaults", false, true},
                            {"chardelay off", false, false},
                            {"nodelay", true, true},
                            {"nodelay, chardelay off", true, false}};
    std::vector<std::unique_ptr<Server>> servers;
    struct Way
    {
        QByteArray name;
        Route route;
        Ser2netServer *server;
        std::vector<double> seconds, openingMs;
    };
    std::vector<Way> ways{{routeName(Route::Direct), Route::Direct, nullptr, {}, {}}};
    for (const Setup &setup : setups) {
        servers.push_back(std::make_unique<Server>(sims, setup.noDelay, setup.charDelay));
        if (!servers.back()->up)
            return false;
        for (const Route route : {Route::Rfc2217, Route::Tcp}) {
            ways.push_back({QByteArray(routeName(route)) + ' ' + setup.name,
                            route,
                            &servers.back()->ser2net,
                            {},
                            {}});
        }
    }
    // Run after run over every way, so that a busy moment of the machine falls on all alike.
    bool ok = true;
    for (int run = 0; run < runs; ++run) {
        for (Way &way : ways) {
            for (const auto &server : servers)
                ok = server->ser2net.waitUntilDevicesClosed() && ok;
            std::vector<std::unique_ptr<Plc>> plcs;
            plcs.push_back(std::make_unique<Plc>(way.route, *sims.front(), way.server, 0));
            way.openingMs.push_back(openingMs(*plcs.front()));
            const double seconds = timedWrite(plcs, ports);
            ok = ok && seconds > 0;
            way.seconds.push_back(seconds);
        }
    }
    const double direct = median(ways.front().seconds);
    std::printf("\nfull write and read-back (%d + %d slaves, %d sensors) at %s on plc-sim --wire, "
                "one PLC\n"
                "%-36s %9s %7s %11s\n",
                rows, rows, rows, qPrintable(Line), "route, ser2net's settings", "seconds", "ratio",
                "opening ms");
    for (const Way &way : ways)
        std::printf("%-36s %9.3f %7.3f %11.2f\n", way.name.constData(), median(way.seconds),
                    median(way.seconds) / direct, median(way.openingMs));
    std::fflush(stdout);
    return ok;
}

// count PLCs behind one ser2net written at once, against one of them alone.
bool manyLines(const bench::FullPorts &ports, int count, int runs)
{
    std::vector<std::unique_ptr<bench::Sim>> sims;
    for (int i = 0; i < count; ++i) {
        sims.push_back(std::make_unique<bench::Sim>());
        if (!sims.back()->start({QStringLiteral("--wire"), QStringLiteral("--line"), Line}))
            return false;
    }
    Server server(sims, NoDelay, CharDelay);
    if (!server.up)
        return false;
    std::printf("\nthe same to %d PLCs behind one ser2net (nodelay %s, chardelay %s) at "
                "once\n%-12s %10s %10s %7s\n",
                count, NoDelay ? "on" : "off", CharDelay ? "on" : "off", "route", "one PLC", "all",
                "ratio");
    bool ok = true;
    for (const Route route : {Route::Rfc2217, Route::Tcp}) {
        std::vector<double> one, all;
        for (int run = 0; run < runs; ++run) {
            for (const int n : {1, count}) {
                ok = server.ser2net.waitUntilDevicesClosed() && ok;
                std::vector<std::unique_ptr<Plc>> plcs;
                for (int i = 0; i < n; ++i)
                    plcs.push_back(std::make_unique<Plc>(route, *sims[i], &server.ser2net, i));
                const double seconds = timedWrite(plcs, ports);
                ok = ok && seconds > 0;
                (n == 1 ? one : all).push_back(seconds);
            }
        }
        std::printf("%-12s %10.3f %10.3f %7.3f\n", routeName(route), median(one), median(all),
                    median(all) / median(one));
        std::fflush(stdout);
    }
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (Ser2netServer::program().isEmpty()) {
        std::fprintf(stderr, "ser2net is not installed (scripts/install-deps.sh installs it)\n");
        return 77; // ctest's skip
    }
    const bool smoke = bench::smokeRun(argc, argv);
    const int rows = smoke ? 8 : 128;
    const int runs = smoke ? 1 : 3;
    const bench::FullPorts ports(rows);
    bool ok = oneLine(ports, rows, runs);
    ok = manyLines(ports, smoke ? 2 : 16, runs) && ok;
    return ok ? 0 : 1;
}
