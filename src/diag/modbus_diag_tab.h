#pragma once

#include "app/main_tab.h"

class QGroupBox;

// The "Modbus diag" tab: reads the Modbus error buffers of UART 1 and UART 2 and shows them.
class ModbusDiagTab final : public MainTab
{
    Q_OBJECT
public:
    explicit ModbusDiagTab(const TabContext &context, QWidget *parent = nullptr);

private:
    QGroupBox *m_commandFrame; // Frame6
    QGroupBox *m_uart1Frame;   // Frame7
    QGroupBox *m_uart2Frame;   // Frame12
};
