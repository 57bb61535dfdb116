#pragma once

#include "app/main_tab.h"

class QGroupBox;

// The "Converter" tab: decimal numbers to the 4 bytes of a single-precision value and back.
class ConverterTab final : public MainTab
{
    Q_OBJECT
public:
    explicit ConverterTab(const TabContext &context, QWidget *parent = nullptr);

private:
    QGroupBox *m_converterFrame; // Frame10
};
