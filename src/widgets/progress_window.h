#pragma once

#include <QWidget>

class QProgressBar;

// "Download/upload progress": the non-modal window with one bar shown while a transfer in
// pieces runs. Made when shown and deleted when closed.
class ProgressWindow final : public QWidget
{
    Q_OBJECT
public:
    explicit ProgressWindow(QWidget *parent = nullptr);

    // Sets the bar (0..100) and paints it at once: the transfer does not return to the event
    // loop between pieces.
    void setPercent(int percent);
    int percent() const;

private:
    QProgressBar *m_bar; // ProgressBar1
};
