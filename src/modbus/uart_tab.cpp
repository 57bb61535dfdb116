#include "modbus/uart_tab.h"

#include <QGridLayout>
#include <QGroupBox>

UartTabNames UartTabNames::uart1()
{
    return {QStringLiteral("tabUart1"), QStringLiteral("Frame1"), QStringLiteral("Frame_master"),
            QStringLiteral("Frame_slave")};
}

UartTabNames UartTabNames::uart2()
{
    return {QStringLiteral("tabUart2"), QStringLiteral("Frame13"), QStringLiteral("Frame_master2"),
            QStringLiteral("Frame_slave2")};
}

UartTab::UartTab(const TabContext &context, const UartTabNames &names, QWidget *parent)
    : MainTab(context, names.tab, parent), m_names(names),
      m_generalFrame(
          makeFrame(names.general, QStringLiteral("Modbus general setting"), QSize(260, 320))),
      m_masterFrame(
          makeFrame(names.master, QStringLiteral("Modbus master configuration"), QSize(600, 420))),
      m_slaveFrame(makeFrame(names.slave, QStringLiteral("Modbus slave setting"), QSize(260, 120)))
{
    // Mode and line settings with the slave-mode fields below them on the left; the slave table
    // takes the rest of the tab.
    auto *layout = new QGridLayout(this);
    layout->addWidget(m_generalFrame, 0, 0);
    layout->addWidget(m_slaveFrame, 1, 0);
    layout->addWidget(m_masterFrame, 0, 1, 3, 1);
    layout->setRowStretch(2, 1);
    layout->setColumnStretch(1, 1);
}
