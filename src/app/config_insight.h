#pragma once

#include "project/config_check.h"

#include <QDockWidget>
#include <QHash>
#include <QList>
#include <QPointer>

class MainWindow;
class QAction;
class QCheckBox;
class QLabel;
class QTableView;
class QTableWidget;
class QTimer;

// "Check config": the findings of the configuration check, one a row (severity, port, row,
// column, text). A pane below the tabs, which may float as a window of its own, so the cell a
// finding leads to stays in sight; it follows every change. Double-clicking a finding (or Enter on
// it) asks for its cell.
class FindingsWindow final : public QDockWidget
{
    Q_OBJECT
public:
    explicit FindingsWindow(QWidget *parent = nullptr);

    void showFindings(const QList<Finding> &findings);
    void focusList();

Q_SIGNALS:
    void findingChosen(const Finding &finding);

private:
    void fill();

    QLabel *m_summary;
    QTableWidget *m_table;
    QCheckBox *m_notes;
    QList<Finding> m_findings;
    QList<Finding> m_listed; // the table's rows: notes left out while they are hidden
};

// What the window learns from the configuration check: it runs after every change of the ports,
// the number of warnings stands on the status bar, the findings window is opened from the PLC
// menu, and a finding leads to its tab and cell. The diagnostics grids lead to the slave or
// sensor row each error belongs to in the same way.
class ConfigInsight final : public QObject
{
    Q_OBJECT
public:
    ConfigInsight(MainWindow &window, QAction *checkConfig);

    const QList<Finding> &findings() const { return m_findings; }
    // The status bar's count ("2 warnings: PLC → Check config"); empty without warnings.
    QString statusText() const;
    // nullptr until "Check config" opened it.
    FindingsWindow *findingsWindow() const { return m_findingsWindow; }
    // Switches to the finding's tab and selects its cell (the port's table for a port finding).
    void goTo(const Finding &finding);

private:
    // The port tables' grids: UART 1, UART 2, 1-wire.
    QList<QTableView *> tableGrids() const;
    void watchPorts();
    void recheck();
    void openFindings();
    void linkDiagnostics();
    // The warnings painted in their cells (amber; a cell a write refuses stays red).
    void markCells();
    QString cellWarnings(FindingPort port, int row, int column) const;
    QString slaveRowTip(FindingPort port, int row) const;
    QString sensorRowTip(int row) const;

    MainWindow &m_window;
    QTimer *m_pending;
    QLabel *m_status;
    QPointer<FindingsWindow> m_findingsWindow;
    QList<Finding> m_findings;
    QHash<quint64, QStringList> m_cellWarnings; // by cellKey()
};
