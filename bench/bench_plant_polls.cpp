// Prints how many polls a second the simulated PLC reaches on its plant's Modbus line: its UART 1
// is a master with a full table of 128 rows (cycling over slaves 1 to 8, 10 holding registers
// each, 1000 ms timeout), polled for about three seconds (or as many as the first argument says)
// at 115200 and at 9600 bit/s, no parity. Beside it, the most the wire allows: a request of 8
// bytes and an answer of 25, 10 bits a character, each frame followed by 3.5 characters of
// silence.
#include "sim/plant_poller.h"
#include "sim/rtu_line.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int Rows = 128;
constexpr int Slaves = 8;

void measure(int baudRate, int speedIndex, double seconds)
{
    sim::Plant plant;
    for (int address = 1; address <= Slaves; ++address) {
        sim::PlantSlave slave;
        slave.address = address;
        slave.holding = sim::AddressRange{0, 999};
        plant.uart1.append(slave);
    }
    QByteArray records;
    for (int row = 0; row < Rows; ++row) {
        const int from = row * 10 % 990;
        const int to = row * 10;
        const int last = 1 << 12 | 1000; // read holding registers, 1000 ms
        for (const int b : {row % Slaves + 1, 10, from & 0xFF, from >> 8, to & 0xFF, to >> 8,
                            last & 0xFF, last >> 8})
            records += static_cast<char>(b);
    }

    sim::PlcModel model;
    sim::PlantPoller poller(model, [] { return std::make_unique<sim::RtuLine>(); });
    poller.setPlant(plant);
    // Master, the speed, parity None, 128 rows.
    model.setWord(sim::Addr::Uart1Port,
                  static_cast<quint16>(0xC000 | 2 << 11 | speedIndex << 8 | Rows));
    model.setMemory(sim::Addr::Uart1Slaves, records);
    QElapsedTimer clock;
    clock.start();
    poller.reconfigure();
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
    const qint64 polls = poller.pollsDone(1);
    const double elapsed = double(clock.nsecsElapsed()) / 1e9;
    const QByteArray errors = model.memory(sim::Addr::Uart1Errors, Rows);
    const auto failed = Rows - errors.count('\0');
    const double wireLimit = baudRate / ((8 + 5 + 2 * 10 + 2 * 3.5) * 10);
    std::printf("%6d bit/s  %7.1f polls/s  wire limit %7.1f polls/s  (%lld polls, %lld rows with "
                "an error)\n",
                baudRate, double(polls) / elapsed, wireLimit, static_cast<long long>(polls),
                static_cast<long long>(failed));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // The slaves warn of every piece of a request that arrives before its end, as a paced line
    // delivers it: thousands of lines that say nothing here.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.modbus.warning=false"));
    const double seconds = argc > 1 ? std::max(0.1, std::atof(argv[1])) : 3.0;
    std::printf("Plant polls: a %d-row table over slaves 1 to %d, 10 holding registers each\n",
                Rows, Slaves);
    measure(115200, 4, seconds);
    measure(9600, 0, seconds);
    return 0;
}
