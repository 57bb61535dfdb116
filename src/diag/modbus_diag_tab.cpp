#include "diag/modbus_diag_tab.h"

#include "common/command.h"
#include "common/text_table.h"
#include "diag/diag_grid.h"
#include "diag/error_buffer.h"
#include "diag/error_buffer_read.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

ModbusDiagTab::ModbusDiagTab(const TabContext &context, QWidget *parent)
    : MainTab(context, QStringLiteral("tabModbusDiag"), parent),
      m_commandFrame(
          makeFrame(QStringLiteral("Frame6"), QStringLiteral("Command panel"), QSize(200, 110))),
      m_uart1Frame(makeFrame(QStringLiteral("Frame7"), QStringLiteral("UART1 modbus error buffer"),
                             QSize(380, 420))),
      m_uart2Frame(makeFrame(QStringLiteral("Frame12"), QStringLiteral("UART2 modbus error buffer"),
                             QSize(380, 420))),
      m_read1(new QPushButton(QStringLiteral("Read modbus buffer 1"), m_commandFrame)),
      m_read2(new QPushButton(QStringLiteral("Read modbus buffer 2"), m_commandFrame)),
      m_grid1(new DiagGrid(QStringLiteral("MB_grid"), QStringLiteral("UART1 modbus error buffer"),
                           m_uart1Frame)),
      m_grid2(new DiagGrid(QStringLiteral("MB_grid2"), QStringLiteral("UART2 modbus error buffer"),
                           m_uart2Frame))
{
    m_read1->setObjectName(QStringLiteral("Command4"));
    m_read2->setObjectName(QStringLiteral("Command6"));
    auto *buttons = new QVBoxLayout(m_commandFrame);
    buttons->addWidget(m_read1);
    buttons->addWidget(m_read2);
    buttons->addStretch(1);
    (new QVBoxLayout(m_uart1Frame))->addWidget(m_grid1);
    (new QVBoxLayout(m_uart2Frame))->addWidget(m_grid2);

    // The read buttons on the left, the two buffers side by side so they can be compared.
    auto *layout = new QGridLayout(this);
    layout->addWidget(m_commandFrame, 0, 0);
    layout->addWidget(m_uart1Frame, 0, 1, 2, 1);
    layout->addWidget(m_uart2Frame, 0, 2, 2, 1);
    layout->setRowStretch(1, 1);
    layout->setColumnStretch(1, 1);
    layout->setColumnStretch(2, 1);

    connect(m_read1, &QPushButton::clicked, this, [this] { readBuffer(1); });
    connect(m_read2, &QPushButton::clicked, this, [this] { readBuffer(2); });
    addPlcControl(m_read1);
    addPlcControl(m_read2);
}

void ModbusDiagTab::startUp()
{
    for (DiagGrid *grid : {m_grid1, m_grid2}) {
        auto *table = new TextTable(modbusDiagHeader(), grid);
        table->setCentred(true);
        TextTable *before = grid->table();
        grid->setTable(table);
        delete before;
    }
}

TextTable *ModbusDiagTab::bufferTable(int port) const
{
    return (port == 2 ? m_grid2 : m_grid1)->table();
}

void ModbusDiagTab::readBuffer(int port)
{
    TextTable *table = bufferTable(port);
    if (!table)
        return;
    runCommand(prompts(), [&] { Read_modbus_buffer(link(), iniPath(), prompts(), port, *table); });
}
