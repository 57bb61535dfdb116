#include "diag/diag_grid.h"

#include "common/text_table.h"
#include "widgets/controls.h"

#include <QHeaderView>

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
