#include "service/service_commands.h"

#include "common/errors.h"
#include "common/prompts.h"
#include "link/plc_link.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace {

const int ServiceTimeoutMs = 1000;

// One service word to one service address, the answer untested.
void writeServiceWord(LinkTransfer &transfer, const QString &address, const QString &word)
{
    transfer.open();
    transfer.link().Write_plc_block(ServiceTimeoutMs, QStringLiteral("E11"), address,
                                    QStringLiteral("02"), word);
    transfer.close();
}

// Starts the updater in its own folder as a process of its own, not waited for.
void startUpdater(const QString &program)
{
    const QFileInfo info(program);
    const QString shown = QDir::toNativeSeparators(info.absoluteFilePath());
    if (!info.exists())
        throw PlatformError(QStringLiteral("The firmware updater %1 was not found").arg(shown));
    if (!info.isFile() || !info.isExecutable())
        throw PlatformError(
            QStringLiteral("The firmware updater %1 is not a program that can be started")
                .arg(shown));

    QProcess process;
    process.setProgram(info.absoluteFilePath());
    process.setWorkingDirectory(info.absolutePath());
    if (!process.startDetached()) {
        const QString reason = process.errorString();
        throw PlatformError(
            QStringLiteral("The firmware updater %1 cannot be started: %2").arg(shown, reason));
    }
}

} // namespace

Outcome restartPlc(PlcLink &link, const QString &iniPath, Prompts &prompts)
{
    // set.ini is applied like before every other transfer: the port chosen in the COM-port
    // dialog is the one the caption shows, and the restart must go out there too.
    LinkTransfer transfer(link, iniPath);
    if (!prompts.question(QStringLiteral("You are shure for restart PLC ? "), QString()))
        return Outcome::Cancelled;
    writeServiceWord(transfer, QStringLiteral("3011"), QStringLiteral("7B49"));
    return Outcome::Done;
}

Outcome startFirmwareUpdate(PlcLink &link, const QString &iniPath, Prompts &prompts,
                            const QString &updaterProgram)
{
    {
        LinkTransfer transfer(link, iniPath);
        if (!prompts.question(QStringLiteral("You are shure for update firmware for the PLC ? "),
                              QString()))
            return Outcome::Cancelled;
        writeServiceWord(transfer, QStringLiteral("3010"), QStringLiteral("6D2A"));
        // The port is free before the updater starts: it opens the same port itself.
        link.pause(100);
    }
    startUpdater(updaterProgram);
    return Outcome::Done;
}

QString updaterPath(const QString &programFolder)
{
#ifdef Q_OS_WIN
    const QString name = QStringLiteral("update/update.exe");
#else
    const QString name = QStringLiteral("update/update");
#endif
    return QDir(programFolder).filePath(name);
}
