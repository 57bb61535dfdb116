#include "service/service_commands.h"

#include "common/errors.h"
#include "common/hex_text.h"
#include "common/prompts.h"
#include "link/ini_file.h"
#include "link/plc_address.h"
#include "link/plc_link.h"

#include <QCoreApplication>

#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace {

// One service word to one service address; the answer is for the caller to test or not.
QCoro::Task<WriteAnswer> writeServiceWord(LinkTransfer &transfer, quint16 address, quint16 word,
                                          PlcLink::Drain drain)
{
    co_await transfer.open();
    const WriteAnswer answer = co_await transfer.link().Write_plc_block(
        Timeout::Bracket, WriteCommand::Configuration, address, wordBytes(word));
    co_await transfer.close(drain);
    co_return answer;
}

// Throws when the updater is not a program that can be started: the PLC must not be switched
// into update mode for an updater that never comes.
void checkUpdater(const QString &program, const QString &missingHint)
{
    const QFileInfo info(program);
    const QString shown = QDir::toNativeSeparators(info.absoluteFilePath());
    if (!info.exists())
        throw PlatformError(QStringLiteral("The firmware updater %1 was not found").arg(shown) +
                            missingHint);
    if (!info.isFile() || !info.isExecutable())
        throw PlatformError(
            QStringLiteral("The firmware updater %1 is not a program that can be started")
                .arg(shown));
}

// Starts the updater in its own folder as a process of its own, not waited for.
void startUpdater(const QString &program)
{
    const QFileInfo info(program);
    const QString shown = QDir::toNativeSeparators(info.absoluteFilePath());
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

QCoro::Task<Result<WriteAnswer>> restartPlc(PlcLink &link, QString iniPath, Prompts &prompts)
{
    // set.ini is applied like before every other transfer: the port chosen in the COM-port
    // dialog is the one the caption shows, and the restart must go out there too.
    LinkTransfer transfer(link, iniPath, QStringLiteral("Restart PLC"));
    if (!prompts.question(QStringLiteral("You are shure for restart PLC ? "), QString()))
        co_return ended(Outcome::Cancelled);
    const WriteAnswer answer = co_await writeServiceWord(transfer, Addr::Restart, PlcWord::Restart,
                                                         PlcLink::Drain::UntilQuiet);
    co_return Result(answer);
}

QCoro::Task<Outcome> startFirmwareUpdate(PlcLink &link, QString iniPath, Prompts &prompts,
                                         QString updaterProgram, QString missingHint)
{
    checkUpdater(updaterProgram, missingHint);
    {
        LinkTransfer transfer(link, iniPath, QStringLiteral("Update firmware"));
        if (!prompts.question(QStringLiteral("You are shure for update firmware for the PLC ? "),
                              QString()))
            co_return Outcome::Cancelled;
        // The updater takes the port over at once: whatever the PLC still sends is for it.
        co_await writeServiceWord(transfer, Addr::FirmwareUpdate, PlcWord::FirmwareUpdate,
                                  PlcLink::Drain::No);
        // The port is free before the updater starts: it opens the same port itself.
        co_await link.pause(SettlePause);
    }
    startUpdater(updaterProgram);
    co_return Outcome::Done;
}

QString updaterPath(const QStringList &folders)
{
#ifdef Q_OS_WIN
    const QString name = QStringLiteral("update/update.exe");
#else
    const QString name = QStringLiteral("update/update");
#endif
    QString path;
    for (const QString &folder : folders) {
        path = QDir(folder).filePath(name);
        if (QFileInfo::exists(path))
            break;
    }
    return path;
}

namespace {
const QString OptionsSection = QStringLiteral("Options");
const QString UpdaterKey = QStringLiteral("Updater");
} // namespace

QString storedUpdater(const QString &iniPath)
{
    try {
        return Read_ini(iniPath, OptionsSection, UpdaterKey, QString()).trimmed();
    } catch (const PlatformError &) {
        // A set.ini that cannot be read names no updater; the default one is looked for.
        return {};
    }
}

void storeUpdater(const QString &iniPath, const QString &program)
{
    Write_ini(iniPath, OptionsSection, UpdaterKey, program.trimmed());
}

UpdaterChoice chooseUpdater(const QString &iniPath, const QStringList &folders)
{
    const QString howToSet =
        QCoreApplication::translate(
            "ServiceCommands",
            "Choose the updater in \"Firmware updater\" on the HW config tab, or set Updater= in "
            "section [Options] of %1.")
            .arg(QDir::toNativeSeparators(iniPath));
    if (const QString stored = storedUpdater(iniPath); !stored.isEmpty())
        return {stored,
                QCoreApplication::translate("ServiceCommands", ".\nIt is the one set.ini names. %1")
                    .arg(howToSet)};
    QStringList places;
    for (const QString &folder : folders)
        places << QDir::toNativeSeparators(QFileInfo(updaterPath({folder})).absoluteFilePath());
    return {
        updaterPath(folders),
        QCoreApplication::translate("ServiceCommands",
                                    ".\nIt was looked for as %1. The updater does not come "
                                    "with plc-config. %2")
            .arg(places.join(QCoreApplication::translate("ServiceCommands", " and ")), howToSet)};
}
