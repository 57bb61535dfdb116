#include "production/production_run.h"

#include "common/clock.h"
#include "common/command.h"
#include "common/errors.h"
#include "common/prompts.h"
#include "link/frame_tap.h"
#include "link/plc_link.h"
#include "link/port_line.h"
#include "project/project_file.h"
#include "transfer/plc_verify.h"
#include "transfer/unit_log.h"

#include <QFileInfo>

#include <QCoroTimer>

namespace {

const QList<ProjectPort> AllPorts{ProjectPort::Uart1, ProjectPort::Uart2, ProjectPort::Aux};

// The prompts of one port's write: nobody stands by each PLC, so the write's question is answered
// OK (the user asked for the whole batch) and its messages are kept as what the row reports.
class RowPrompts final : public Prompts
{
public:
    explicit RowPrompts(std::function<void(int)> progress) : m_progress(std::move(progress)) {}
    void message(const QString &text, const Title &) override { m_messages << text; }
    bool question(const QString &, const Title &) override { return true; }
    void progressShow() override { m_progress(0); }
    void progressSet(int percent) override { m_progress(percent); }
    void progressClose() override {}
    QString lastMessage() const { return m_messages.value(m_messages.size() - 1); }

private:
    std::function<void(int)> m_progress;
    QStringList m_messages;
};

} // namespace

// What one row's port runs on: its own tap, line and link, and the count of its frames.
struct ProductionRun::Link
{
    FrameTap tap;
    std::unique_ptr<SerialLine> line;
    std::unique_ptr<PlcLink> plc;
    std::unique_ptr<FrameCounter> frames;
    int stage = 0; // transfers started, each a step of the progress bar
};

ProductionRun::ProductionRun(const QString &iniPath, Clock &clock, QObject *parent)
    : QObject(parent), m_iniPath(iniPath), m_clock(clock)
{}

ProductionRun::~ProductionRun()
{
    // The links go last: their transfers refer to their lines and taps.
    for (auto &link : m_links) {
        if (link && link->plc)
            link->plc->abort();
    }
}

bool ProductionRun::setPorts(const QList<StationPort> &ports)
{
    if (m_running)
        return false;
    m_rows.clear();
    m_links.clear();
    for (const StationPort &port : ports) {
        Row row;
        row.port = port;
        try {
            row.device = unitDevice(port.name, m_iniPath);
        } catch (const CommandError &) {
            // A port whose device cannot be looked up still runs; its opening says what is wrong.
        }
        m_rows << row;
    }
    m_links.resize(m_rows.size());
    return true;
}

void ProductionRun::setChecked(int row, bool checked)
{
    if (row >= 0 && row < m_rows.size())
        m_rows[row].port.checked = checked;
}

QString ProductionRun::stateText(const Row &row)
{
    switch (row.state) {
    case State::Idle:
        return {};
    case State::Waiting:
        return tr("waiting");
    case State::WritingUart1:
        return tr("writing UART 1");
    case State::WritingUart2:
        return tr("writing UART 2");
    case State::WritingAux:
        return tr("writing 1-wire");
    case State::Verifying:
        return tr("verifying");
    case State::Done:
        return tr("done");
    case State::Failed:
        return tr("failed: %1").arg(row.reason);
    case State::Stopped:
        return tr("stopped");
    }
    return {};
}

double ProductionRun::seconds(int row) const
{
    const Row &r = m_rows.at(row);
    if (r.running())
        return double(m_clock.nowMs() - r.startedMs) / 1000;
    return r.seconds;
}

std::unique_ptr<SerialLine> ProductionRun::portLine(const StationPort &port) const
{
    if (m_lineMaker)
        return m_lineMaker(port);
    auto line = stationLine(port, m_iniPath);
    line->setHolder(tr("the production window"));
    return line;
}

void ProductionRun::setState(int row, State state, int percent)
{
    Row &r = m_rows[row];
    r.state = state;
    r.percent = percent;
    Q_EMIT rowChanged(row);
}

QCoro::Task<> ProductionRun::writeAll()
{
    QList<int> which;
    for (int i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].port.checked)
            which << i;
    }
    co_await run(which);
}

QCoro::Task<> ProductionRun::retryFailed()
{
    QList<int> which;
    for (int i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].state == State::Failed || m_rows[i].state == State::Stopped)
            which << i;
    }
    co_await run(which);
}

void ProductionRun::stop()
{
    if (!m_running)
        return;
    m_stopping = true;
    for (auto &link : m_links) {
        if (link && link->plc)
            link->plc->abort();
    }
}

void ProductionRun::endRun(const QString &problem)
{
    m_problem = problem;
    m_running = false;
    m_stopping = false;
    Q_EMIT runningChanged(false);
    Q_EMIT finished();
}

QCoro::Task<> ProductionRun::run(QList<int> which)
{
    if (m_running || which.isEmpty())
        co_return;
    m_running = true;
    m_problem.clear();
    Q_EMIT runningChanged(true);
    // The project and its record are sound before any PLC is written: a record that cannot be
    // kept stops the run here rather than after a batch went out unrecorded.
    QString sha256;
    std::unique_ptr<UnitLog> log;
    try {
        if (m_project.isEmpty())
            throw InputError(tr("Choose the project to write."));
        sha256 = fileSha256(m_project);
        readProjectFile(m_project);
        log = std::make_unique<UnitLog>(m_logPath);
    } catch (const CommandError &e) {
        endRun(e.description());
        co_return;
    }
    // Rows of a former run that are not written again keep how they ended.
    for (int row : which) {
        // A link still draining after the last run finishes first.
        if (m_links[row] && m_links[row]->plc)
            co_await m_links[row]->plc->idle();
        m_rows[row].reason.clear();
        m_rows[row].seconds = 0;
        setState(row, State::Waiting, 0);
    }
    std::vector<QCoro::Task<>> running;
    for (int row : which) {
        // Each port reads and checks the project, and sends its first frame, in a turn of the
        // event loop of its own: sixteen ports starting at once must not hold the window up
        // together.
        if (!running.empty())
            co_await QCoro::sleepFor(std::chrono::milliseconds(0));
        running.push_back(runPort(row, sha256, *log));
    }
    for (QCoro::Task<> &task : running)
        co_await std::move(task);
    endRun(m_problem);
}

QCoro::Task<> ProductionRun::runPort(int row, const QString &sha256, UnitLog &log)
{
    auto link = std::make_unique<Link>();
    Link &l = *link;
    m_links[row] = std::move(link);
    const int stages = int(AllPorts.size()) * (m_verify ? 2 : 1);
    auto progress = [this, row, &l, stages](int percent) {
        const int stage = std::max(l.stage, 1);
        m_rows[row].percent = ((stage - 1) * 100 + std::clamp(percent, 0, 100)) / stages;
        Q_EMIT rowChanged(row);
    };
    RowPrompts prompts(progress);
    m_rows[row].startedMs = m_clock.nowMs();
    ProjectWriteReport report;
    CommandEnd end;
    try {
        l.line = portLine(m_rows[row].port);
        l.plc = std::make_unique<PlcLink>(*l.line, m_clock, l.tap);
        l.frames = std::make_unique<FrameCounter>(l.tap, l.plc.get());
        connect(&l.tap, &FrameTap::happened, this, [this, row, &l, stages](const LinkEvent &e) {
            if (e.kind != LinkEvent::Kind::TransferStarted)
                return;
            ++l.stage;
            const State state = e.name.startsWith(QLatin1String("Upload")) ? State::Verifying
                                : e.name.endsWith(QLatin1String("UART 1")) ? State::WritingUart1
                                : e.name.endsWith(QLatin1String("UART 2")) ? State::WritingUart2
                                                                           : State::WritingAux;
            setState(row, state, (std::min(l.stage, stages) - 1) * 100 / stages);
        });
        if (m_stopping)
            throw TransferAborted();
        FreshPorts ports(m_iniPath);
        Apply_project_record(readProjectFile(m_project), ports.ports());
        end = co_await runCommandEndAsync(prompts, [&]() -> QCoro::Task<> {
            co_await writeProject(*l.plc, m_iniPath, prompts, ports.ports(), AllPorts, m_verify,
                                  report);
        });
    } catch (const CommandError &e) {
        end = {CommandEnd::Kind::Failed, e.description()};
    } catch (const TransferAborted &) {
        end = {CommandEnd::Kind::Aborted, {}};
    }
    Row &r = m_rows[row];
    r.seconds = double(m_clock.nowMs() - r.startedMs) / 1000;
    const bool stopped = end.kind == CommandEnd::Kind::Aborted;
    UnitRun unit;
    unit.port = r.port.name;
    unit.device = r.device;
    unit.project = QFileInfo(m_project).absoluteFilePath();
    unit.sha256 = sha256;
    unit.frames = l.frames ? l.frames->count() : 0;
    unit.seconds = r.seconds;
    unit.failure = stopped                  ? QStringLiteral("stopped")
                   : !end.failure.isEmpty() ? end.failure
                                            : prompts.lastMessage();
    const UnitRecord record = unitRecord(report, AllPorts, unit);
    r.reason = record.result;
    setState(row,
             record.succeeded() ? State::Done
             : stopped          ? State::Stopped
                                : State::Failed,
             record.succeeded() ? 100 : r.percent);
    try {
        co_await log.appendInBackground(record);
    } catch (const CommandError &e) {
        // The record stops with the run: no more PLC is written unrecorded.
        m_problem = e.description();
        stop();
    }
    if (l.plc)
        co_await l.plc->idle();
}
