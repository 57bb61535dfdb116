#pragma once

#include <QString>
#include <QStringList>

// Where the program's own parts (the conv library, the firmware updater's update/ folder) are
// looked for: beside the program first, so a build or an unpacked copy uses its own; then, for an
// installed program, its library folder (/usr/lib/<arch>/plc-config beside /usr/bin). The
// library folder is found from the program's folder, so neither LD_LIBRARY_PATH nor the prefix
// matters.

// The installed library folder of a program lying in programFolder, whether it exists or not.
QString installedPartsFolder(const QString &programFolder);

// Whether the program in programFolder is an installed one: its library folder is there.
bool isInstalledProgram(const QString &programFolder);

// programFolder, then the installed library folder when it exists.
QStringList programPartFolders(const QString &programFolder);

// The same for the running program.
QStringList programPartFolders();
