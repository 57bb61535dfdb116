#include "widgets/progress_window.h"

#include <QProgressBar>
#include <QVBoxLayout>

ProgressWindow::ProgressWindow(QWidget *parent)
    : QWidget(parent, Qt::Window), m_bar(new QProgressBar(this))
{
    setObjectName(QStringLiteral("Progress"));
    setWindowTitle(QStringLiteral("Download/upload progress"));
    m_bar->setObjectName(QStringLiteral("ProgressBar1"));
    m_bar->setAccessibleName(windowTitle());
    m_bar->setRange(0, 100);
    m_bar->setValue(0);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_bar);
    setMinimumWidth(360);
    // Showing it must not take the keyboard from the main window, which stays usable.
    setAttribute(Qt::WA_ShowWithoutActivating);
    // Closed by hand, it goes; the transfer carries on without it.
    setAttribute(Qt::WA_DeleteOnClose);
}

void ProgressWindow::setPercent(int percent)
{
    m_bar->setValue(percent);
    repaint();
}

int ProgressWindow::percent() const
{
    return m_bar->value();
}
