#pragma once

#include <QMetaObject>
#include <QWidget>

class FrameLogModel;
class Prompts;
class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;
class QTimer;

// "Frame monitor": a window of its own, beside the main window, that shows every frame the
// program's links send and receive while it is open, decoded, with Pause, Clear, Copy, Save...
// and a filter.
class FrameMonitor final : public QWidget
{
    Q_OBJECT
public:
    FrameMonitor(Prompts &prompts, QWidget *parent = nullptr);

    // Shows the window and listens to the links until it is closed.
    void open();
    FrameLogModel &log() { return *m_log; }

    // Selected rows, one per line, columns separated by tabs.
    void copySelection();
    void saveLog();

protected:
    void closeEvent(QCloseEvent *event) final;

private:
    void showCounts();

    Prompts &m_prompts;
    FrameLogModel *m_log;
    QSortFilterProxyModel *m_shown;
    QTableView *m_frames;
    QPushButton *m_pause;
    QPushButton *m_copy;
    QLineEdit *m_filter;
    QLabel *m_counts;
    QTimer *m_scroll;
    QMetaObject::Connection m_listening;
    bool m_followEnd = true; // the view showed its end before rows came
};

// Adds "Frame monitor" to the menu; the window it opens belongs to window.
QAction *addFrameMonitorItem(QMenu *menu, QWidget *window, Prompts &prompts);
