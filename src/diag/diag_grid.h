#pragma once

#include <QTableView>

#include <functional>

class TextTable;

// A read-only grid of a diagnostics tab: the header line, the number column drawn as a fixed
// column, no editing.
class DiagGrid final : public QTableView
{
    Q_OBJECT
public:
    DiagGrid(const QString &objectName, const QString &accessibleName, QWidget *parent = nullptr);

    // A fresh table with the header line, centred, with one empty row; it replaces the one shown.
    void startUp(const QString &headerFormat);
    // The table shown; nullptr before start-up.
    TextTable *table() const { return m_table; }

    // What a row of the buffer (from 0) stands for elsewhere: tip gives its tooltip (empty for
    // none), open is run when the row is double-clicked or Enter is pressed on it.
    void setRowLink(std::function<QString(int row)> tip, std::function<void(int row)> open);

protected:
    bool viewportEvent(QEvent *event) final;

private:
    TextTable *m_table = nullptr;
    std::function<QString(int row)> m_rowTip;
};
