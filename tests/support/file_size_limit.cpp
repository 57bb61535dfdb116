#include "support/file_size_limit.h"

#include <csignal>

#include <sys/resource.h>

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
