#pragma once

#include <QtGlobal>

// While it lives, the process may write no file beyond limit bytes (RLIMIT_FSIZE): a write that
// fails in the kernel as on a full disk, for any user and without a disk to fill.
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
