#pragma once

#include <QString>

// Where set.ini lives. Beside the executable when that folder already holds a set.ini or can be
// written, but never newly beside an installed program (/usr/bin is every user's, and root could
// write there); otherwise in the user's configuration folder. An explicit folder (--config-dir)
// overrides both.
QString resolveSetIniPath(const QString &explicitFolder, const QString &executableFolder,
                          const QString &userConfigFolder, bool installed = false);

// The same with the running program's folders.
QString defaultSetIniPath(const QString &explicitFolder = {});
