#pragma once

#include <QLineEdit>
#include <QPersistentModelIndex>

#include <functional>

class QComboBox;
class QTableView;

// A text box laid exactly over the current cell of a grid: a double click (or F2) opens it with
// the cell's text selected; Enter stores the text and moves one row down unless on the last row;
// losing the focus or Escape hides it and drops the text. Optionally Enter on the grid opens it
// too and Delete on the grid empties the current cell. Only cells the model lets be edited open.
// A column whose cells hold a list's index is edited with a drop-down of the list instead: the
// cell keeps the index, the list names it.
class CellEditor final : public QLineEdit
{
    Q_OBJECT
public:
    enum GridKey { NoGridKeys = 0, EnterOpens = 1, DeleteEmpties = 2 };
    Q_DECLARE_FLAGS(GridKeys, GridKey)

    // Decides on a text stored by Enter, after it went into the cell: false puts the cell's
    // previous text back (the check has told the user why).
    using Check = std::function<bool(const QModelIndex &cell, const QString &text)>;

    // parent: where the box lives; by default the grid's viewport.
    CellEditor(QTableView *grid, GridKeys gridKeys, QWidget *parent = nullptr);

    void setCheck(Check check) { m_check = std::move(check); }
    // Cells of column are edited with a drop-down of items; choosing item i stores the text "i".
    // A cell that holds no item's index opens with nothing chosen.
    void setChoices(int column, const QStringList &items);
    // The drop-down of setChoices; nullptr before.
    QComboBox *choiceList() const { return m_choices; }
    // Opens over the grid's current cell when that cell can be edited and the grid is shown.
    bool openOnCurrentCell();

protected:
    bool eventFilter(QObject *watched, QEvent *event) final;
    void keyPressEvent(QKeyEvent *event) final;
    void focusOutEvent(QFocusEvent *event) final;

private:
    void store();
    void storeText(const QString &typed);
    void storeChoice();
    void openChoices(const QModelIndex &index, const QRect &cell);
    void discard();

    QTableView *m_grid;
    GridKeys m_gridKeys;
    Check m_check;
    QPersistentModelIndex m_cell;
    QComboBox *m_choices = nullptr;
    int m_choiceColumn = -1;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(CellEditor::GridKeys)
