// Fuzz target: the link's reading of answers. The input is a request and the bytes that answer
// it, cut into arrivals of any size at any times. Whatever arrives, a read never gives data that
// did not come as a sound frame, and a write's answer is typed by its first character.
#include "common/hex_text.h"
#include "support/wait_for_task.h"
#include "link/plc_link.h"
#include "support/fake_clock.h"

#include <QCoreApplication>

#include <cstdint>
#include <memory>
#include <vector>

using namespace std::chrono_literals;

namespace {

// A line that answers every send with the arrivals it was given, on the fuzz run's clock.
class FuzzLine final : public SerialLine
{
public:
    struct Arrival
    {
        int ms;
        QByteArray bytes;
    };
    explicit FuzzLine(Clock &clock) : m_clock(clock) {}
    std::vector<Arrival> arrivals;
    QByteArray delivered;

    void open() override {}
    void close() override {}
    bool isOpen() const override { return true; }
    void send(const QByteArray &) override
    {
        m_calls.push_back(m_clock.callAfter(0, [this] { Q_EMIT sent(); }));
        // Each send gets what is left: a damaged first answer leaves the rest for the second.
        for (const Arrival &a : std::exchange(arrivals, {})) {
            m_calls.push_back(m_clock.callAfter(a.ms, [this, bytes = a.bytes] {
                m_queue += bytes;
                delivered += bytes;
                Q_EMIT received();
            }));
        }
    }
    QByteArray takeReceived() override { return std::exchange(m_queue, QByteArray()); }

private:
    Clock &m_clock;
    QByteArray m_queue;
    std::vector<std::unique_ptr<ClockTimer>> m_calls;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return 0;
    FakeClock clock;
    FrameTap tap;
    FuzzLine line(clock);
    line.setSettings(QStringLiteral("115200,N,8,1"));
    // The rest: arrivals of [length, delay in ms, bytes].
    for (std::size_t at = 2; at + 2 <= size;) {
        const std::size_t length = std::min<std::size_t>(data[at], size - at - 2);
        const int ms = data[at + 1];
        line.arrivals.push_back(
            {ms, QByteArray(reinterpret_cast<const char *>(data + at + 2), qsizetype(length))});
        at += 2 + length;
    }
    PlcLink link(line, clock, tap);
    const int count = 1 + data[1] % 64;
    switch (data[0] % 3) {
    case 0: {
        const auto read =
            waitForTask(link.Read_plc_block(60ms, 0x2000, static_cast<quint8>(count)));
        if (read) {
            // Sound data came as a sound frame: STX, its digits, ETX and their sum.
            const QByteArray body = hexText(*read).toLatin1() + '\x03';
            if (read->size() != count ||
                !line.delivered.contains('\x02' + body + PlcLink::checksum(body)))
                __builtin_trap();
        }
        break;
    }
    case 1:
        waitForTask(link.Read_plc_word(60ms, 0x0E02));
        break;
    default: {
        const WriteAnswer answer = waitForTask(
            link.Write_plc_block(60ms, WriteCommand::Configuration, 0x3000, QByteArray(2, '\0')));
        if (answer.accepted() && answer.code != 0x06 && answer.code != 0x02)
            __builtin_trap();
        break;
    }
    }
    return 0;
}
