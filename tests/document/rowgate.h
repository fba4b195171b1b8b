#ifndef ROWGATE_H
#define ROWGATE_H

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>

// Holds an extraction at a known point: when the worker is about to read
// row `gateRow` of the source table, it waits there until `mayGoOn` (called
// on the worker's thread) answers true. One gate at a time; it is removed
// by finish() or the destructor.
class RowGate
{
public:
    RowGate(int rows, int gateRow, std::function<bool()> mayGoOn);
    ~RowGate();

    // Blocks until the worker has reached the gate.
    void waitForGate();
    // Removes the gate (the worker must be done with the table).
    void finish();

    // Rows of the table the worker reached, and whether it left before the
    // last one.
    int rowsReached() const { return m_reached.load(); }
    bool stoppedEarly() const { return m_reached.load() < m_rows; }

private:
    void atRow(long long row);

    int m_rows;
    int m_gateRow;
    std::function<bool()> m_mayGoOn;
    std::atomic<int> m_reached{0};
    std::mutex m_mutex;
    std::condition_variable m_gate;
    bool m_atGate = false;
};

#endif // ROWGATE_H
