#pragma once

#include "app/main_tab.h"

class DiagGrid;
class QGroupBox;
class QPushButton;
class TextTable;

// The "1-wire diag" tab: reads the 1-wire error buffer and shows it.
class OnewireDiagTab final : public MainTab
{
    Q_OBJECT
public:
    explicit OnewireDiagTab(const TabContext &context, QWidget *parent = nullptr);

    // Header line and centring of W1_grid, with one empty row.
    void startUp() final;

    // The buffer as shown; nullptr before start-up.
    TextTable *bufferTable() const;

private:
    void readBuffer();

    QGroupBox *m_commandFrame; // Frame9
    QGroupBox *m_bufferFrame;  // Frame8
    QPushButton *m_read;       // Command5
    DiagGrid *m_grid;          // W1_grid
};
