#include "diag/diag_grid.h"

#include "common/text_table.h"

#include <QHeaderView>
#include <QStyledItemDelegate>

namespace {

// Paints the number column like the header it continues, as a fixed column.
class FixedColumnDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const final
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.column() == 0) {
            option->backgroundBrush = option->palette.button();
            option->palette.setBrush(QPalette::Text, option->palette.buttonText());
        }
    }
};

} // namespace

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

void DiagGrid::setTable(TextTable *table)
{
    m_table = table;
    setModel(table);
    QHeaderView *header = horizontalHeader();
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setStretchLastSection(true);
}
