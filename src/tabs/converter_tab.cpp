#include "tabs/converter_tab.h"

#include "common/command.h"
#include "common/program_folders.h"
#include "service/conv_library.h"
#include "service/float_converter.h"
#include "widgets/controls.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

ConverterTab::ConverterTab(const TabContext &context, QWidget *parent)
    : MainTab(context, QStringLiteral("tabConverter"), parent),
      m_converterFrame(makeFrame(QStringLiteral("Frame10"),
                                 QStringLiteral("Floating-point number to IEEE converter"),
                                 QSize(560, 140))),
      m_decimalIn(makeBox(m_converterFrame, QStringLiteral("Text13"),
                          QStringLiteral("Decimal number to IEEE"))),
      m_hexOut(
          makeBox(m_converterFrame, QStringLiteral("Text12"), QStringLiteral("IEEE hex digits"))),
      m_hexIn(makeBox(m_converterFrame, QStringLiteral("Text15"),
                      QStringLiteral("IEEE hex digits to float"))),
      m_decimalOut(
          makeBox(m_converterFrame, QStringLiteral("Text14"), QStringLiteral("Decimal number")))
{
    // A small calculator: it keeps its size at the top left rather than stretching.
    auto *layout = new QGridLayout(this);
    layout->addWidget(m_converterFrame, 0, 0);
    layout->setRowStretch(1, 1);
    layout->setColumnStretch(1, 1);

    QPushButton *toIeeeButton =
        makeButton(m_converterFrame, QStringLiteral("Command22"), QStringLiteral("To IEEE"));
    QPushButton *toFloatButton =
        makeButton(m_converterFrame, QStringLiteral("Command23"), QStringLiteral("To float"));
    m_hexOut->setReadOnly(true);
    m_decimalOut->setReadOnly(true);

    auto *rows = new QGridLayout(m_converterFrame);
    rows->addWidget(m_decimalIn, 0, 0);
    rows->addWidget(toIeeeButton, 0, 1);
    rows->addWidget(m_hexOut, 0, 2);
    rows->addWidget(m_hexIn, 1, 0);
    rows->addWidget(toFloatButton, 1, 1);
    rows->addWidget(m_decimalOut, 1, 2);

    // The last value's bytes as the registers of a device may hold them, ready to copy.
    auto *orders = new QHBoxLayout;
    auto *caption = new QLabel(QStringLiteral("Last value in word order:"), m_converterFrame);
    orders->addWidget(caption);
    for (const WordOrder order : AllWordOrders) {
        const QString name = wordOrderName(order);
        auto *label = new QLabel(name, m_converterFrame);
        QLineEdit *box = makeBox(m_converterFrame, QStringLiteral("wordOrder") + name, name);
        box->setReadOnly(true);
        // Eight digits and no more: the row stays as wide as the two above it.
        box->setFixedWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("00000000")) + 20);
        label->setBuddy(box);
        orders->addWidget(label);
        orders->addWidget(box);
        m_wordOrders.append(box);
    }
    orders->addStretch(1);
    rows->addLayout(orders, 2, 0, 1, 3);
    rows->setRowStretch(3, 1);

    connect(toIeeeButton, &QPushButton::clicked, this, &ConverterTab::onToIeee);
    connect(toFloatButton, &QPushButton::clicked, this, &ConverterTab::onToFloat);
    // Enter in an input box converts it, as its button does.
    connect(m_decimalIn, &QLineEdit::returnPressed, this, &ConverterTab::onToIeee);
    connect(m_hexIn, &QLineEdit::returnPressed, this, &ConverterTab::onToFloat);
}

ConverterTab::~ConverterTab() = default;

void ConverterTab::setLibraryFolder(const QString &folder)
{
    m_libraryFolder = folder;
    m_conv.reset();
}

ConvLibrary &ConverterTab::conv()
{
    if (!m_conv)
        m_conv = std::make_unique<ConvLibrary>(
            m_libraryFolder.isEmpty() ? programPartFolders() : QStringList{m_libraryFolder});
    return *m_conv;
}

void ConverterTab::onToIeee()
{
    runCommand(prompts(), [this] {
        if (const auto value = toIeee(conv(), prompts(), m_decimalIn->text())) {
            m_hexOut->setText(bytesHex(value->bytes));
            showWordOrders(*value);
        }
    });
}

void ConverterTab::onToFloat()
{
    runCommand(prompts(), [this] {
        if (const auto value = toFloat(conv(), prompts(), m_hexIn->text())) {
            m_decimalOut->setText(floatText(value->value));
            showWordOrders(*value);
        }
    });
}

void ConverterTab::showWordOrders(const FloatBytes &value)
{
    for (int i = 0; i < m_wordOrders.size(); ++i)
        m_wordOrders[i]->setText(bytesHex(value.bytes, AllWordOrders[i]));
}
