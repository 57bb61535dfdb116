#pragma once

#include "common/result.h"
#include "link/plc_link.h"

#include <QString>

class Prompts;

// The service commands of the PLC's sibling board: restart, and the switch into firmware update
// mode that hands over to the separate updater program. Each is one write of a service word to a
// service address, after a confirmation, outside the configuration bracket. The PLC's answer is
// not tested: a PLC that restarts or switches over at once may never answer.
//
// Both apply set.ini to the link's line first and close the line at the end, however they end.
// Platform failures (set.ini, the port, the updater) are thrown as PlatformError.

// "Restart PLC, based on the STM32F3": the PLC's answer, which the window does not look at (a
// PLC that restarts at once may not answer) and the command line reports.
QCoro::Task<Result<WriteAnswer>> restartPlc(PlcLink &link, QString iniPath, Prompts &prompts);

// "Start update firmware for STM32F3": checks that updaterProgram is there and can be started
// (PlatformError naming it, before anything is asked or sent), writes the update word, closes the
// line, waits 100 ms and starts the updater without waiting for it, whether the PLC answered or
// not.
// missingHint follows the message for an updater that is not there: where it was looked for and
// how to choose another.
QCoro::Task<Outcome> startFirmwareUpdate(PlcLink &link, QString iniPath, Prompts &prompts,
                                         QString updaterProgram, QString missingHint = {});

// The updater, "update/update.exe" on Windows and "update/update" elsewhere, in the first of the
// folders that holds one (programPartFolders() for the running program). When none does, where
// the last folder would hold it (an installed program's library folder), for the message.
QString updaterPath(const QStringList &folders);

// The firmware updater is not part of this program: the user may name it in set.ini as
// [Options] Updater=. Empty when none is named.
QString storedUpdater(const QString &iniPath);
// Names it; an empty program returns to the one beside the program. Throws PlatformError when
// set.ini cannot be written.
void storeUpdater(const QString &iniPath, const QString &program);

// The updater "Start update firmware" starts: the one set.ini names, else updaterPath(folders);
// with the hint startFirmwareUpdate shows when it is missing.
struct UpdaterChoice
{
    QString program;
    QString missingHint;
};
UpdaterChoice chooseUpdater(const QString &iniPath, const QStringList &folders);
