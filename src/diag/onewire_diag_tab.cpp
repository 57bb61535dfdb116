#include "diag/onewire_diag_tab.h"

#include "common/command.h"
#include "common/text_table.h"
#include "diag/diag_grid.h"
#include "diag/error_buffer.h"
#include "diag/error_buffer_read.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

OnewireDiagTab::OnewireDiagTab(const TabContext &context, QWidget *parent)
    : MainTab(context, QStringLiteral("tabOnewireDiag"), parent),
      m_commandFrame(
          makeFrame(QStringLiteral("Frame9"), QStringLiteral("Command panel"), QSize(200, 110))),
      m_bufferFrame(makeFrame(QStringLiteral("Frame8"), QStringLiteral("1-wire error slave buffer"),
                              QSize(480, 420))),
      m_read(new QPushButton(QStringLiteral("Read 1-wire buffer"), m_commandFrame)),
      m_grid(new DiagGrid(QStringLiteral("W1_grid"), QStringLiteral("1-wire error slave buffer"),
                          m_bufferFrame))
{
    m_read->setObjectName(QStringLiteral("Command5"));
    auto *buttons = new QVBoxLayout(m_commandFrame);
    buttons->addWidget(m_read);
    buttons->addStretch(1);
    (new QVBoxLayout(m_bufferFrame))->addWidget(m_grid);

    auto *layout = new QGridLayout(this);
    layout->addWidget(m_commandFrame, 0, 0);
    layout->addWidget(m_bufferFrame, 0, 1, 2, 1);
    layout->setRowStretch(1, 1);
    layout->setColumnStretch(1, 1);

    connect(m_read, &QPushButton::clicked, this, &OnewireDiagTab::readBuffer);
    addPlcControl(m_read);
}

void OnewireDiagTab::startUp()
{
    auto *table = new TextTable(onewireDiagHeader(), m_grid);
    table->setCentred(true);
    TextTable *before = m_grid->table();
    m_grid->setTable(table);
    delete before;
}

TextTable *OnewireDiagTab::bufferTable() const
{
    return m_grid->table();
}

void OnewireDiagTab::readBuffer()
{
    TextTable *table = bufferTable();
    if (!table)
        return;
    runCommand(prompts(), [&] { Read_onewire_buffer(link(), iniPath(), prompts(), *table); });
}
