#pragma once

#include "app/main_tab.h"

class QGroupBox;

// The "HW config" tab: the input-output table and the general service commands of the PLC.
class HwConfigTab final : public MainTab
{
    Q_OBJECT
public:
    explicit HwConfigTab(const TabContext &context, QWidget *parent = nullptr);

private:
    QGroupBox *m_ioFrame;      // Frame5
    QGroupBox *m_generalFrame; // Frame4
};
