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

QString firstFileFolder(const QString &programFolder, const QString &documentsFolder,
                        bool installed)
{
    if (!installed && QFileInfo(programFolder).isDir() && QFileInfo(programFolder).isWritable())
        return programFolder;
    return documentsFolder;
}

QString firstFileFolder()
{
    const QString programFolder = QCoreApplication::applicationDirPath();
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty())
        documents = QDir::homePath();
    return firstFileFolder(programFolder, documents, isInstalledProgram(programFolder));
}

QString examplesFolder(const QString &programFolder)
{
    const QDir program(programFolder);
    for (const QString &candidate :
         {program.filePath(QStringLiteral("examples")),
          QDir::cleanPath(program.filePath(QStringLiteral(PLC_INSTALLED_EXAMPLES)))}) {
        if (QFileInfo(candidate).isDir())
            return candidate;
    }
    return {};
}

QStringList exampleProjects()
{
    const QString folder = examplesFolder(QCoreApplication::applicationDirPath());
    if (folder.isEmpty())
        return {};
    QStringList files;
    const QDir dir(folder);
    for (const QString &name :
         dir.entryList({QStringLiteral("*.dpc")}, QDir::Files | QDir::Readable, QDir::Name))
        files << dir.filePath(name);
    return files;
}
