#include "app/recent_files.h"

#include "app/main_window.h"
#include "app/window_settings.h"
#include "common/errors.h"
#include "link/config_location.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>

RecentFiles::RecentFiles(MainWindow &window, QMenu *file, QAction *before, QObject *parent)
    : QObject(parent), m_window(window), m_file(file), m_before(before), m_folder(firstFileFolder())
{}

void RecentFiles::restore(const QString &folder)
{
    if (!folder.isEmpty() && QFileInfo(folder).isDir())
        m_folder = folder;
    m_paths = readRecentFiles(m_window.iniPath());
    showItems();
}

void RecentFiles::add(const QString &path)
{
    m_folder = QFileInfo(path).absolutePath();
    m_paths = withRecentFile(m_paths, QFileInfo(path).absoluteFilePath());
    store();
}

void RecentFiles::remove(const QString &path)
{
    m_paths.removeAll(path);
    store();
}

void RecentFiles::store()
{
    // The list and the folder are a convenience: a set.ini that cannot be written costs them and
    // nothing else.
    try {
        writeRecentFiles(m_window.iniPath(), m_paths);
        writeFolderSetting(m_window.iniPath(), m_folder);
    } catch (const CommandError &) {
    }
    showItems();
    Q_EMIT changed();
}

void RecentFiles::showItems()
{
    // The item chosen may be the one still emitting: the old items go once it has returned.
    for (QAction *old : std::as_const(m_items)) {
        m_file->removeAction(old);
        old->setObjectName(QString()); // its name goes to the new item now
        old->deleteLater();
    }
    m_items.clear();
    if (m_paths.isEmpty())
        return;
    m_items << m_file->insertSeparator(m_before);
    for (int i = 0; i < m_paths.size(); ++i) {
        const QString path = m_paths[i];
        auto *item = new QAction(
            QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(path).fileName()), m_file);
        item->setObjectName(QStringLiteral("Recent_%1").arg(i + 1));
        item->setToolTip(QDir::toNativeSeparators(path));
        item->setStatusTip(QDir::toNativeSeparators(path));
        connect(item, &QAction::triggered, this, [this, path] { Q_EMIT chosen(path); });
        m_window.registerPlcControl(item);
        m_file->insertAction(m_before, item);
        m_items << item;
    }
    m_items << m_file->insertSeparator(m_before);
}
