#include "app/help_menu.h"

#include "common/errors.h"
#include "common/prompts.h"
#include "common/whole_file.h"

#include <QAction>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTextDocument>
#include <QUrl>

namespace {

QString plain(const QString &caption)
{
    QString text = caption;
    text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
    return text.trimmed();
}

void menuShortcuts(const QMenu *menu, const QString &path, QStringList &lines)
{
    for (const QAction *action : menu->actions()) {
        if (action->isSeparator())
            continue;
        const QString place = path + QStringLiteral(" \u2192 ") + plain(action->text());
        if (action->menu()) {
            menuShortcuts(action->menu(), place, lines);
            continue;
        }
        QStringList keys;
        for (const QKeySequence &k : action->shortcuts())
            keys << k.toString(QKeySequence::NativeText);
        if (!keys.isEmpty())
            lines << place + QStringLiteral(": ") + keys.join(QStringLiteral(", "));
    }
}

} // namespace

QStringList keyboardShortcuts(const QMainWindow &window, const QList<QWidget *> &grids)
{
    QStringList lines;
    for (const QAction *item : window.menuBar()->actions()) {
        if (item->menu())
            menuShortcuts(item->menu(), plain(item->text()), lines);
    }
    // The grids' own items (their context menus), once per grid.
    for (const QWidget *w : grids) {
        if (w->accessibleName().isEmpty())
            continue;
        for (const QAction *action : w->actions()) {
            if (action->parent() != w || action->shortcut().isEmpty())
                continue;
            lines << QStringLiteral("%1 \u2192 %2: %3")
                         .arg(w->accessibleName(), plain(action->text()),
                              action->shortcut().toString(QKeySequence::NativeText));
        }
    }
    lines.removeDuplicates(); // both slave tables have the same items
    lines << QObject::tr("In a table: Enter or F2 edits the cell (the Function cells of the slave "
                         "tables offer a list), Enter stores it and moves one row down, Escape "
                         "drops it; Delete empties the cell in the slave tables and the search "
                         "results")
          << QObject::tr("In a text box or a cell being edited, %1 and %2 undo and redo the "
                         "typing there; elsewhere they undo and redo the last change of the ports")
                 .arg(QKeySequence(QKeySequence::Undo).toString(QKeySequence::NativeText),
                      QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)
                          .toString(QKeySequence::NativeText));
    return lines;
}

QString manualSource(const QString &applicationDir)
{
    const QStringList candidates{
        // Installed: <prefix>/bin/plc-config and <prefix>/share/plc-config/README.md.
        QDir(applicationDir).filePath(QStringLiteral("../share/plc-config/README.md")),
#ifdef PLC_SOURCE_README
        QStringLiteral(PLC_SOURCE_README),
#endif
    };
    for (const QString &path : candidates) {
        if (QFileInfo(path).isFile())
            return QDir::cleanPath(path);
    }
    return {};
}

QString writeManualPage(const QString &readme, const QString &folder)
{
    QString markdown = QString::fromUtf8(readWholeFile(
        readme, 4 * 1024 * 1024, QObject::tr("the manual is a text of at most 4 MiB")));
    // The page lies elsewhere: the README's pictures and files are named from its own folder.
    static const QRegularExpression relative(
        QStringLiteral(R"(\]\((?![A-Za-z][A-Za-z+.-]*:|#)([^)\s]+)\))"));
    const QDir folderOfReadme = QFileInfo(readme).absoluteDir();
    QString linked;
    qsizetype from = 0;
    for (auto it = relative.globalMatch(markdown); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        linked += markdown.mid(from, m.capturedStart(1) - from) +
                  QUrl::fromLocalFile(folderOfReadme.filePath(m.captured(1))).toString();
        from = m.capturedEnd(1);
    }
    markdown = linked + markdown.mid(from);
    QTextDocument document;
    document.setMarkdown(markdown);
    const QString title = QCoreApplication::applicationName().isEmpty()
                              ? QStringLiteral("plc-config")
                              : QCoreApplication::applicationName();
    document.setMetaInformation(QTextDocument::DocumentTitle, QObject::tr("%1 manual").arg(title));
    const QString page = QDir(folder).filePath(QStringLiteral("plc-config-manual.html"));
    writeWholeFile(page, document.toHtml().toUtf8());
    return page;
}

QMenu *addHelpMenu(QMainWindow &window, Prompts &prompts, const QList<QWidget *> &grids,
                   std::function<bool(const QUrl &)> openUrl)
{
    if (!openUrl)
        openUrl = [](const QUrl &url) { return QDesktopServices::openUrl(url); };
    QMenu *help = window.menuBar()->addMenu(QObject::tr("&Help"));
    help->setObjectName(QStringLiteral("help"));

    QAction *keys = help->addAction(QObject::tr("&Keyboard shortcuts"));
    keys->setObjectName(QStringLiteral("help_shortcuts"));
    QObject::connect(keys, &QAction::triggered, &window, [&window, &prompts, grids] {
        prompts.message(keyboardShortcuts(window, grids).join(QLatin1Char('\n')),
                        QObject::tr("Keyboard shortcuts"));
    });

    QAction *manual = help->addAction(QObject::tr("&Manual"));
    manual->setObjectName(QStringLiteral("help_manual"));
    manual->setShortcut(QKeySequence::HelpContents);
    QObject::connect(manual, &QAction::triggered, &window, [&prompts, openUrl] {
        const QString readme = manualSource(QCoreApplication::applicationDirPath());
        if (readme.isEmpty()) {
            prompts.message(QObject::tr("The manual (README.md) is not installed with this "
                                        "program."));
            return;
        }
        try {
            // The user's own cache folder: a shared temporary folder would let another user put a
            // link where the page goes, and have it replace the file the link leads to.
            const QString folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
            if (!QDir().mkpath(folder))
                throw PlatformError(
                    QObject::tr("Cannot make the folder %1").arg(QDir::toNativeSeparators(folder)));
            const QString page = writeManualPage(readme, folder);
            if (!openUrl(QUrl::fromLocalFile(page))) {
                prompts.message(QObject::tr("No browser could open the manual; it is at %1")
                                    .arg(QDir::toNativeSeparators(page)));
            }
        } catch (const CommandError &e) {
            prompts.message(e.description());
        }
    });
    return help;
}

void showAbout(Prompts &prompts, const QString &iniPath)
{
    prompts.message(
        QStringLiteral("%1 %2\nPrepares the configuration of the PLC and moves it to and from "
                       "the PLC over a serial port.\n\nRunning on Qt %3 (built with Qt %4).\n"
                       "Settings: %5")
            .arg(QCoreApplication::applicationName(), QCoreApplication::applicationVersion(),
                 QString::fromLatin1(qVersion()), QStringLiteral(QT_VERSION_STR),
                 QDir::toNativeSeparators(iniPath)),
        QStringLiteral("About %1").arg(QCoreApplication::applicationName()));
}
