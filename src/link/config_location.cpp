#include "link/config_location.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString resolveSetIniPath(const QString &explicitFolder, const QString &executableFolder,
                          const QString &userConfigFolder)
{
    const QString name = QStringLiteral("set.ini");
    if (!explicitFolder.isEmpty())
        return QDir(explicitFolder).absoluteFilePath(name);
    const QDir exeDir(executableFolder);
    const QFileInfo beside(exeDir.absoluteFilePath(name));
    if (beside.exists() || QFileInfo(exeDir.absolutePath()).isWritable())
        return beside.absoluteFilePath();
    return QDir(userConfigFolder).absoluteFilePath(name);
}

QString defaultSetIniPath(const QString &explicitFolder)
{
    const QString userFolder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    const QString path =
        resolveSetIniPath(explicitFolder, QCoreApplication::applicationDirPath(), userFolder);
    QDir().mkpath(QFileInfo(path).absolutePath());
    return path;
}
