#include "diag/onewire_diag_tab.h"

#include <QGridLayout>
#include <QGroupBox>

OnewireDiagTab::OnewireDiagTab(const TabContext &context, QWidget *parent)
    : MainTab(context, QStringLiteral("tabOnewireDiag"), parent),
      m_commandFrame(
          makeFrame(QStringLiteral("Frame9"), QStringLiteral("Command panel"), QSize(200, 110))),
      m_bufferFrame(makeFrame(QStringLiteral("Frame8"), QStringLiteral("1-wire error slave buffer"),
                              QSize(480, 420)))
{
    auto *layout = new QGridLayout(this);
    layout->addWidget(m_commandFrame, 0, 0);
    layout->addWidget(m_bufferFrame, 0, 1, 2, 1);
    layout->setRowStretch(1, 1);
    layout->setColumnStretch(1, 1);
}
