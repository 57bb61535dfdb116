#pragma once

#include "app/main_tab.h"

class QGroupBox;

// The control names that tell the UART 1 tab from its UART 2 counterpart.
struct UartTabNames
{
    QString tab;     // the page itself
    QString general; // "Modbus general setting"
    QString master;  // "Modbus master configuration"
    QString slave;   // "Modbus slave setting"

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

private:
    UartTabNames m_names;
    QGroupBox *m_generalFrame; // Frame1 / Frame13
    QGroupBox *m_masterFrame;  // Frame_master / Frame_master2
    QGroupBox *m_slaveFrame;   // Frame_slave / Frame_slave2
};
