#include "tabs/error_buffer_tab.h"

#include "common/command.h"
#include "diag/diag_grid.h"
#include "diag/error_buffer_read.h"
#include "widgets/controls.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// "UART 1 error buffer: 2 active errors", or why it was not read.
QString bufferOutcome(const QString &port, const Result<ErrorBufferReading> &reading,
                      const QString &error)
{
    if (!reading) {
        const QString why = error.isEmpty() ? reading.failure().message : error;
        return QObject::tr("%1 error buffer not read: %2").arg(port, why);
    }
    if (!reading->inUse)
        return QObject::tr("%1 error buffer: none kept, the port is not a Modbus master").arg(port);
    const auto active =
        std::count_if(reading->entries.cbegin(), reading->entries.cend(),
                      [](const ErrorEntry &e) { return e.text.type == u"Active error"; });
    return active == 1 ? QObject::tr("%1 error buffer: 1 active error").arg(port)
                       : QObject::tr("%1 error buffer: %2 active errors").arg(port).arg(active);
}

} // namespace

ErrorBufferTab::ErrorBufferTab(const TabContext &context, const QString &objectName,
                               const QString &commandFrame, const QList<ErrorBufferView> &views,
                               QWidget *parent)
    : MainTab(context, objectName, parent), m_views(views)
{
    QGroupBox *commands = makeFrame(commandFrame, QStringLiteral("Command panel"), QSize(200, 110));
    auto *buttons = new QVBoxLayout(commands);
    auto *layout = new QGridLayout(this);
    layout->addWidget(commands, 0, 0);
    for (int i = 0; i < m_views.size(); ++i) {
        const ErrorBufferView &view = m_views[i];
        QPushButton *read = makeButton(commands, view.button, view.buttonCaption);
        buttons->addWidget(read);
        connect(read, &QPushButton::clicked, this, [this, i] { startCommand(readBuffer(i)); });
        addPlcControl(read);

        QGroupBox *frame = makeFrame(view.frame, view.frameCaption, QSize(380, 420));
        auto *grid = new DiagGrid(view.grid, view.frameCaption, frame);
        (new QVBoxLayout(frame))->addWidget(grid);
        m_grids.append(grid);
        layout->addWidget(frame, 0, 1 + i, 2, 1);
        layout->setColumnStretch(1 + i, 1);
    }
    buttons->addStretch(1);
    layout->setRowStretch(1, 1);
}

ErrorBufferTab *ErrorBufferTab::modbus(const TabContext &context)
{
    auto view = [](int port, const char *button, const char *frame, const char *grid) {
        return ErrorBufferView{
            QLatin1String(button),  QStringLiteral("Read modbus buffer %1").arg(port),
            QLatin1String(frame),   QStringLiteral("UART%1 modbus error buffer").arg(port),
            QLatin1String(grid),    modbusDiagHeader(),
            modbusErrorBuffer(port)};
    };
    return new ErrorBufferTab(
        context, QStringLiteral("tabModbusDiag"), QStringLiteral("Frame6"),
        {view(1, "Command4", "Frame7", "MB_grid"), view(2, "Command6", "Frame12", "MB_grid2")});
}

ErrorBufferTab *ErrorBufferTab::onewire(const TabContext &context)
{
    const ErrorBufferView view{
        QStringLiteral("Command5"), QStringLiteral("Read 1-wire buffer"),
        QStringLiteral("Frame8"),   QStringLiteral("1-wire error slave buffer"),
        QStringLiteral("W1_grid"),  onewireDiagHeader(),
        onewireErrorBuffer()};
    return new ErrorBufferTab(context, QStringLiteral("tabOnewireDiag"), QStringLiteral("Frame9"),
                              {view});
}

void ErrorBufferTab::startUp()
{
    for (int i = 0; i < m_grids.size(); ++i)
        m_grids[i]->startUp(m_views[i].header);
}

TextTable *ErrorBufferTab::bufferTable(int index) const
{
    return m_grids.value(index) ? m_grids[index]->table() : nullptr;
}

QCoro::Task<> ErrorBufferTab::readBuffer(int index)
{
    TextTable *table = bufferTable(index);
    if (!table)
        co_return;
    const ErrorBufferLayout layout = m_views[index].layout;
    Result<ErrorBufferReading> reading(Outcome::Cancelled);
    const CommandEnd end = co_await runCommandEndAsync(prompts(), [&]() -> QCoro::Task<> {
        reading = co_await fetchErrorBuffer(link(), iniPath(), prompts(), layout);
        if (reading && reading->inUse)
            showErrorEntries(*table, reading->entries);
    });
    reportEnded(bufferOutcome(layout.name, reading,
                              end.kind == CommandEnd::Kind::Aborted ? abortedText() : end.failure),
                !reading);
}
