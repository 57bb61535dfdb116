// Prints how many polls a second the plant's Modbus line carries: the simulated PLC's master
// polls a 128-row table (rows cycling over slaves 1 to 8, 10 holding registers each) for about
// three seconds (or as many as the first argument says) at 115200 and at 9600 bit/s. Beside it,
// the most the wire allows: a request of 8 bytes and an answer of 25, 10 bits a character, each
// frame followed by 3.5 characters of silence.
#include "sim/rtu_line.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLoggingCategory>

#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

constexpr int Rows = 128;
constexpr int Slaves = 8;

void measure(int baudRate, double seconds)
{
    QList<sim::PlantSlave> slaves;
    for (int address = 1; address <= Slaves; ++address) {
        sim::PlantSlave slave;
        slave.address = address;
        slave.holding = sim::AddressRange{0, 999};
        slaves.append(slave);
    }
    QList<sim::ModbusPoll> table;
    for (int row = 0; row < Rows; ++row) {
        sim::ModbusPoll poll;
        poll.slave = row % Slaves + 1;
        poll.address = row * 10 % 990;
        poll.count = 10;
        poll.timeoutMs = 1000;
        table.append(poll);
    }

    sim::RtuLine line;
    QString error;
    if (!line.open(slaves, baudRate, 'N', &error)) {
        std::fprintf(stderr, "cannot open the line: %s\n", qPrintable(error));
        std::exit(1);
    }
    QEventLoop loop;
    QElapsedTimer clock;
    int polls = 0;
    int answered = 0;
    std::function<void()> next = [&] {
        line.poll(table[polls % Rows], [&](const sim::PollOutcome &outcome) {
            ++polls;
            answered += outcome.kind == sim::PollOutcome::Kind::Answered;
            if (clock.nsecsElapsed() < qint64(seconds * 1e9))
                next();
            else
                loop.quit();
        });
    };
    clock.start();
    next();
    loop.exec();
    const double elapsed = double(clock.nsecsElapsed()) / 1e9;
    const double wireLimit = baudRate / ((8 + 5 + 2 * 10 + 2 * 3.5) * 10);
    std::printf("%6d bit/s  %7.1f polls/s  wire limit %7.1f polls/s  (%d polls, %d answered)\n",
                baudRate, polls / elapsed, wireLimit, polls, answered);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // The slaves warn of every piece of a request that arrives before its end, as a paced line
    // delivers it: thousands of lines that say nothing here.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.modbus.warning=false"));
    const double seconds = argc > 1 ? std::max(0.1, std::atof(argv[1])) : 3.0;
    std::printf("Plant polls: %d rows over slaves 1 to %d, 10 holding registers each\n", Rows,
                Slaves);
    for (const int baudRate : {115200, 9600})
        measure(baudRate, seconds);
    return 0;
}
