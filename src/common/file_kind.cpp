#include "common/file_kind.h"

#include "common/errors.h"

#include <QDir>
#include <QFile>

#include <filesystem>

QString nonRegularKind(const QString &path)
{
    namespace fs = std::filesystem;
    std::error_code error;
#ifdef Q_OS_WIN
    const fs::path native(path.toStdWString());
#else
    // The bytes the system names the file by: a wide text would go through the locale, which
    // cannot spell every name (a "C" locale stops at the first letter beyond ASCII).
    const fs::path native(QFile::encodeName(path).toStdString());
#endif
    const fs::file_status status = fs::status(native, error);
    switch (status.type()) {
    case fs::file_type::regular:
    case fs::file_type::not_found:
    case fs::file_type::none:
        return {};
    case fs::file_type::directory:
        return QStringLiteral("a folder");
    case fs::file_type::fifo:
        return QStringLiteral("a FIFO");
    case fs::file_type::character:
        return QStringLiteral("a character device");
    case fs::file_type::block:
        return QStringLiteral("a block device");
    case fs::file_type::socket:
        return QStringLiteral("a socket");
    default:
        return QStringLiteral("a special file");
    }
}

void requireRegularFileToRead(const QString &path)
{
    const QString kind = nonRegularKind(path);
    if (!kind.isEmpty()) {
        throw InputError(QStringLiteral("Cannot read %1: it is %2, not a file")
                             .arg(QDir::toNativeSeparators(path), kind));
    }
}

void requireRegularFileToWrite(const QString &path)
{
    const QString kind = nonRegularKind(path);
    if (!kind.isEmpty()) {
        throw PlatformError(QStringLiteral("Cannot write %1: it is %2, not a file; it is kept")
                                .arg(QDir::toNativeSeparators(path), kind));
    }
}
