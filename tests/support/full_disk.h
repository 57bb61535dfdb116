#pragma once

#include <QString>
#include <QTemporaryDir>

// A folder on a file system with no room left: a 16 KiB tmpfs, mounted in a mount namespace of
// the test process's own so that nothing outside the test sees it. It needs root (as CI runs);
// elsewhere it is not ready and says why, for QSKIP.
class FullDisk
{
public:
    FullDisk();
    ~FullDisk();
    FullDisk(const FullDisk &) = delete;
    FullDisk &operator=(const FullDisk &) = delete;

    bool isReady() const { return m_whyNot.isEmpty(); }
    const QString &whyNot() const { return m_whyNot; }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

    // Takes the last byte of room, after the test has put its files there.
    void fill();

private:
    QTemporaryDir m_dir;
    QString m_whyNot;
};

// While it lives, the process may write no file beyond limit bytes (RLIMIT_FSIZE): a write
// failure the kernel gives any user, for a test that cannot have a full disk.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(qint64 limit);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    qint64 m_soft = -1;
};
