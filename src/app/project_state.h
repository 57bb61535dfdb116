#pragma once

#include <QAbstractItemModel>
#include <QObject>
#include <QString>

class AuxPort;
class ModbusPort;
class TextTable;

// Calls changed after every change of a table's cells or rows (a cell, a row added or removed,
// the table replaced), for as long as context lives.
template <class Slot>
void onTableChange(const QAbstractItemModel &table, const QObject *context, Slot changed)
{
    QObject::connect(&table, &QAbstractItemModel::dataChanged, context, changed);
    QObject::connect(&table, &QAbstractItemModel::rowsInserted, context, changed);
    QObject::connect(&table, &QAbstractItemModel::rowsRemoved, context, changed);
    QObject::connect(&table, &QAbstractItemModel::modelReset, context, changed);
}

// Whether the project in the window changed since it was loaded, saved or started, and which
// file it came from. Every edit of a port's model counts (a table cell, a row, a mode, a list, an
// address), an upload too, since what it brought is not saved; a load, a save and a new project
// start afresh.
class ProjectState final : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    void watch(ModbusPort &port);
    void watch(AuxPort &port);

    bool isChanged() const { return m_changed; }
    // The project file's path; empty for a project never saved or loaded.
    const QString &file() const { return m_file; }
    // "two-masters.dpc, changed", "New project" ...
    QString description() const;

    // The project now is what the file holds (after a load or a save); an empty path: a new
    // project.
    void setSaved(const QString &file);
    // The project is back to what its file holds (its changes were undone).
    void setUnchanged();

Q_SIGNALS:
    void stateChanged();

private:
    void watchTable(TextTable &table);
    void markChanged();

    bool m_changed = false;
    QString m_file;
};
