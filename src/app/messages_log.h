#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <QTime>

// "Messages": how each command ended since the window opened, with its time, so an outcome the
// status bar has replaced can still be read. Newest last; failures are marked.
class MessagesLog final : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { TimeColumn, TextColumn, ColumnCount };
    enum Role { FailureRole = Qt::UserRole };

    using QAbstractTableModel::QAbstractTableModel;

    void add(const QTime &at, const QString &text, bool failure);
    // Rows as "14:02:11<TAB>text", one a line.
    QString rowsText(const QList<int> &rows) const;

    int rowCount(const QModelIndex &parent = {}) const final;
    int columnCount(const QModelIndex &parent = {}) const final;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const final;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const final;

private:
    struct Entry
    {
        QTime at;
        QString text;
        bool failure = false;
    };
    QList<Entry> m_entries;
};
