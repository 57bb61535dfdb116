#include "common/program_folders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString installedPartsFolder(const QString &programFolder)
{
    return QDir::cleanPath(QDir(programFolder).filePath(QStringLiteral(PLC_INSTALLED_PARTS)));
}

bool isInstalledProgram(const QString &programFolder)
{
    return QFileInfo(installedPartsFolder(programFolder)).isDir();
}

QStringList programPartFolders(const QString &programFolder)
{
    QStringList folders{programFolder};
    if (isInstalledProgram(programFolder))
        folders << installedPartsFolder(programFolder);
    return folders;
}

QStringList programPartFolders()
{
    return programPartFolders(QCoreApplication::applicationDirPath());
}
