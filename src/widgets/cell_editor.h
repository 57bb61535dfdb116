#pragma once

#include <QLineEdit>
#include <QPersistentModelIndex>

#include <functional>

class QTableView;

// A text box laid exactly over the current cell of a grid: a double click (or F2) opens it with
// the cell's text selected; Enter stores the text and moves one row down unless on the last row;
// losing the focus or Escape hides it and drops the text. Optionally Enter on the grid opens it
// too and Delete on the grid empties the current cell. Only cells the model lets be edited open.
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
    // Opens over the grid's current cell when that cell can be edited and the grid is shown.
    bool openOnCurrentCell();

protected:
    bool eventFilter(QObject *watched, QEvent *event) final;
    void keyPressEvent(QKeyEvent *event) final;
    void focusOutEvent(QFocusEvent *event) final;

private:
    void store();
    void discard();

    QTableView *m_grid;
    GridKeys m_gridKeys;
    Check m_check;
    QPersistentModelIndex m_cell;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(CellEditor::GridKeys)
