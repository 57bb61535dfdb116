#include "diag/diag_grid.h"

#include "common/text_table.h"
#include "widgets/controls.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QToolTip>

DiagGrid::DiagGrid(const QString &objectName, const QString &accessibleName, QWidget *parent)
    : QTableView(parent)
{
    setObjectName(objectName);
    setAccessibleName(accessibleName);
    setItemDelegate(new FixedColumnDelegate(this));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setWordWrap(false);
    verticalHeader()->hide(); // the number column is the grid's own first column
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setHighlightSections(false);
}

void DiagGrid::startUp(const QString &headerFormat)
{
    auto *table = new TextTable(headerFormat, this);
    table->setCentred(true);
    setModel(table);
    delete m_table;
    m_table = table;
    QHeaderView *header = horizontalHeader();
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setStretchLastSection(true);
}

void DiagGrid::setRowLink(std::function<QString(int row)> tip, std::function<void(int row)> open)
{
    m_rowTip = std::move(tip);
    connect(this, &QAbstractItemView::activated, this,
            [open = std::move(open)](const QModelIndex &index) { open(index.row()); });
}

bool DiagGrid::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip && m_rowTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const QModelIndex index = indexAt(help->pos());
        const QString tip = index.isValid() ? m_rowTip(index.row()) : QString();
        if (tip.isEmpty()) {
            QToolTip::hideText();
            return false;
        }
        QToolTip::showText(help->globalPos(), tip, viewport());
        return true;
    }
    return QTableView::viewportEvent(event);
}
