#include "widgets/cell_editor.h"

#include <QAbstractItemModel>
#include <QKeyEvent>
#include <QTableView>

CellEditor::CellEditor(QTableView *grid, GridKeys gridKeys, QWidget *parent)
    : QLineEdit(parent ? parent : grid->viewport()), m_grid(grid), m_gridKeys(gridKeys)
{
    setFrame(false);
    setAlignment(Qt::AlignCenter);
    hide();
    // The grid never edits by itself: this box is its only editor.
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->installEventFilter(this);
    connect(m_grid, &QAbstractItemView::doubleClicked, this, [this] { openOnCurrentCell(); });
}

bool CellEditor::openOnCurrentCell()
{
    const QModelIndex index = m_grid->currentIndex();
    if (!index.isValid() || !(index.flags() & Qt::ItemIsEditable) || !m_grid->isVisible())
        return false;
    m_cell = index;
    QRect cell = m_grid->visualRect(index);
    if (parentWidget() != m_grid->viewport())
        cell.moveTopLeft(m_grid->viewport()->mapTo(parentWidget(), cell.topLeft()));
    setGeometry(cell);
    setText(index.data(Qt::EditRole).toString());
    selectAll();
    show();
    raise();
    setFocus(Qt::OtherFocusReason);
    return true;
}

bool CellEditor::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_grid && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (key->key() == Qt::Key_F2 || (enter && (m_gridKeys & EnterOpens))) {
            openOnCurrentCell();
            return true;
        }
        if (key->key() == Qt::Key_Delete && (m_gridKeys & DeleteEmpties)) {
            const QModelIndex index = m_grid->currentIndex();
            if (index.isValid() && (index.flags() & Qt::ItemIsEditable))
                m_grid->model()->setData(index, QString());
            return true;
        }
    }
    return QLineEdit::eventFilter(watched, event);
}

void CellEditor::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        store();
        // Taken here, so that a dialog around the grid does not press its default button too.
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        discard();
        m_grid->setFocus(Qt::OtherFocusReason);
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void CellEditor::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    discard();
}

void CellEditor::store()
{
    const QPersistentModelIndex cell = std::exchange(m_cell, QPersistentModelIndex());
    const QString typed = text();
    // Hidden first, so that a message of the check taking the focus does not count as leaving.
    hide();
    if (cell.isValid()) {
        QAbstractItemModel *model = m_grid->model();
        const QVariant before = cell.data(Qt::EditRole);
        model->setData(cell, typed);
        if (m_check && !m_check(cell, typed))
            model->setData(cell, before);
        const int below = cell.row() + 1;
        const QModelIndex next =
            below < model->rowCount() ? model->index(below, cell.column()) : QModelIndex(cell);
        m_grid->setCurrentIndex(next);
    }
    m_grid->setFocus(Qt::OtherFocusReason);
}

void CellEditor::discard()
{
    m_cell = QPersistentModelIndex();
    hide();
}
