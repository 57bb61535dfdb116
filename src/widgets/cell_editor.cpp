#include "widgets/cell_editor.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QKeyEvent>
#include <QTableView>
#include <QTimer>

namespace {

// A drop-down that tells a choice made in its list from a step of the arrow keys or the wheel:
// both are "activated", only the first closes the list just before.
class ChoiceList final : public QComboBox
{
public:
    using QComboBox::QComboBox;

    bool listJustClosed() const { return m_listJustClosed; }
    void hidePopup() final
    {
        QComboBox::hidePopup();
        m_listJustClosed = true;
        QTimer::singleShot(0, this, [this] { m_listJustClosed = false; });
    }

private:
    bool m_listJustClosed = false;
};

} // namespace

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
    if (m_choices && index.column() == m_choiceColumn) {
        openChoices(index, cell);
        return true;
    }
    setGeometry(cell);
    setText(index.data(Qt::EditRole).toString());
    selectAll();
    show();
    raise();
    setFocus(Qt::OtherFocusReason);
    return true;
}

void CellEditor::setChoices(int column, const QStringList &items)
{
    if (!m_choices) {
        auto *list = new ChoiceList(parentWidget());
        list->setObjectName(objectName() + QStringLiteral("_list"));
        list->setAccessibleName(tr("Cell choice"));
        list->hide();
        list->installEventFilter(this);
        connect(list, &QComboBox::activated, this, [this, list] {
            if (list->listJustClosed())
                storeChoice();
        });
        m_choices = list;
    }
    m_choiceColumn = column;
    m_choices->clear();
    m_choices->addItems(items);
}

void CellEditor::openChoices(const QModelIndex &index, const QRect &cell)
{
    bool ok = false;
    const int chosen = index.data(Qt::EditRole).toString().trimmed().toInt(&ok);
    m_choices->setCurrentIndex(ok && chosen >= 0 && chosen < m_choices->count() ? chosen : -1);
    // As wide as its longest item, so the name shows, where the cell is narrower.
    QRect box = cell;
    box.setWidth(qMax(cell.width(), m_choices->sizeHint().width()));
    m_choices->setGeometry(box);
    m_choices->show();
    m_choices->raise();
    m_choices->setFocus(Qt::OtherFocusReason);
}

void CellEditor::storeChoice()
{
    const int chosen = m_choices->currentIndex();
    if (chosen < 0) {
        discard();
        m_grid->setFocus(Qt::OtherFocusReason);
        return;
    }
    storeText(QString::number(chosen));
}

bool CellEditor::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_choices && m_choices) {
        if (event->type() == QEvent::KeyPress) {
            const auto *key = static_cast<QKeyEvent *>(event);
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                storeChoice();
                return true;
            }
            if (key->key() == Qt::Key_Escape) {
                discard();
                m_grid->setFocus(Qt::OtherFocusReason);
                return true;
            }
        } else if (event->type() == QEvent::FocusOut &&
                   static_cast<QFocusEvent *>(event)->reason() != Qt::PopupFocusReason) {
            // Its own list taking the focus is not leaving it.
            if (!m_choices->view()->isVisible())
                discard();
        }
        return false;
    }
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
    storeText(text());
}

void CellEditor::storeText(const QString &typed)
{
    const QPersistentModelIndex cell = std::exchange(m_cell, QPersistentModelIndex());
    // Hidden first, so that a message of the check taking the focus does not count as leaving.
    hide();
    if (m_choices)
        m_choices->hide();
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
    if (m_choices)
        m_choices->hide();
}
