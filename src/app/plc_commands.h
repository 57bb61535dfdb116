#pragma once

#include <QObject>
#include <QPointer>

#include <QCoroTask>

class CommandFeedback;
class CompareDialog;
class MainWindow;
class QAction;
class QMenu;
class StatusBar;
struct PortDifference;

// The commands that put the whole project into the PLC and hold it against what the PLC has:
// "Load to PLC", "Verify after write" (stored as soon as it is switched) and "Compare with
// PLC...", whose differences each lead to their cell.
class PlcCommands final : public QObject
{
    Q_OBJECT
public:
    // loadToPlc gets its command; "Verify after write" and "Compare with PLC..." are added to plc
    // after a separator.
    PlcCommands(MainWindow &window, CommandFeedback &feedback, StatusBar &status, QMenu *plc,
                QAction *loadToPlc);

    // "Verify after write" as set.ini holds it, without storing it again.
    void startUp(bool verify);

    QAction *verifyAfterWrite() const { return m_verify; }

private:
    QCoro::Task<> loadToPlc();
    QCoro::Task<> compareWithPlc();
    // Shows the difference's cell (its port's tab when it is a setting of the port).
    void goTo(const PortDifference &difference);
    void setVerify(bool on);

    MainWindow &m_window;
    CommandFeedback &m_feedback;
    StatusBar &m_status;
    QAction *m_verify;
    QPointer<CompareDialog> m_compare; // the last compare's differences, while open
};
