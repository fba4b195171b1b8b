#ifndef FILESIZELIMIT_H
#define FILESIZELIMIT_H

#include <sys/resource.h>

// While alive, no file may grow beyond `bytes`: writes past it fail with
// EFBIG, the way they fail with ENOSPC on a full disk, whoever runs the test.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

    bool isSet() const { return m_set; }

private:
    rlimit m_old{};
    void (*m_handler)(int) = nullptr;
    bool m_set = false;
};

#endif // FILESIZELIMIT_H
