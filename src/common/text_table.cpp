#include "common/text_table.h"

TextTable::TextTable(const QString &headerFormat, QObject *parent)
    : QAbstractTableModel(parent), m_titles(splitHeader(headerFormat))
{
    m_rows.append(normalised({}));
}

QStringList TextTable::splitHeader(const QString &headerFormat)
{
    return headerFormat.split(QLatin1Char('|'));
}

QStringList TextTable::normalised(const QStringList &cells) const
{
    QStringList row = cells.mid(0, columns());
    while (row.size() < columns())
        row.append(QString());
    return row;
}

QString TextTable::cell(int row, int column) const
{
    if (row < 0 || row >= m_rows.size() || column < 0 || column >= columns())
        return {};
    return m_rows[row][column];
}

void TextTable::setCell(int row, int column, const QString &text)
{
    if (row < 0 || row >= m_rows.size() || column < 0 || column >= columns())
        return;
    if (m_rows[row][column] == text)
        return;
    m_rows[row][column] = text;
    const QModelIndex i = index(row, column);
    Q_EMIT dataChanged(i, i, {Qt::DisplayRole, Qt::EditRole});
}

QStringList TextTable::rowCells(int row) const
{
    if (row < 0 || row >= m_rows.size())
        return normalised({});
    return m_rows[row];
}

int TextTable::appendItem(const QStringList &cells)
{
    const int row = itemCount();
    m_rows[row] = normalised(cells);
    Q_EMIT dataChanged(index(row, 0), index(row, columns() - 1));
    beginInsertRows({}, row + 1, row + 1);
    m_rows.append(normalised({}));
    endInsertRows();
    return row;
}

bool TextTable::removeItem(int row)
{
    if (row < 0 || row >= itemCount())
        return false;
    beginRemoveRows({}, row, row);
    m_rows.removeAt(row);
    endRemoveRows();
    return true;
}

void TextTable::clearItems()
{
    setItems({});
}

void TextTable::setItems(const QList<QStringList> &items)
{
    beginResetModel();
    m_rows.clear();
    for (const QStringList &cells : items)
        m_rows.append(normalised(cells));
    m_rows.append(normalised({}));
    endResetModel();
}

QList<QStringList> TextTable::items() const
{
    return m_rows.mid(0, itemCount());
}

void TextTable::renumber(bool placeholderToo)
{
    const int last = placeholderToo ? itemCount() : itemCount() - 1;
    for (int r = 0; r <= last; ++r)
        setCell(r, 0, QString::number(r + 1));
}

int TextTable::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int TextTable::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : columns();
}

QVariant TextTable::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return m_rows[index.row()][index.column()];
    case Qt::TextAlignmentRole:
        if (m_centred)
            return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
        return {};
    default:
        return {};
    }
}

bool TextTable::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid() ||
        !checkIndex(index, CheckIndexOption::IndexIsValid))
        return false;
    setCell(index.row(), index.column(), value.toString());
    return true;
}

QVariant TextTable::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= columns())
            return {};
        if (role == Qt::DisplayRole)
            return m_titles[section];
        if (role == Qt::TextAlignmentRole && m_centred)
            return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
        return {};
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags TextTable::flags(const QModelIndex &index) const
{
    if (!index.isValid() || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return Qt::NoItemFlags;
    if (index.column() == 0)
        return Qt::ItemIsEnabled; // the number column is part of the frame, not the data
    if (index.row() == itemCount() && !m_placeholderEditable)
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}
