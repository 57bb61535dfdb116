#include "app/messages_window.h"

#include "app/messages_log.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

MessagesWindow::MessagesWindow(MessagesLog &log, QWidget *parent)
    : QWidget(parent, Qt::Window), m_log(log), m_list(new QTableView(this))
{
    setObjectName(QStringLiteral("MessagesWindow"));
    setWindowTitle(tr("Messages"));
    resize(560, 300);

    m_list->setObjectName(QStringLiteral("Messages"));
    m_list->setAccessibleName(tr("Messages"));
    m_list->setModel(&log);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setWordWrap(false);
    m_list->setTabKeyNavigation(false);
    m_list->verticalHeader()->hide();
    m_list->horizontalHeader()->setStretchLastSection(true);
    m_list->horizontalHeader()->setSectionResizeMode(MessagesLog::TimeColumn,
                                                     QHeaderView::ResizeToContents);
    (new QVBoxLayout(this))->addWidget(m_list);

    auto *copy = new QAction(this);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(copy, &QAction::triggered, this, &MessagesWindow::copySelection);
    addAction(copy);
    auto *close = new QAction(this);
    close->setShortcut(QKeySequence(Qt::Key_Escape));
    connect(close, &QAction::triggered, this, &QWidget::close);
    addAction(close);

    // The newest outcome is in view, and the current row for a screen reader.
    connect(&log, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &, int, int last) {
                m_list->setCurrentIndex(m_log.index(last, MessagesLog::TextColumn));
                m_list->scrollToBottom();
            });
    if (log.rowCount() > 0)
        m_list->setCurrentIndex(log.index(log.rowCount() - 1, MessagesLog::TextColumn));
}

void MessagesWindow::copySelection()
{
    QList<int> rows;
    for (const QModelIndex &index : m_list->selectionModel()->selectedRows())
        rows << index.row();
    if (rows.isEmpty())
        return;
    std::sort(rows.begin(), rows.end());
    QGuiApplication::clipboard()->setText(m_log.rowsText(rows));
}
