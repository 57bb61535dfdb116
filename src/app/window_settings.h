#pragma once

#include <QRect>
#include <QString>
#include <QStringList>

// The window's own settings in set.ini, beside the PLC port's: section "Options" holds
// "Verify after write", the window's place and the folder project files were last loaded from or
// saved to; section "Recent" the project files used last, newest first.
struct WindowSettings
{
    bool verify = false;
    QRect geometry; // not stored: empty
    QString folder; // not stored: empty

    // What set.ini holds. Never fails: a missing, unreadable or hand-spoilt set.ini, or a value
    // that does not read, gives the defaults.
    static WindowSettings read(const QString &iniPath);
    // Throws PlatformError with the reason when set.ini cannot be written.
    void write(const QString &iniPath) const;
};

// "Verify after write" alone, stored as soon as it is switched; the folder alone, whenever a
// project file is loaded or saved. Throw like write().
void writeVerifySetting(const QString &iniPath, bool on);
void writeFolderSetting(const QString &iniPath, const QString &folder);

// The recent project files: at most MaxRecentFiles, newest first. Reading never fails.
constexpr int MaxRecentFiles = 5;
QStringList readRecentFiles(const QString &iniPath);
void writeRecentFiles(const QString &iniPath, const QStringList &files);
// files with path put first (once), cut to MaxRecentFiles. A path set.ini cannot keep whole
// (longer than a value may be) is left out.
QStringList withRecentFile(QStringList files, const QString &path);
