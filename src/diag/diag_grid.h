#pragma once

#include <QTableView>

class TextTable;

// A read-only grid of a diagnostics tab: the header line, the number column drawn as a fixed
// column, no editing.
class DiagGrid final : public QTableView
{
    Q_OBJECT
public:
    DiagGrid(const QString &objectName, const QString &accessibleName, QWidget *parent = nullptr);

    // Shows the table; the grid does not own it.
    void setTable(TextTable *table);
    TextTable *table() const { return m_table; }

private:
    TextTable *m_table = nullptr;
};
