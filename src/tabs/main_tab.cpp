#include "tabs/main_tab.h"

#include "common/command.h"
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
                                 const QString &uploadName, const std::function<void()> &write,
                                 const std::function<void()> &upload)
{
    QPushButton *writeButton = makeButton(frame, writeName, QStringLiteral("Write to PLC"));
    QPushButton *uploadButton = makeButton(frame, uploadName, QStringLiteral("Upload from PLC"));
    connect(writeButton, &QPushButton::clicked, this, write);
    connect(uploadButton, &QPushButton::clicked, this, upload);
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

void MainTab::runPortWrite(const QString &port,
                           const std::function<void(bool verify, PortWriteReport &)> &write)
{
    const bool verify = m_context.feedback && m_context.feedback->verifyAfterWrite();
    PortWriteReport report{port, {}, std::nullopt, {}};
    const CommandEnd end = runCommandEnd(prompts(), [&] { write(verify, report); });
    if (end.kind == CommandEnd::Kind::Aborted)
        return;
    report.error = end.failure;
    if (const QList<PortDifference> differences = report.differences(); !differences.isEmpty())
        prompts().message(verifyFailedMessage(differences), QStringLiteral("Verify after write"));
    if (m_context.feedback)
        Q_EMIT m_context.feedback->portWritten(report);
}

PortReadReport MainTab::runPortRead(const QString &port,
                                    const std::function<void(PortReadReport &)> &read)
{
    PortReadReport report;
    report.port = port;
    const CommandEnd end = runCommandEnd(prompts(), [&] { read(report); });
    if (end.kind == CommandEnd::Kind::Aborted)
        report.outcome = Outcome::Cancelled;
    else if (end.kind == CommandEnd::Kind::Failed)
        report = {port, Outcome::PlcFailed, {}, end.failure};
    return report;
}

void MainTab::runUploadButton(const Upload &upload)
{
    if (m_context.feedback && !m_context.feedback->mayReplaceProject())
        return;
    const PortReadReport report = upload();
    if (m_context.feedback && report.outcome != Outcome::Cancelled)
        Q_EMIT m_context.feedback->portsRead({report});
}

void MainTab::reportEnded(const QString &text, bool failure)
{
    if (m_context.feedback)
        Q_EMIT m_context.feedback->commandEnded(text, failure);
}
