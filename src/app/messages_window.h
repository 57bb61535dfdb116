#pragma once

#include <QWidget>

class MessagesLog;
class QTableView;

// The window "Messages": the outcomes of the commands since the main window opened, newest at the
// bottom, each with its time; Ctrl+C copies the selected ones.
class MessagesWindow final : public QWidget
{
    Q_OBJECT
public:
    MessagesWindow(MessagesLog &log, QWidget *parent);

    void copySelection();

private:
    MessagesLog &m_log;
    QTableView *m_list;
};
