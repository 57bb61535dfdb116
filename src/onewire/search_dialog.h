#pragma once

#include "common/text_table.h"
#include "onewire/bus_search.h"

#include <QDialog>

#include <QCoroTask>

#include <memory>

class CellEditor;
class PlcLink;
struct LinkContext;
class Prompts;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class SensorTable;
class SerialLine;

// "Search_onewire": asks the PLC to search its 1-wire bus over a link of its own, shows the ROM
// codes found in an editable grid and copies them into the sensor table, appended or replacing
// it, with registers numbered from a start address in steps of 2.
class SearchDialog final : public QDialog
{
    Q_OBJECT
public:
    // context: the window's clock and frame tap, for the dialog's own link.
    SearchDialog(std::unique_ptr<SerialLine> line, LinkContext context, const QString &iniPath,
                 Prompts &prompts, SensorTable &table, QWidget *parent = nullptr);
    ~SearchDialog() override;

    PlcLink &link() { return *m_link; }
    TextTable &results() { return m_results; }
    // "found_sensors": how many the last search of this opening found.
    int foundSensors() const { return m_foundSensors; }

    // "Start search".
    QCoro::Task<> startSearch();
    // After "Add new in the table": which of the sensors found the table held already; empty
    // when none (or after any other ending).
    const QString &importNote() const { return m_importNote; }

public Q_SLOTS:
    // Closing while a search waits for the PLC ends the search first.
    void reject() final;

Q_SIGNALS:
    // How a search ended, in a sentence for the main window's status bar.
    void searchEnded(const QString &text, bool failure);

private:
    void import(SensorImport how);
    void onBusyChanged(bool busy);
    // Closes the dialog once a search cut short has let go of the line.
    QCoro::Task<> rejectWhenIdle();

    // The line before the link: the link refers to it and must go first.
    std::unique_ptr<SerialLine> m_line;
    std::unique_ptr<PlcLink> m_link;
    QString m_iniPath;
    Prompts &m_prompts;
    SensorTable &m_table;
    TextTable m_results;
    int m_foundSensors = 0;
    QString m_importNote;
    bool m_closeWhenIdle = false; // a close waits for the search's end once

    QTableView *m_grid = nullptr;
    CellEditor *m_editor = nullptr;
    QLineEdit *m_count = nullptr;
    QLineEdit *m_start = nullptr;
    QLabel *m_status = nullptr;
    QList<QWidget *> m_searchBlocked;
};
