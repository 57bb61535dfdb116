#include "service/converter_tab.h"

#include <QGridLayout>
#include <QGroupBox>

ConverterTab::ConverterTab(const TabContext &context, QWidget *parent)
    : MainTab(context, QStringLiteral("tabConverter"), parent),
      m_converterFrame(makeFrame(QStringLiteral("Frame10"),
                                 QStringLiteral("Floating-point number to IEEE converter"),
                                 QSize(560, 140)))
{
    // A small calculator: it keeps its size at the top left rather than stretching.
    auto *layout = new QGridLayout(this);
    layout->addWidget(m_converterFrame, 0, 0);
    layout->setRowStretch(1, 1);
    layout->setColumnStretch(1, 1);
}
