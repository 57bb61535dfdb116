#pragma once

#include "app/main_tab.h"

class QGroupBox;

// The "1-wire diag" tab: reads the 1-wire error buffer and shows it.
class OnewireDiagTab final : public MainTab
{
    Q_OBJECT
public:
    explicit OnewireDiagTab(const TabContext &context, QWidget *parent = nullptr);

private:
    QGroupBox *m_commandFrame; // Frame9
    QGroupBox *m_bufferFrame;  // Frame8
};
