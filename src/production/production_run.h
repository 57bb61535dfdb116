#pragma once

#include "production/station_ports.h"

#include <QList>
#include <QObject>
#include <QString>

#include <QCoroTask>

#include <functional>
#include <memory>
#include <vector>

class Clock;
class SerialLine;
class UnitLog;

// A production run: one project written, with verify when asked, to every chosen port of the
// station at once, each port on a line, link and frame tap of its own, and one record of the
// unit appended to the log as each port ends. No widgets: the production window shows it, tests
// and the benchmark drive it.
class ProductionRun final : public QObject
{
    Q_OBJECT
public:
    enum class State {
        Idle, // not part of the run
        Waiting,
        WritingUart1,
        WritingUart2,
        WritingAux,
        Verifying,
        Done,
        Failed,
        Stopped,
    };
    struct Row
    {
        StationPort port;
        QString device; // the stable device name and serial number, as the record has it
        State state = State::Idle;
        QString reason; // Failed: why, as the record says it
        int percent = 0;
        qint64 startedMs = 0;
        double seconds = 0; // once it ended
        bool ended() const
        {
            return state == State::Done || state == State::Failed || state == State::Stopped;
        }
        bool running() const { return state != State::Idle && !ended(); }
    };
    // The line to a station port; the program's own unless set (tests put simulated PLCs there).
    using LineMaker = std::function<std::unique_ptr<SerialLine>(const StationPort &)>;

    // clock: what the links time their waits by (real time for the window).
    ProductionRun(const QString &iniPath, Clock &clock, QObject *parent = nullptr);
    // The run must have ended (see stop() and finished()).
    ~ProductionRun() override;

    void setLineMaker(LineMaker maker) { m_lineMaker = std::move(maker); }

    // The station's ports, one row each. Refused (false) while a run goes.
    bool setPorts(const QList<StationPort> &ports);
    // Checks or unchecks a row's port (kept for the next run).
    void setChecked(int row, bool checked);
    const QList<Row> &rows() const { return m_rows; }
    // "waiting", "writing UART 1", "failed: Answer timeout from PLC", the time not included.
    static QString stateText(const Row &row);
    // Seconds since the row's port started, or its time when it ended.
    double seconds(int row) const;

    void setProject(const QString &path) { m_project = path; }
    QString project() const { return m_project; }
    void setLogPath(const QString &path) { m_logPath = path; }
    QString logPath() const { return m_logPath; }
    void setVerify(bool verify) { m_verify = verify; }
    bool verify() const { return m_verify; }

    bool running() const { return m_running; }
    // Why the last run wrote nothing, or stopped early (its log failed); empty otherwise.
    QString problem() const { return m_problem; }

    // Writes every checked port at once; ends when each has ended. Nothing is written when the
    // project or the log cannot be read or written (problem() says why).
    QCoro::Task<> writeAll();
    // Writes again the ports that failed or were stopped.
    QCoro::Task<> retryFailed();
    // Ends every port's transfer cleanly: each ends as stopped, with its record.
    void stop();

Q_SIGNALS:
    void rowChanged(int row);
    void runningChanged(bool running);
    // A run began or ended; problem() may have changed.
    void finished();

private:
    struct Link;
    QCoro::Task<> run(QList<int> which);
    QCoro::Task<> runPort(int row, const QString &sha256, UnitLog &log);
    std::unique_ptr<SerialLine> portLine(const StationPort &port) const;
    void setState(int row, State state, int percent);
    void endRun(const QString &problem);

    QString m_iniPath;
    Clock &m_clock;
    LineMaker m_lineMaker;
    QList<Row> m_rows;
    // One link a row while a run goes, kept till the next so a draining line is not cut off.
    std::vector<std::unique_ptr<Link>> m_links;
    QString m_project;
    QString m_logPath;
    bool m_verify = true;
    bool m_running = false;
    bool m_stopping = false;
    QString m_problem;
};
