#include "app/plc_commands.h"

#include "app/compare_dialog.h"
#include "app/main_window.h"
#include "app/status_bar.h"
#include "app/window_settings.h"
#include "common/command.h"
#include "common/errors.h"
#include "common/wait_for_task.h"
#include "project/project_file.h"
#include "tabs/command_feedback.h"
#include "tabs/onewire_tab.h"
#include "tabs/uart_tab.h"
#include "transfer/plc_verify.h"
#include "widgets/window_placement.h"

#include <QAction>
#include <QMenu>

PlcCommands::PlcCommands(MainWindow &window, CommandFeedback &feedback, StatusBar &status,
                         QMenu *plc, QAction *loadToPlc)
    : QObject(&window), m_window(window), m_feedback(feedback), m_status(status)
{
    connect(loadToPlc, &QAction::triggered, this, &PlcCommands::loadToPlc);
    plc->addSeparator();
    m_verify = plc->addAction(QStringLiteral("&Verify after write"));
    m_verify->setObjectName(QStringLiteral("verify_after_write"));
    m_verify->setCheckable(true);
    connect(m_verify, &QAction::toggled, this, &PlcCommands::setVerify);
    QAction *compare = plc->addAction(QStringLiteral("Co&mpare with PLC..."));
    compare->setObjectName(QStringLiteral("compare_with_plc"));
    connect(compare, &QAction::triggered, this, &PlcCommands::compareWithPlc);
    window.registerPlcControl(compare);
}

void PlcCommands::startUp(bool verify)
{
    {
        const QSignalBlocker quiet(m_verify);
        m_verify->setChecked(verify);
    }
    m_feedback.setVerifyAfterWrite(verify);
}

void PlcCommands::loadToPlc()
{
    Prompts &prompts = m_window.prompts();
    ProjectWriteReport report;
    const CommandEnd end = runCommandEnd(prompts, [&] {
        waitForTask(writeProject(m_window.link(), m_window.iniPath(), prompts,
                                 m_window.projectPorts(),
                                 {ProjectPort::Uart1, ProjectPort::Uart2, ProjectPort::Aux},
                                 m_feedback.verifyAfterWrite(), report));
    });
    if (end.kind == CommandEnd::Kind::Aborted)
        return;
    if (!end.failure.isEmpty() && !report.ports.isEmpty())
        report.ports.last().error = end.failure;
    if (const auto differences = report.differences(); !differences.isEmpty())
        prompts.message(verifyFailedMessage(differences), QStringLiteral("Verify after write"));

    if (!report.ports.isEmpty())
        m_status.showOutcome(StatusText::writes(report.ports), StatusText::failed(report.ports));
    else if (!end.failure.isEmpty())
        m_status.showOutcome(QStringLiteral("Nothing loaded to PLC: %1").arg(end.failure), true);
    else if (report.outcome == Outcome::Invalid)
        m_status.showOutcome(
            QStringLiteral("Nothing loaded to PLC: the configuration has an error"), true);
    else
        m_status.showOutcome(QStringLiteral("Nothing loaded to PLC: cancelled"));
}

void PlcCommands::compareWithPlc()
{
    Prompts &prompts = m_window.prompts();
    Result<QList<PortDifference>> found(Outcome::Cancelled);
    const CommandEnd end = runCommandEnd(prompts, [&] {
        found = waitForTask(::compareWithPlc(m_window.link(), m_window.iniPath(), prompts,
                                             m_window.projectPorts()));
    });
    if (end.kind == CommandEnd::Kind::Aborted)
        return;
    if (!found) {
        const QString why = end.failure.isEmpty() ? found.failure().message : end.failure;
        m_status.showOutcome(QStringLiteral("Compare with PLC stopped: %1").arg(why), true);
        return;
    }
    if (found->isEmpty()) {
        prompts.message(QStringLiteral("The PLC holds the same configuration as the window."));
        m_status.showOutcome(QStringLiteral("Compared with PLC: the same"));
        return;
    }
    m_status.showOutcome(QStringLiteral("Compared with PLC: %1 difference(s)").arg(found->size()),
                         true);
    // The differences stay in sight while the tabs are put right.
    if (m_compare)
        m_compare->close();
    m_compare = new CompareDialog(*found, &m_window);
    connect(m_compare, &CompareDialog::differenceChosen, this, &PlcCommands::goTo);
    showBeside(m_compare, &m_window);
}

void PlcCommands::goTo(const PortDifference &difference)
{
    UartTab *uart = difference.port == ModbusPortInfo::uart1().name   ? m_window.uart1Tab()
                    : difference.port == ModbusPortInfo::uart2().name ? m_window.uart2Tab()
                                                                      : nullptr;
    OnewireTab *onewire = m_window.onewireTab();
    m_window.showTab(uart ? static_cast<MainTab *>(uart) : onewire);
    m_window.activateWindow();
    if (difference.slot < 1)
        return;
    // The field is named as its table's column is titled ("Timeout" for "Timeout,[ms]").
    const TextTable &table =
        uart ? static_cast<const TextTable &>(uart->port().slaves()) : onewire->auxPort().sensors();
    for (int column = 1; column < table.columnCount(); ++column) {
        if (table.headerData(column, Qt::Horizontal)
                .toString()
                .trimmed()
                .startsWith(difference.field)) {
            if (uart)
                uart->selectCell(difference.slot - 1, column);
            else
                onewire->selectCell(difference.slot - 1, column);
            return;
        }
    }
}

void PlcCommands::setVerify(bool on)
{
    m_feedback.setVerifyAfterWrite(on);
    try {
        writeVerifySetting(m_window.iniPath(), on);
    } catch (const CommandError &e) {
        m_status.showOutcome(
            QStringLiteral("\"Verify after write\" not stored: %1").arg(e.description()), true);
    }
}
