// The main window's project exchange: JSON export and import of the whole project, CSV export and
// import of one table from its grid's context menu, the printed configuration sheet, and the mark
// of a changed project.
#include "app/main_window.h"
#include "app/project_file_commands.h"
#include "app/project_state.h"
#include "app/status_bar.h"
#include "app/undo_history.h"

#include "common/command.h"
#include "common/errors.h"
#include "common/whole_file.h"
#include "project/config_check.h"
#include "project/config_sheet.h"
#include "project/project_file.h"
#include "project/project_json.h"
#include "project/table_csv.h"
#include "tabs/onewire_tab.h"
#include "tabs/uart_tab.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTableView>
#include <QUndoStack>

namespace {

// A chooser starting in the window's file folder; a start path with a file name in it proposes
// that name.
FileChoice textFileChoice(const QString &title, const QString &filter, const QString &suffix,
                          const QString &startPath)
{
    return {title, {filter, QStringLiteral("All file (*.*)")}, suffix, startPath};
}

FileChoice jsonChoice(const QString &title, const QString &startPath)
{
    return textFileChoice(title, QStringLiteral("PLC configuration as JSON (*.json)"),
                          QStringLiteral("json"), startPath);
}

FileChoice csvChoice(const QString &title, const QString &startPath)
{
    return textFileChoice(title, QStringLiteral("Comma-separated values (*.csv)"),
                          QStringLiteral("csv"), startPath);
}

// "two-masters UART 1.csv" in the file folder: the project file's name, or a general one for a
// project not saved yet, followed by what is written.
QString proposedPath(const ProjectFileCommands &files, const QString &ending)
{
    QString name = QFileInfo(files.project().file()).completeBaseName();
    if (name.isEmpty())
        name = QCoreApplication::translate("MainWindow", "PLC configuration");
    return QDir(files.fileFolder()).filePath(name + ending);
}

// A bad file's faults, with its name first.
InputError faultsOf(const QString &path, const InputError &e)
{
    return InputError(QStringLiteral("Nothing was imported from %1:\n%2")
                          .arg(QDir::toNativeSeparators(path), e.description()));
}

} // namespace

QAction *MainWindow::buildExchangeMenus(QMenu *file, QAction *print)
{
    auto add = [&](const char *name, const QString &caption, void (MainWindow::*command)()) {
        auto *action = new QAction(caption, file);
        action->setObjectName(QLatin1String(name));
        file->insertAction(print, action);
        connect(action, &QAction::triggered, this, command);
        return action;
    };
    add("Export_project", QStringLiteral("Export..."), &MainWindow::exportProject);
    QAction *importItem =
        add("Import_project", QStringLiteral("Import..."), &MainWindow::importProject);
    print->setShortcut(QKeySequence::Print);
    connect(print, &QAction::triggered, this, &MainWindow::printConfigSheet);

    addTableMenu(m_uart1->grid(), ProjectTable::Uart1);
    addTableMenu(m_uart2->grid(), ProjectTable::Uart2);
    addTableMenu(m_onewire->grid(), ProjectTable::Sensors);
    return importItem;
}

void MainWindow::addTableMenu(QTableView *grid, ProjectTable table)
{
    const QString gridName = grid->objectName();
    // The table's frame offers the menu too: a master table stays hidden until a row is chosen
    // or added. Within the frame the items also have shortcuts.
    QWidget *frame = grid->parentWidget();
    for (QWidget *owner : {static_cast<QWidget *>(grid), frame})
        owner->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto add = [&](const char *name, const QString &caption, const QKeySequence &keys,
                   void (MainWindow::*command)(ProjectTable)) {
        auto *action = new QAction(caption, grid);
        action->setObjectName(gridName + QLatin1String(name));
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        grid->addAction(action);
        frame->addAction(action);
        connect(action, &QAction::triggered, this,
                [this, command, table] { (this->*command)(table); });
        return action;
    };
    registerPlcControl(add("_import_csv", QStringLiteral("Import CSV..."),
                           QKeySequence(Qt::CTRL | Qt::Key_I), &MainWindow::importTable));
    add("_export_csv", QStringLiteral("Export CSV..."), QKeySequence(Qt::CTRL | Qt::Key_E),
        &MainWindow::exportTable);
}

void MainWindow::exportProject()
{
    QString done;
    const CommandEnd end = runCommandEnd(*m_prompts, [&] {
        // What "Save config" would write: a cell that does not convert stops it here.
        ProjectRecord record = m_project;
        Fill_project_record(record, projectPorts());
        if (const auto path = m_prompts->chooseFileToSave(
                jsonChoice(QStringLiteral("Export PLC configuration"),
                           proposedPath(*m_files, QStringLiteral(".json"))))) {
            writeWholeFile(*path, projectJson(record));
            done = tr("Exported to %1").arg(QDir::toNativeSeparators(*path));
        }
    });
    m_status->showEnd(end, done, tr("Not exported: %1"));
}

void MainWindow::importProject()
{
    // The import replaces the whole project, as a load does.
    if (!m_files->mayDiscardChanges())
        return;
    QString done;
    const CommandEnd end = runCommandEnd(*m_prompts, [&] {
        const auto path = m_prompts->chooseFileToOpen(
            jsonChoice(QStringLiteral("Import PLC configuration"), m_files->fileFolder()));
        if (!path)
            return;
        ProjectRecord record;
        try {
            record = projectRecordFromJson(readTextFile(*path));
        } catch (const InputError &e) {
            throw faultsOf(*path, e);
        }
        // A new project, not saved as a project file yet: the load marks it changed.
        m_files->project().setSaved(QString());
        m_project = record;
        Apply_project_record(record, projectPorts());
        m_uart1->showTable();
        // The project before the import is no saved state to come back to: undoing the import
        // leaves it marked changed.
        m_undo->recordPending();
        m_undo->stack().resetClean();
        done = tr("Imported %1").arg(QFileInfo(*path).fileName());
    });
    m_status->showEnd(end, done, tr("Not imported: %1"));
}

void MainWindow::exportTable(ProjectTable table)
{
    QString done;
    const CommandEnd end = runCommandEnd(*m_prompts, [&] {
        const QString caption = projectTableCaption(table);
        if (const auto path = m_prompts->chooseFileToSave(csvChoice(
                QStringLiteral("Export the %1").arg(caption),
                proposedPath(*m_files, QLatin1Char(' ') + caption + QStringLiteral(".csv"))))) {
            writeWholeFile(*path, projectTableCsv(table, projectPorts()));
            done = tr("Exported the %1 to %2").arg(caption, QDir::toNativeSeparators(*path));
        }
    });
    m_status->showEnd(end, done, tr("Not exported: %1"));
}

void MainWindow::importTable(ProjectTable table)
{
    QString done;
    const CommandEnd end = runCommandEnd(*m_prompts, [&] {
        const QString caption = projectTableCaption(table);
        const auto path = m_prompts->chooseFileToOpen(
            csvChoice(QStringLiteral("Import into the %1").arg(caption), m_files->fileFolder()));
        if (!path)
            return;
        if (projectTableFilled(table, projectPorts()) &&
            !m_prompts->question(QStringLiteral("Replace the rows of the %1 with those of %2?")
                                     .arg(caption, QFileInfo(*path).fileName())))
            return;
        try {
            importProjectTableCsv(table, readTextFile(*path), projectPorts());
        } catch (const InputError &e) {
            throw faultsOf(*path, e);
        }
        if (table == ProjectTable::Uart1)
            m_uart1->showTable();
        else if (table == ProjectTable::Uart2)
            m_uart2->showTable();
        done = tr("Imported the %1 from %2").arg(caption, QFileInfo(*path).fileName());
    });
    m_status->showEnd(end, done, tr("Not imported: %1"));
}

void MainWindow::printConfigSheet()
{
    QString done;
    const CommandEnd end = runCommandEnd(*m_prompts, [&] {
        const QFileInfo file(m_files->project().file());
        SheetHeading heading;
        heading.projectName = file.fileName();
        if (file.exists())
            heading.fileTime = file.lastModified();
        heading.printed = QDateTime::currentDateTime();
        heading.changedSinceFile = m_files->project().isChanged();
        const QString html =
            configSheetHtml(heading, portSections(projectPorts(), m_onewire->auxPort().fieldNet())
                                         << findingsSection(checkConfiguration(projectPorts())));

        QPrinter printer(QPrinter::HighResolution);
        // It names the PDF file that the dialog proposes.
        printer.setDocName(heading.projectName.isEmpty()
                               ? QStringLiteral("PLC configuration")
                               : file.completeBaseName() + QStringLiteral(" configuration"));
        // Without a printer the sheet goes to a PDF file: one named after the project, where the
        // other choosers start.
        if (QPrinterInfo::defaultPrinter().isNull())
            printer.setOutputFileName(proposedPath(*m_files, QStringLiteral(".pdf")));
        QPrintDialog dialog(&printer, this);
        dialog.setObjectName(QStringLiteral("print_dialog"));
        dialog.setWindowTitle(QStringLiteral("Print the configuration sheet"));
        if (dialog.exec() != QDialog::Accepted)
            return;
        if (const QString path = printer.outputFileName(); !path.isEmpty()) {
            // A PDF file is written as every other file is: the old one stays on any failure.
            writeSheetPdf(html, printer.docName(), path);
            done = tr("Configuration sheet saved: %1").arg(QDir::toNativeSeparators(path));
            return;
        }
        printSheet(html, printer);
        if (printer.printerState() == QPrinter::Error)
            throw PlatformError(QStringLiteral("The configuration sheet could not be printed"));
        done = tr("Configuration sheet sent to %1").arg(printer.printerName());
    });
    m_status->showEnd(end, done, tr("Configuration sheet not printed: %1"));
}
