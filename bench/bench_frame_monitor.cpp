// Prints what the frame monitor costs: the time per frame taken through the tap into its model,
// alone and with the monitor window showing them, and the memory the rows kept take.
#include "common/clock.h"
#include "common/hex_text.h"
#include "common/prompts.h"
#include "link/frame_tap.h"
#include "link/plc_address.h"
#include "link/plc_link.h"
#include "monitor/frame_log_model.h"
#include "monitor/frame_monitor.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTableView>

#include <cstdio>
#include <functional>

namespace {

class NoPrompts final : public Prompts
{
public:
    void message(const QString &, const Title &) final {}
    bool question(const QString &, const Title &) final { return false; }
    void progressShow() final {}
    void progressSet(int) final {}
    void progressClose() final {}
};

// Resident memory of the process, in MB.
double residentMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return -1;
}

// A fresh copy: every frame on a real line is a buffer of its own.
QByteArray fresh(const QByteArray &bytes)
{
    return QByteArray(bytes.constData(), bytes.size());
}

// Publishes `frames` frames (requests and answers) of UART 1 writes and uploads, as a link
// reports them; calls between after each exchange.
void feed(FrameTap &tap, int frames, const std::function<void()> &between)
{
    static const QByteArray ack(1, Ctl::ACK);
    const QByteArray records(64, '\x11');
    const QList<QByteArray> writes = {
        PlcLink::blockWriteFrame(WriteCommand::Configuration, Addr::Bracket,
                                 wordBytes(PlcWord::BracketOpen)),
        PlcLink::blockWriteFrame(WriteCommand::Configuration, Addr::Uart1Port, wordBytes(0xC408)),
        PlcLink::blockWriteFrame(WriteCommand::Configuration, Addr::Uart1Slaves, records),
        PlcLink::blockWriteFrame(WriteCommand::Configuration, Addr::Uart1Slaves + 64, records),
        PlcLink::blockWriteFrame(WriteCommand::Configuration, Addr::Bracket,
                                 wordBytes(PlcWord::BracketClose)),
    };
    const QByteArray readRecords = PlcLink::blockReadFrame(Addr::Uart1Slaves, 64);
    const QByteArray recordsAnswer = "\x02" + records.toHex().toUpper() + "\x03" +
                                     PlcLink::checksum(records.toHex().toUpper() + "\x03");

    LinkEvent e;
    int sent = 0;
    qint64 ms = 0;
    auto publish = [&](LinkEvent::Kind kind, const QByteArray &bytes) {
        e.kind = kind;
        e.bytes = fresh(bytes);
        e.atMs = ms += 3;
        tap.publish(e);
    };
    for (quint64 transfer = 1; sent < frames; ++transfer) {
        e.transfer = transfer;
        e.name = QStringLiteral("Write to PLC, UART 1");
        e.startedAt = QTime(14, 2, 11);
        publish(LinkEvent::Kind::TransferStarted, {});
        e.timeout = Timeout::Data;
        for (int i = 0; i < 12 && sent < frames; ++i, sent += 2) {
            const bool read = i % 6 == 5;
            publish(LinkEvent::Kind::Sent, read ? readRecords : writes[i % writes.size()]);
            publish(LinkEvent::Kind::Received, read ? recordsAnswer : ack);
            publish(LinkEvent::Kind::Answered, {});
            between();
        }
    }
}

// Microseconds per frame for `frames` frames.
double timeFeed(FrameTap &tap, int frames, const std::function<void()> &between)
{
    QElapsedTimer t;
    t.start();
    feed(tap, frames, between);
    return t.nsecsElapsed() / 1e3 / frames;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int frames = argc > 1 ? std::max(1, atoi(argv[1])) : 100000;

    // Where every link of a window reports, and the clock the monitor times rows by.
    FrameTap tap;
    SteadyClock clock;
    const double before = residentMb();
    double perFrame = 0;
    int rows = 0;
    {
        FrameLogModel model(0);
        const auto listening =
            QObject::connect(&tap, &FrameTap::happened, &model, &FrameLogModel::take);
        perFrame = timeFeed(tap, frames, [] {});
        rows = model.rowCount();
        std::printf("model alone: %d frames, %.2f us per frame, %d rows kept, %lld dropped\n",
                    frames, perFrame, rows, static_cast<long long>(model.dropped()));
        std::printf("memory: %.1f MB resident before, %.1f MB with the rows kept (+%.1f MB)\n",
                    before, residentMb(), residentMb() - before);
        QObject::disconnect(listening);
    }

    NoPrompts prompts;
    FrameMonitor monitor(LinkContext{clock, tap}, prompts);
    monitor.open();
    QCoreApplication::processEvents();
    const double intoView = timeFeed(tap, frames, [] {});
    std::printf("into the monitor window (filter model, table view): %.2f us per frame\n",
                intoView);
    // A transfer's waits let the window paint once per exchange at most; a paint after rows came
    // repaints every visible row.
    const int paints = 200;
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < paints; ++i) {
        feed(tap, 2, [] {});
        QCoreApplication::processEvents();
        monitor.repaint();
    }
    std::printf("one exchange shown and painted: %.2f ms\n", t.nsecsElapsed() / 1e6 / paints);
    std::printf("memory with the monitor open: %.1f MB resident (+%.1f MB from the start)\n",
                residentMb(), residentMb() - before);
    return 0;
}
