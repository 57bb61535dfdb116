#pragma once

#include "diag/error_buffer.h"
#include "tabs/main_tab.h"

#include <QList>
#include <QString>

class DiagGrid;
class TextTable;

// One error buffer as a diagnostics tab shows it: its read button, its frame and grid, and where
// it lies in the PLC.
struct ErrorBufferView
{
    QString button;        // "Command4"
    QString buttonCaption; // "Read modbus buffer 1"
    QString frame;         // "Frame7"
    QString frameCaption;  // "UART1 modbus error buffer"
    QString grid;          // "MB_grid"
    QString header;        // the grid's header line
    ErrorBufferLayout layout;
};

// A diagnostics tab: a command panel with one read button per error buffer, and each buffer's grid
// in a frame of its own, side by side so that they can be compared. A read changes a grid only
// when every answer came and the port keeps a buffer.
class ErrorBufferTab final : public MainTab
{
    Q_OBJECT
public:
    ErrorBufferTab(const TabContext &context, const QString &objectName,
                   const QString &commandFrame, const QList<ErrorBufferView> &views,
                   QWidget *parent = nullptr);

    // "Modbus diag": the buffers of UART 1 and UART 2. "1-wire diag": the 1-wire buffer.
    static ErrorBufferTab *modbus(const TabContext &context);
    static ErrorBufferTab *onewire(const TabContext &context);

    // Each grid's header line, centred, with one empty row.
    void startUp() final;
    // The buffer of the index-th view as shown; nullptr before start-up.
    TextTable *bufferTable(int index) const;
    // The grid of the index-th view; nullptr when there is none.
    DiagGrid *grid(int index) const { return m_grids.value(index); }

private:
    QCoro::Task<> readBuffer(int index);

    QList<ErrorBufferView> m_views;
    QList<DiagGrid *> m_grids;
};
