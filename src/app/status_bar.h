#pragma once

#include <QList>
#include <QStatusBar>
#include <QString>
#include <QTime>

#include <functional>

class CommandFeedback;
class FittedLabel;
struct CommandEnd;
struct PortReadReport;
struct PortWriteReport;

// How the last command ended, in the words of the status bar. Each comes from the reports the
// procedures filled, never from a second look at the PLC.
namespace StatusText {
// "UART 1 written and verified", "UART 2: answer timeout from PLC, nothing was changed",
// "UART 1 write stopped after 5 of 20 frames: the PLC may hold a partial configuration"; several
// ports ending alike are named together ("UART 1, UART 2, 1-wire written").
QString writes(const QList<PortWriteReport> &reports);
// "Read from PLC: UART 1, UART 2, 1-wire", followed by the ports that could not be read.
QString reads(const QList<PortReadReport> &reports);
// Whether the reports tell of a failure (shown as one).
bool failed(const QList<PortWriteReport> &reports);
bool failed(const QList<PortReadReport> &reports);
} // namespace StatusText

// The window's status bar: on the left the PLC port as the caption names it, the device it leads
// to and its line settings; on the right how the last command ended, with the time, and the
// project file with whether it changed. A failure stays there, marked, until the next command.
// A text longer than its place is cut short, whole in its tooltip, and never widens the window;
// screen readers get each label's whole text as its description, and hear when it changes.
class StatusBar final : public QStatusBar
{
    Q_OBJECT
public:
    explicit StatusBar(QWidget *parent = nullptr);

    // port: the port number as the caption shows it ("1", or "?"). When the port leads to no
    // serial device the system has, a hint beside it says so and where to choose one.
    void showPort(const QString &port, const QString &iniPath);
    void showOutcome(const QString &text, bool failure = false);
    // How a command of the window ended: `done` when it ran to its end (empty when it was
    // cancelled and there is nothing to tell), else `failed` with the failure's text for %1.
    void showEnd(const CommandEnd &end, const QString &done, const QString &failed);
    // Shows how each command the tabs run ends, as they report it.
    void follow(const CommandFeedback &feedback);
    void showProject(const QString &description);

    QString portText() const;
    QString hintText() const;
    QString outcomeText() const;
    QString projectText() const;

    // Where the time of an outcome comes from (the wall clock unless set).
    void setTimeSource(std::function<QTime()> now) { m_now = std::move(now); }

Q_SIGNALS:
    // Every outcome shown, so that one replaced by the next can still be read.
    void outcomeShown(const QTime &at, const QString &text, bool failure);

private:
    FittedLabel *m_port;
    FittedLabel *m_hint;
    FittedLabel *m_outcome;
    FittedLabel *m_project;
    std::function<QTime()> m_now;
};
