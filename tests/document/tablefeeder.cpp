#include "tablefeeder.h"

#include "documentfixture.h"

#include <QFile>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <unistd.h>

TableFeeder::TableFeeder(const QString &fifoPath, int rows, int cols, int gateRows,
                         std::function<bool()> mayGoOn)
    : m_path(fifoPath), m_rows(rows), m_cols(cols), m_gateRows(gateRows),
      m_mayGoOn(std::move(mayGoOn)), m_thread(&TableFeeder::run, this)
{
}

TableFeeder::~TableFeeder()
{
    finish();
}

void TableFeeder::finish()
{
    if (m_thread.joinable())
        m_thread.join();
}

void TableFeeder::waitForGate()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_gate.wait(lock, [this] { return m_atGate; });
}

bool TableFeeder::writeAll(int fd, const QByteArray &bytes)
{
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            m_readerLeft = true; // EPIPE: the reader closed its end
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

void TableFeeder::run()
{
    // Opening for writing waits until the reader opens its end.
    const int fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_CLOEXEC);
    auto openGate = [this] {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_atGate = true;
        m_gate.notify_all();
    };
    if (fd < 0) {
        openGate();
        return;
    }
    bool ok = writeAll(fd, DocumentFixture::tableHeader(m_rows, m_cols));
    for (int r = 0; ok && r < m_rows; ++r) {
        if (r == m_gateRows) {
            openGate();
            while (!m_mayGoOn())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ok = writeAll(fd, DocumentFixture::tableRow(r, m_cols));
        if (ok)
            ++m_rowsWritten;
    }
    openGate();
    ::close(fd);
}
