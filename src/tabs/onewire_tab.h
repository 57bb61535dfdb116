#pragma once

#include "onewire/aux_port.h"
#include "tabs/main_tab.h"

#include <functional>
#include <memory>

class CellEditor;
class QButtonGroup;
class QComboBox;
class QGroupBox;
class QPushButton;
class QRadioButton;
class QTableView;
class SerialLine;

// The "1-wire" tab: the auxiliary port's mode, its Field Net line settings and the 1-wire
// sensor table of master mode, with the sensor dialog, the bus search and the two transfers.
class OnewireTab final : public MainTab
{
    Q_OBJECT
public:
    // Makes the serial line of the bus search's own link.
    using LineFactory = std::function<std::unique_ptr<SerialLine>()>;

    explicit OnewireTab(const TabContext &context, QWidget *parent = nullptr);

    void startUp() final;

    AuxPort &auxPort() { return m_port; }
    // The selected sensor row, counted from 0 ("Grid1_index").
    int selectedRow() const { return m_selectedRow; }
    // Selects a cell of the sensor table (row from 0), as a click would.
    void selectCell(int row, int column);
    // The sensor table's grid.
    QTableView *grid() const { return m_grid; }

    // The search dialog's line; by default a serial port at the COM number of set.ini.
    void setSearchLineFactory(LineFactory factory) { m_lineFactory = std::move(factory); }

public Q_SLOTS:
    // "Search slave" and the PLC menu's "Search 1-wire".
    void openSearchDialog();

private:
    void buildAuxFrame();
    void buildFieldNetFrame();
    void buildMasterFrame();
    void showMode(AuxMode mode);
    void showFieldNet(const FieldNetSettings &settings);
    void storeFieldNet();
    void openSensorDialog(bool modify);
    void deleteSensor();
    QCoro::Task<> writeToPlc();
    QCoro::Task<> uploadFromPlc();
    QCoro::Task<PortReadReport> readFromPlc();

    AuxPort m_port;
    LineFactory m_lineFactory;
    int m_selectedRow = 0;

    QGroupBox *m_auxFrame;      // Frame2
    QGroupBox *m_fieldNetFrame; // USART3_setting
    QGroupBox *m_masterFrame;   // Frame3

    QButtonGroup *m_modes = nullptr; // Option1
    QComboBox *m_speed = nullptr;    // Combo4
    QComboBox *m_dataBits = nullptr; // Combo3
    QComboBox *m_parity = nullptr;   // Combo2
    QComboBox *m_stopBits = nullptr; // Combo5
    QTableView *m_grid = nullptr;    // Grid1
    CellEditor *m_editor = nullptr;  // Text4
};
