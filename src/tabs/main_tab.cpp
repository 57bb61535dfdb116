#include "tabs/main_tab.h"

#include "common/command.h"
#include "common/errors.h"
#include "common/prompts.h"
#include "tabs/command_feedback.h"
#include "transfer/plc_verify.h"
#include "widgets/controls.h"

#include <QBoxLayout>
#include <QGroupBox>
#include <QPushButton>

MainTab::MainTab(const TabContext &context, const QString &objectName, QWidget *parent)
    : QWidget(parent), m_context(context)
{
    setObjectName(objectName);
}

QList<QWidget *> MainTab::plcControls() const
{
    QList<QWidget *> controls;
    for (const QPointer<QWidget> &control : m_plcControls) {
        if (control)
            controls.append(control);
    }
    return controls;
}

QGroupBox *MainTab::makeFrame(const QString &name, const QString &caption, QSize minimum)
{
    auto *frame = new QGroupBox(caption, this);
    frame->setObjectName(name);
    frame->setMinimumSize(minimum);
    QSizePolicy policy = frame->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    frame->setSizePolicy(policy);
    return frame;
}

void MainTab::addPlcControl(QWidget *control)
{
    m_plcControls.append(control);
}

void MainTab::addTransferButtons(QWidget *frame, QBoxLayout *column, const QString &writeName,
                                 const QString &uploadName,
                                 const std::function<QCoro::Task<>()> &write,
                                 const std::function<QCoro::Task<>()> &upload)
{
    QPushButton *writeButton = makeButton(frame, writeName, QStringLiteral("Write to PLC"));
    QPushButton *uploadButton = makeButton(frame, uploadName, QStringLiteral("Upload from PLC"));
    connect(writeButton, &QPushButton::clicked, this, [write] { startCommand(write()); });
    connect(uploadButton, &QPushButton::clicked, this, [upload] { startCommand(upload()); });
    addPlcControl(writeButton);
    addPlcControl(uploadButton);
    column->addStretch(1);
    column->addWidget(writeButton);
    column->addWidget(uploadButton);
}

void MainTab::addMenuUpload(Upload upload)
{
    m_menuUploads.append(std::move(upload));
}

QCoro::Task<>
MainTab::runPortWrite(QString port,
                      std::function<QCoro::Task<>(bool verify, PortWriteReport &)> write)
{
    const bool verify = m_context.feedback && m_context.feedback->verifyAfterWrite();
    PortWriteReport report{port, {}, std::nullopt, {}};
    const CommandEnd end = co_await runCommandEndAsync(
        prompts(), [&]() -> QCoro::Task<> { co_await write(verify, report); });
    report.error = end.kind == CommandEnd::Kind::Aborted ? abortedText() : end.failure;
    if (end.kind != CommandEnd::Kind::Aborted) {
        if (const QList<PortDifference> differences = report.differences(); !differences.isEmpty())
            prompts().message(verifyFailedMessage(differences),
                              QStringLiteral("Verify after write"));
    }
    if (m_context.feedback)
        Q_EMIT m_context.feedback->portWritten(report);
}

QCoro::Task<PortReadReport>
MainTab::runPortRead(QString port, std::function<QCoro::Task<>(PortReadReport &)> read)
{
    PortReadReport report;
    report.port = port;
    const CommandEnd end =
        co_await runCommandEndAsync(prompts(), [&]() -> QCoro::Task<> { co_await read(report); });
    if (end.kind == CommandEnd::Kind::Aborted)
        throw TransferAborted();
    if (end.kind == CommandEnd::Kind::Failed)
        report = {port, Outcome::PlcFailed, {}, end.failure};
    co_return report;
}

QCoro::Task<> MainTab::runUploadButton(Upload upload)
{
    if (m_context.feedback && !m_context.feedback->mayReplaceProject())
        co_return;
    try {
        const PortReadReport report = co_await upload();
        if (m_context.feedback && report.outcome != Outcome::Cancelled)
            Q_EMIT m_context.feedback->portsRead({report});
    } catch (const TransferAborted &) {
        reportEnded(tr("Upload from PLC %1").arg(abortedText()), true);
    }
}

QString MainTab::abortedText()
{
    return tr("aborted");
}

void MainTab::reportEnded(const QString &text, bool failure)
{
    if (m_context.feedback)
        Q_EMIT m_context.feedback->commandEnded(text, failure);
}
