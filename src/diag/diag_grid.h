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

    // A fresh table with the header line, centred, with one empty row; it replaces the one shown.
    void startUp(const QString &headerFormat);
    // The table shown; nullptr before start-up.
    TextTable *table() const { return m_table; }

private:
    TextTable *m_table = nullptr;
};
