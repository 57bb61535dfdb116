#pragma once

#include "common/text_table.h"

#include <QString>
#include <QStringList>

// The fields of the slave add/modify dialog, as texts the way the boxes hold them.
struct SlaveForm
{
    QString address;       // "Slave modbus address"
    QString numWord;       // "Word/Coil  number to read/write-slave part"
    int function = 1;      // "Function type", a list position
    QString slaveNumber;   // "Slave number", shown only
    QString addressMaster; // "Master address to place Word/Coil from slave"
    QString timeout;       // "Timeout,[msec]"
    QString addressSlave;  // "Slave address point start read/write"
    friend bool operator==(const SlaveForm &, const SlaveForm &) = default;
};

enum class SlaveFormMode { Add, Modify };

// What the dialog opens with. Rows here are grid rows: 1 is the first slave, 0 nothing selected.
struct SlaveFormStart
{
    SlaveForm form;
    int selectedRow = 0;
    // Set when the row to copy had a cell the dialog cannot show (emptied, not a number, a
    // function with no list entry): the form then holds the defaults of a fresh add, and this is
    // what the user is told, title "Error in data".
    QString unreadable;
};

// Opening the dialog with the table's selected row. Adding proposes the request after the last
// slave (same address, function, count and timeout; both addresses advanced past its block);
// modifying copies the selected slave, or the last one when the placeholder is selected.
SlaveFormStart startSlaveForm(SlaveFormMode mode, const TextTable &table, int selectedRow);

// The dialog's OK: the six cell texts Address to Timeout, or the first field that fails.
struct SlaveFormCheck
{
    QStringList cells;
    QString wrongValue; // "You put wrong value  " and the field as typed; empty when accepted
    bool accepted() const { return wrongValue.isEmpty(); }
};
SlaveFormCheck checkSlaveForm(const SlaveForm &form);

// Puts accepted cells into the table. Adding makes the placeholder a new slave and renumbers the
// Slot column; modifying overwrites selectedRow, or adds when that row is not a slave (a table
// without slaves), so that what the grid shows is what a write sends. Returns the grid row the
// values went to, which becomes the selected row.
int Update_grid(TextTable &table, SlaveFormMode mode, int selectedRow, const QStringList &cells);

// Removes a slave row (grid row) and renumbers; false when it is not a slave row.
bool deleteSlaveRow(TextTable &table, int selectedRow);
