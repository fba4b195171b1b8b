#include "rowgate.h"

#include "document/tableextraction.h"

#include <chrono>
#include <thread>

RowGate::RowGate(int rows, int gateRow, std::function<bool()> mayGoOn)
    : m_rows(rows), m_gateRow(gateRow), m_mayGoOn(std::move(mayGoOn))
{
    TableExtraction::beforeRow = [this](long long row) { atRow(row); };
}

RowGate::~RowGate()
{
    finish();
}

void RowGate::finish()
{
    TableExtraction::beforeRow = nullptr;
}

void RowGate::waitForGate()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_gate.wait(lock, [this] { return m_atGate; });
}

void RowGate::atRow(long long row)
{
    m_reached = int(row) + 1;
    if (row != m_gateRow)
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_atGate = true;
        m_gate.notify_all();
    }
    while (!m_mayGoOn())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}
