#include "diag/modbus_diag_tab.h"

#include <QGridLayout>
#include <QGroupBox>

ModbusDiagTab::ModbusDiagTab(const TabContext &context, QWidget *parent)
    : MainTab(context, QStringLiteral("tabModbusDiag"), parent),
      m_commandFrame(
          makeFrame(QStringLiteral("Frame6"), QStringLiteral("Command panel"), QSize(200, 110))),
      m_uart1Frame(makeFrame(QStringLiteral("Frame7"), QStringLiteral("UART1 modbus error buffer"),
                             QSize(380, 420))),
      m_uart2Frame(makeFrame(QStringLiteral("Frame12"), QStringLiteral("UART2 modbus error buffer"),
                             QSize(380, 420)))
{
    // The read buttons on the left, the two buffers side by side so they can be compared.
    auto *layout = new QGridLayout(this);
    layout->addWidget(m_commandFrame, 0, 0);
    layout->addWidget(m_uart1Frame, 0, 1, 2, 1);
    layout->addWidget(m_uart2Frame, 0, 2, 2, 1);
    layout->setRowStretch(1, 1);
    layout->setColumnStretch(1, 1);
    layout->setColumnStretch(2, 1);
}
