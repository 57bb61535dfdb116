#pragma once

#include "app/main_tab.h"

class DiagGrid;
class QGroupBox;
class QPushButton;
class TextTable;

// The "Modbus diag" tab: reads the Modbus error buffers of UART 1 and UART 2 and shows them.
class ModbusDiagTab final : public MainTab
{
    Q_OBJECT
public:
    explicit ModbusDiagTab(const TabContext &context, QWidget *parent = nullptr);

    // Header lines and centring of MB_grid and MB_grid2, each with one empty row.
    void startUp() final;

    // The buffer of UART 1 or 2 as shown; nullptr before start-up.
    TextTable *bufferTable(int port) const;

private:
    void readBuffer(int port);

    QGroupBox *m_commandFrame; // Frame6
    QGroupBox *m_uart1Frame;   // Frame7
    QGroupBox *m_uart2Frame;   // Frame12
    QPushButton *m_read1;      // Command4
    QPushButton *m_read2;      // Command6
    DiagGrid *m_grid1;         // MB_grid
    DiagGrid *m_grid2;         // MB_grid2
};
