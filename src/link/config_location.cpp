#include "link/config_location.h"

#include "common/program_folders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString resolveSetIniPath(const QString &explicitFolder, const QString &executableFolder,
                          const QString &userConfigFolder, bool installed)
{
    const QString name = QStringLiteral("set.ini");
    if (!explicitFolder.isEmpty())
        return QDir(explicitFolder).absoluteFilePath(name);
    const QDir exeDir(executableFolder);
    const QFileInfo beside(exeDir.absoluteFilePath(name));
    if (beside.exists() || (!installed && QFileInfo(exeDir.absolutePath()).isWritable()))
        return beside.absoluteFilePath();
    return QDir(userConfigFolder).absoluteFilePath(name);
}

QString defaultSetIniPath(const QString &explicitFolder)
{
    const QString userFolder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    const QString programFolder = QCoreApplication::applicationDirPath();
    const QString path = resolveSetIniPath(explicitFolder, programFolder, userFolder,
                                           isInstalledProgram(programFolder));
    QDir().mkpath(QFileInfo(path).absolutePath());
    return path;
}
