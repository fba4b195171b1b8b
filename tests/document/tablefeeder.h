#ifndef TABLEFEEDER_H
#define TABLEFEEDER_H

#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// Feeds a generated contingency table through a named pipe from a thread of
// its own, so a test can hold an extraction at a known point: it writes the
// header and the first `gateRows` rows, then waits until `mayGoOn` answers
// true before it writes the rest. It stops early when the reader goes away.
class TableFeeder
{
public:
    TableFeeder(const QString &fifoPath, int rows, int cols, int gateRows,
                std::function<bool()> mayGoOn);
    ~TableFeeder();

    // Blocks until the reader has opened the pipe and the gate rows are written.
    void waitForGate();
    // Blocks until the feeder has stopped.
    void finish();

    int rowsWritten() const { return m_rowsWritten.load(); }
    bool readerLeft() const { return m_readerLeft.load(); }

private:
    void run();
    bool writeAll(int fd, const QByteArray &bytes);

    QString m_path;
    int m_rows;
    int m_cols;
    int m_gateRows;
    std::function<bool()> m_mayGoOn;
    std::atomic<int> m_rowsWritten{0};
    std::atomic<bool> m_readerLeft{false};
    std::mutex m_mutex;
    std::condition_variable m_gate;
    bool m_atGate = false;
    std::thread m_thread;
};

#endif // TABLEFEEDER_H
