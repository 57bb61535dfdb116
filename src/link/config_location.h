#pragma once

#include <QString>
#include <QStringList>

// Where set.ini lives. Beside the executable when that folder already holds a set.ini or can be
// written, but never newly beside an installed program (/usr/bin is every user's, and root could
// write there); otherwise in the user's configuration folder. An explicit folder (--config-dir)
// overrides both.
QString resolveSetIniPath(const QString &explicitFolder, const QString &executableFolder,
                          const QString &userConfigFolder, bool installed = false);

// The same with the running program's folders.
QString defaultSetIniPath(const QString &explicitFolder = {});

// Where the file choosers start before a folder has been used: the program's own folder when it
// is a build or a copy the user can write to, else the user's documents folder (an installed
// program's folder, /usr/bin, is no place for the user's files).
QString firstFileFolder(const QString &programFolder, const QString &documentsFolder,
                        bool installed);

// The same for the running program.
QString firstFileFolder();

// The example projects that come with the program: the folder "examples" beside it (a build, a
// portable copy), else the installed data folder (/usr/share/plc-config/examples beside
// /usr/bin). Empty when neither is there.
QString examplesFolder(const QString &programFolder);
// The project files in the running program's examples folder, by name.
QStringList exampleProjects();
