#pragma once

#include "app/main_tab.h"

class QGroupBox;

// The "1-wire" tab: the auxiliary port's mode, its Field Net line settings and the 1-wire
// sensor table of master mode.
class OnewireTab final : public MainTab
{
    Q_OBJECT
public:
    explicit OnewireTab(const TabContext &context, QWidget *parent = nullptr);

private:
    QGroupBox *m_auxFrame;      // Frame2
    QGroupBox *m_fieldNetFrame; // USART3_setting
    QGroupBox *m_masterFrame;   // Frame3
};
