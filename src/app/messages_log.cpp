#include "app/messages_log.h"

#include <QBrush>
#include <QColor>

void MessagesLog::add(const QTime &at, const QString &text, bool failure)
{
    const int row = int(m_entries.size());
    beginInsertRows({}, row, row);
    m_entries.append({at, text, failure});
    endInsertRows();
}

QString MessagesLog::rowsText(const QList<int> &rows) const
{
    QString text;
    for (const int row : rows) {
        text += data(index(row, TimeColumn)).toString() + QLatin1Char('\t') +
                data(index(row, TextColumn)).toString() + QLatin1Char('\n');
    }
    return text;
}

int MessagesLog::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

int MessagesLog::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant MessagesLog::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const Entry &entry = m_entries[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        return index.column() == TimeColumn ? entry.at.toString(QStringLiteral("HH:mm:ss"))
                                            : entry.text;
    case Qt::ToolTipRole: // the whole of a text the column cuts short
        return index.column() == TextColumn ? QVariant(entry.text) : QVariant();
    case Qt::ForegroundRole:
        return entry.failure ? QVariant(QBrush(QColor(0xb0, 0, 0))) : QVariant();
    case FailureRole:
        return entry.failure;
    default:
        return {};
    }
}

QVariant MessagesLog::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    return section == TimeColumn ? tr("Time") : tr("Outcome");
}
