#include "onewire/onewire_tab.h"

#include <QGridLayout>
#include <QGroupBox>

OnewireTab::OnewireTab(const TabContext &context, QWidget *parent)
    : MainTab(context, QStringLiteral("tabOnewire"), parent),
      m_auxFrame(makeFrame(QStringLiteral("Frame2"), QStringLiteral(" Auxiliary port setting "),
                           QSize(190, 210))),
      m_fieldNetFrame(makeFrame(QStringLiteral("USART3_setting"),
                                QStringLiteral("Field Net port setting"), QSize(190, 200))),
      m_masterFrame(makeFrame(QStringLiteral("Frame3"),
                              QStringLiteral("1-wire master configuration"), QSize(640, 420)))
{
    // Port mode above the Field Net settings on the left; the sensor table to the right.
    auto *layout = new QGridLayout(this);
    layout->addWidget(m_auxFrame, 0, 0);
    layout->addWidget(m_fieldNetFrame, 1, 0);
    layout->addWidget(m_masterFrame, 0, 1, 3, 1);
    layout->setRowStretch(2, 1);
    layout->setColumnStretch(1, 1);
}
