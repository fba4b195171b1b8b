#ifndef TABLESTORE_H
#define TABLESTORE_H

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <memory>

class CAData;
class CountTable;
class QThread;

// The analysed table of the analysis last asked about, read once from the
// project's table file (FILE F) and kept while that analysis is shown: the
// Axes dock needs it for the qualities and the group tests, "Images with
// this word" for a word's counts; the map does not. A table can take seconds
// to read, so it is read on a worker thread when asked for with request(),
// and ready() says when it is there.
class TableStore : public QObject
{
    Q_OBJECT

public:
    explicit TableStore(QObject *parent = nullptr);
    ~TableStore() override;

    // The table of `data`, read now on this thread when it is not at hand
    // (a read in progress is waited for); null when the project names none
    // or it cannot be read (why() says which).
    const CountTable *table(CAData *data);
    // Whether table(data) answers at once: read, or known to be missing.
    bool isReady(const CAData *data) const;
    // Starts reading the table of `data` on a worker thread unless it is at
    // hand or being read; true when it is at hand already (ready() is then
    // not emitted).
    bool request(CAData *data);
    bool isReading() const { return bool(m_job); }
    // Share of the rows read, in thousandths, while reading.
    int progress() const;
    QString why() const { return m_why; }

signals:
    // The table of `data` was read, or failed to (table() tells which).
    void ready(const CAData *data);
    // Thousandths of the table read, a few times a second while reading.
    void progressed(int permille);

private:
    struct Job;
    void start(CAData *data);
    void finish(bool queued);
    void reset(CAData *data);

    QPointer<CAData> m_data;
    const CAData *m_for = nullptr;
    bool m_done = false;
    std::unique_ptr<CountTable> m_table;
    QString m_why;
    std::shared_ptr<Job> m_job;
    QPointer<QThread> m_thread;
    QTimer m_ticker;
};

#endif // TABLESTORE_H
