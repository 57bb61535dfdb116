#pragma once

#include "modbus/modbus_port.h"
#include "modbus/slave_form.h"
#include "tabs/main_tab.h"

class CellEditor;
class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableView;

// The control names that tell the UART 1 tab from its UART 2 counterpart.
struct UartTabNames
{
    QString tab;         // the page itself
    QString general;     // "Modbus general setting"
    QString master;      // "Modbus master configuration"
    QString slave;       // "Modbus slave setting"
    QString modeButtons; // the option buttons, named <this>_0 to <this>_2
    QString speed;       // the four lists
    QString parity;
    QString bitNumber;
    QString stopBit;
    QString write;  // "Write to PLC"
    QString upload; // "Upload from PLC"
    QString grid;   // the slave table
    QString editor; // its in-cell editor box
    QString add;    // "Add slave ", "Modify slave", "Delete slave"
    QString modify;
    QString remove;
    QString slaveAddress; // "MB address"
    QString slaveTimeout; // "Timeout,[msec]"
    QString dialog;       // the slave dialog and its caption
    QString dialogCaption;
    QStringList offButtons; // switched-off "Download" / "Upload" buttons (UART 2 only)
    const ModbusPortInfo *port;

    static UartTabNames uart1();
    static UartTabNames uart2();
};

// A "UART 1" or "UART 2" tab: the Modbus port's mode and line settings, its slave table for
// master mode and its own address for slave mode. Both ports are built from the same class.
class UartTab final : public MainTab
{
    Q_OBJECT
public:
    UartTab(const TabContext &context, const UartTabNames &names, QWidget *parent = nullptr);

    const UartTabNames &names() const { return m_names; }
    // The port this tab shows; project loads and saves go through it.
    ModbusPort &port() { return *m_port; }
    const ModbusPort &port() const { return *m_port; }

    void startUp() final;

    // The selected grid row (1 = first slave, 0 = nothing selected yet) and column.
    int selectedRow() const { return m_indexGrid; }
    int selectedColumn() const { return m_indexCol; }
    // Makes the slave table visible again (choosing master before anything was selected hides
    // it); adds, uploads and table loads do it themselves.
    void showTable();
    // Selects a cell of the slave table (row from 0 for the first slave), as a click would.
    void selectCell(int row, int column);
    // The slave table's grid.
    QTableView *grid() const { return m_grid; }

    // The tab's commands, as its buttons run them.
    QCoro::Task<> writeToPlc();
    QCoro::Task<> uploadFromPlc();
    // The upload alone, as "Upload from PLC" in the PLC menu runs it.
    QCoro::Task<PortReadReport> readFromPlc();
    void addSlave();
    void modifySlave();
    void deleteSlave();

private:
    void buildGeneralFrame();
    void buildMasterFrame();
    void buildSlaveFrame();
    void onModeSelected(PortMode mode);
    void showSettings();
    void openSlaveDialog(SlaveFormMode mode);
    void selectRow(int gridRow);
    bool acceptCell(const QModelIndex &cell, const QString &text);

    UartTabNames m_names;
    ModbusPort *m_port;
    QGroupBox *m_generalFrame; // Frame1 / Frame13
    QGroupBox *m_masterFrame;  // Frame_master / Frame_master2
    QGroupBox *m_slaveFrame;   // Frame_slave / Frame_slave2

    QButtonGroup *m_modeGroup = nullptr;
    QComboBox *m_speed = nullptr;
    QComboBox *m_parity = nullptr;
    QComboBox *m_bitNumber = nullptr;
    QComboBox *m_stopBit = nullptr;
    QTableView *m_grid = nullptr;
    CellEditor *m_editor = nullptr;
    QLineEdit *m_slaveAddress = nullptr;
    QLineEdit *m_slaveTimeout = nullptr;

    // index_grid / Index_col: the selected cell, as grid rows count (the header is row 0).
    int m_indexGrid = 0;
    int m_indexCol = 0;
};
