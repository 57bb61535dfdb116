#include "support/full_disk.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

FullDisk::FullDisk()
{
    if (::geteuid() != 0) {
        m_whyNot = QStringLiteral("mounting a small tmpfs needs root");
        return;
    }
    // Mounts made from here on stay in this process.
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        m_whyNot = QStringLiteral("no mount namespace of its own: %1").arg(qt_error_string(errno));
        return;
    }
    if (::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0,
                "size=16k,mode=0777") != 0) {
        m_whyNot = QStringLiteral("cannot mount a tmpfs: %1").arg(qt_error_string(errno));
    }
}

FullDisk::~FullDisk()
{
    if (isReady())
        ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
}

void FullDisk::fill()
{
    const int fd = ::open(QFile::encodeName(filePath(QStringLiteral("filler"))).constData(),
                          O_WRONLY | O_CREAT | O_APPEND, 0600);
    const char block[512] = {};
    while (fd >= 0 && ::write(fd, block, sizeof block) > 0) {
    }
    while (fd >= 0 && ::write(fd, block, 1) > 0) {
    }
    if (fd >= 0)
        ::close(fd);
}

FileSizeLimit::FileSizeLimit(qint64 limit)
{
    // Past the limit a write fails with EFBIG instead of the process being stopped.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit r{};
    ::getrlimit(RLIMIT_FSIZE, &r);
    m_soft = static_cast<qint64>(r.rlim_cur);
    r.rlim_cur = static_cast<rlim_t>(limit);
    ::setrlimit(RLIMIT_FSIZE, &r);
}

FileSizeLimit::~FileSizeLimit()
{
    rlimit r{};
    ::getrlimit(RLIMIT_FSIZE, &r);
    r.rlim_cur = static_cast<rlim_t>(m_soft);
    ::setrlimit(RLIMIT_FSIZE, &r);
}
