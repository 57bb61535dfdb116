#include "common/whole_file.h"

#include "common/errors.h"
#include "common/file_kind.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

void writeWholeFile(const QString &path, const QByteArray &bytes)
{
    requireRegularFileToWrite(path);
    QSaveFile file(path);
    // A file that may be written but not replaced in its folder is written in place; anything
    // else goes through a temporary file, so a failed write leaves no half-written file.
    const QFileInfo target(path);
    file.setDirectWriteFallback(target.exists() && target.isWritable() &&
                                !QFileInfo(target.absolutePath()).isWritable());
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        throw PlatformError(QStringLiteral("Cannot write %1: %2")
                                .arg(QDir::toNativeSeparators(path), file.errorString()));
    }
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
    if (!replace && QFileInfo::exists(path)) {
        throw InputError(QStringLiteral("%1 exists; it is kept (--force replaces it)")
                             .arg(QDir::toNativeSeparators(path)));
    }
}
