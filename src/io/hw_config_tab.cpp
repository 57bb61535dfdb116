#include "io/hw_config_tab.h"

#include <QGridLayout>
#include <QGroupBox>

HwConfigTab::HwConfigTab(const TabContext &context, QWidget *parent)
    : MainTab(context, QStringLiteral("tabHwConfig"), parent),
      m_ioFrame(makeFrame(QStringLiteral("Frame5"), QStringLiteral("Input-output configuration"),
                          QSize(380, 420))),
      m_generalFrame(
          makeFrame(QStringLiteral("Frame4"), QStringLiteral("General setting"), QSize(300, 120)))
{
    // The IO table runs down the left; the service commands sit at the top right.
    auto *layout = new QGridLayout(this);
    layout->addWidget(m_ioFrame, 0, 0, 2, 1);
    layout->addWidget(m_generalFrame, 0, 1);
    layout->setRowStretch(1, 1);
    layout->setColumnStretch(2, 1);
}
