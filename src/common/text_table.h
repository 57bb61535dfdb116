#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>

// A table of text cells with a trailing placeholder row, the store behind the slave and sensor
// grids: the cells are the data, and every write, save and upload reads or replaces them.
//
// Model rows 0..itemCount()-1 are the items; model row itemCount() is the placeholder, which is
// never an item. (In the grid, with its header line, item r stands in grid row r + 1.) Column 0
// is the number column: shown like a header, never edited from a view.
class TextTable : public QAbstractTableModel
{
    Q_OBJECT
public:
    // headerFormat: the column titles separated by "|", blanks kept ("Slot | Address | ...").
    explicit TextTable(const QString &headerFormat, QObject *parent = nullptr);

    static QStringList splitHeader(const QString &headerFormat);

    int itemCount() const { return static_cast<int>(m_rows.size()) - 1; }
    int columns() const { return static_cast<int>(m_titles.size()); }
    const QStringList &titles() const { return m_titles; }

    // Text of a cell; row itemCount() is the placeholder. Out of range: the empty text.
    QString cell(int row, int column) const;
    void setCell(int row, int column, const QString &text);
    // Every cell of a row, number column included.
    QStringList rowCells(int row) const;

    // Fills the placeholder with cells (number column included, missing cells empty) and
    // appends a new, empty placeholder. Returns the new item's row.
    int appendItem(const QStringList &cells);
    // Removes an item; the placeholder and rows outside the items are never removed.
    bool removeItem(int row);
    // Only the empty placeholder remains.
    void clearItems();
    // Replaces all items at once; the placeholder is new and empty.
    void setItems(const QList<QStringList> &items);
    QList<QStringList> items() const;
    // Writes 1, 2, 3 ... into the number column of the items, and of the placeholder when asked.
    void renumber(bool placeholderToo);

    // Centre the text of every column (as the grids of this program show it).
    void setCentred(bool centred) { m_centred = centred; }
    // Whether a view may edit the placeholder (by default it may).
    void setPlaceholderEditable(bool editable) { m_placeholderEditable = editable; }

    // QAbstractTableModel
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    QStringList normalised(const QStringList &cells) const;

    QStringList m_titles;
    QList<QStringList> m_rows; // items, then the placeholder
    bool m_centred = false;
    bool m_placeholderEditable = true;
};
