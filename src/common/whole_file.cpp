#include "common/whole_file.h"

#include "common/errors.h"
#include "common/file_kind.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#else
#include <filesystem>
#endif
#ifdef Q_OS_WIN
// Without it, windows.h's min and max macros would replace std::numeric_limits' functions.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <io.h>
#include <windows.h>
#endif

bool syncFileToDisk(QFile &file)
{
#ifdef Q_OS_WIN
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(file.handle()));
    return handle != INVALID_HANDLE_VALUE && FlushFileBuffers(handle);
#else
    return ::fsync(file.handle()) == 0;
#endif
}

namespace {

[[noreturn]] void cannotWrite(const QString &path, const QString &reason)
{
    throw PlatformError(
        QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), reason));
}

// Where the bytes go: the end of a chain of links, as an editor saving through a link does. A
// link to nothing names the file it would create.
QString finalTarget(const QString &path)
{
    QFileInfo info(path);
    for (int depth = 0; depth < 40 && info.isSymbolicLink(); ++depth)
        info.setFile(info.symLinkTarget());
    return info.isSymbolicLink() ? path : info.filePath();
}

// A short write says nothing of why; the next attempt fails with the reason (a full disk).
bool writeAll(QFile &file, const QByteArray &bytes)
{
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// Puts what was written on the disk itself; a file system may report running out of room only
// here. One that cannot sync the file at all (EINVAL) keeps it as it can.
void syncToDisk(QFile &file, const QString &path)
{
    if (!syncFileToDisk(file) && errno != EINVAL)
        cannotWrite(path, qt_error_string(errno));
}

// Makes room for size bytes in an open file before anything in it is overwritten, so that a
// full disk fails here, with the old bytes untouched. The reason when it cannot.
QString reserve(QFile &file, qint64 size)
{
#ifdef Q_OS_LINUX
    const int error = ::posix_fallocate(file.handle(), 0, size);
    return error == 0 || error == EOPNOTSUPP || error == EINVAL ? QString()
                                                                : qt_error_string(error);
#else
    return file.resize(size) ? QString() : file.errorString();
#endif
}

// For a file that may be written but not replaced in its folder: the new bytes go over the old
// ones in place, after room for them is reserved; should a write still fail, the old bytes are
// put back.
void writeInPlace(const QString &shownPath, const QString &target, const QByteArray &bytes)
{
    QFile file(target);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        cannotWrite(shownPath, file.errorString());
    const QByteArray old = file.readAll();
    if (file.error() != QFileDevice::NoError)
        cannotWrite(shownPath, file.errorString());
    if (const QString reason = bytes.size() > old.size() ? reserve(file, bytes.size()) : QString();
        !reason.isEmpty()) {
        file.resize(old.size());
        cannotWrite(shownPath, reason);
    }
    if (!file.seek(0) || !writeAll(file, bytes) || !file.resize(bytes.size())) {
        const QString reason = file.errorString();
        if (file.seek(0))
            writeAll(file, old);
        file.resize(old.size());
        cannotWrite(shownPath, reason);
    }
    syncToDisk(file, shownPath);
    file.close();
    if (file.error() != QFileDevice::NoError)
        cannotWrite(shownPath, file.errorString());
}

// Puts the file from in the place of the file to, in one step.
void replaceFile(const QString &shownPath, const QString &from, const QString &to)
{
#ifdef Q_OS_UNIX
    // File names as the system spells them, whatever the locale.
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        cannotWrite(shownPath, qt_error_string(errno));
#else
    std::error_code error;
    std::filesystem::rename(from.toStdWString(), to.toStdWString(), error);
    if (error)
        cannotWrite(shownPath, QString::fromStdString(error.message()));
#endif
}

// A new file beside target that nothing else uses.
QString openNewBeside(const QString &shownPath, const QString &target, QFile &file)
{
    for (int attempt = 0;; ++attempt) {
        file.setFileName(QStringLiteral("%1.%2.part")
                             .arg(target)
                             .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
            return file.fileName();
        if (!QFileInfo::exists(file.fileName()) || attempt == 20)
            cannotWrite(shownPath, file.errorString());
    }
}

// Writes everything into a new file, puts it on the disk and only then renames it over the old
// one; on any failure the new file goes and the old one stays as it was.
void writeAndReplace(const QString &shownPath, const QString &target, const QByteArray &bytes)
{
    QFile file;
    const QString part = openNewBeside(shownPath, target, file);
    try {
        if (QFileInfo::exists(target))
            file.setPermissions(QFile::permissions(target));
        if (!writeAll(file, bytes))
            cannotWrite(shownPath, file.errorString());
        syncToDisk(file, shownPath);
        file.close();
        if (file.error() != QFileDevice::NoError)
            cannotWrite(shownPath, file.errorString());
        replaceFile(shownPath, part, target);
    } catch (...) {
        file.close();
        QFile::remove(part);
        throw;
    }
#ifdef Q_OS_UNIX
    // The rename itself is on the disk only once the folder is.
    const int folder = ::open(QFile::encodeName(QFileInfo(target).absolutePath()).constData(),
                              O_RDONLY | O_DIRECTORY);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
#endif
}

} // namespace

void writeWholeFile(const QString &path, const QByteArray &bytes)
{
    requireRegularFileToWrite(path);
    const QString target = finalTarget(path);
    const QFileInfo info(target);
    if (info.exists() && info.isWritable() && !QFileInfo(info.absolutePath()).isWritable())
        writeInPlace(path, target, bytes);
    else
        writeAndReplace(path, target, bytes);
}

QByteArray readWholeFile(const QString &path, qint64 maxBytes, const QString &expected)
{
    requireRegularFileToRead(path);
    const QString shown = QDir::toNativeSeparators(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw InputError(QStringLiteral("Cannot read %1: %2").arg(shown, file.errorString()));
    if (file.size() > maxBytes) {
        throw InputError(QStringLiteral("%1: the file holds %2 bytes; %3.")
                             .arg(shown)
                             .arg(file.size())
                             .arg(expected));
    }
    const QByteArray bytes = file.read(maxBytes);
    if (file.error() != QFileDevice::NoError)
        throw InputError(QStringLiteral("Cannot read %1: %2").arg(shown, file.errorString()));
    return bytes;
}

QByteArray readTextFile(const QString &path)
{
    constexpr qint64 MaxTextBytes = 4 * 1024 * 1024;
    return readWholeFile(path, MaxTextBytes,
                         QStringLiteral("a text read here holds at most %1").arg(MaxTextBytes));
}

void requireNewFile(const QString &path, bool replace)
{
    // A link counts even when it leads nowhere: writing through it would create its target.
    if (!replace && (QFileInfo(path).isSymbolicLink() || QFileInfo::exists(path))) {
        throw InputError(QStringLiteral("%1 exists; it is kept (--force replaces it)")
                             .arg(QDir::toNativeSeparators(path)));
    }
}
