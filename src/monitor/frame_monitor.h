#pragma once

#include <QWidget>

class FrameLogModel;
struct LinkContext;
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
// program's links send and receive from its making on (the main window makes it at start),
// decoded, with Pause, Clear, Copy, Save..., a filter and the time of day on request.
class FrameMonitor final : public QWidget
{
    Q_OBJECT
public:
    // context: where the frames come from (the window's frame tap) and the clock they are timed by.
    FrameMonitor(LinkContext context, Prompts &prompts, QWidget *parent = nullptr);

    // Shows the window beside its parent.
    void open();
    FrameLogModel &log() { return *m_log; }

    // Selected rows, one per line, columns separated by tabs.
    void copySelection();
    void saveLog();

private:
    void showCounts();
    // Counts the frames among the filter's rows first to last.
    qint64 shownFramesIn(int first, int last) const;

    Prompts &m_prompts;
    FrameLogModel *m_log;
    QSortFilterProxyModel *m_shown;
    QTableView *m_frames;
    QPushButton *m_pause;
    QPushButton *m_copy;
    QLineEdit *m_filter;
    QLabel *m_counts;
    QTimer *m_scroll;
    qint64 m_shownFrames = 0; // frames among the rows the filter keeps
    bool m_followEnd = true;  // the view showed its end before rows came
};

// Adds "Frame monitor" to the menu and makes the monitor, hidden, so that it shows the frames
// since the window started; it belongs to window.
QAction *addFrameMonitorItem(QMenu *menu, QWidget *window, LinkContext context, Prompts &prompts);
