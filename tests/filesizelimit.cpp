#include "filesizelimit.h"

#include <csignal>

FileSizeLimit::FileSizeLimit(rlim_t bytes)
{
    // The signal would end the process; ignored, the write fails instead.
    m_handler = std::signal(SIGXFSZ, SIG_IGN);
    if (getrlimit(RLIMIT_FSIZE, &m_old) != 0)
        return;
    rlimit limit = m_old;
    limit.rlim_cur = bytes;
    m_set = setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

FileSizeLimit::~FileSizeLimit()
{
    if (m_set)
        setrlimit(RLIMIT_FSIZE, &m_old);
    std::signal(SIGXFSZ, m_handler);
}
