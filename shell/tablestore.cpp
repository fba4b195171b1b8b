#include "shell/tablestore.h"

#include "data/model/cadata.h"
#include "data/formats/counttable.h"

#include <QCoreApplication>
#include <QFile>
#include <QThread>

#include <atomic>

// What the worker reads and hands back; shared, so that a worker whose store
// has gone (or moved on to another analysis) finishes harmlessly.
struct TableStore::Job
{
    const CAData *data = nullptr;
    std::string path;
    std::atomic<long long> done{0};
    std::atomic<long long> total{0};
    std::atomic<bool> cancel{false};
    std::unique_ptr<CountTable> table;
    bool ok = false;
};

TableStore::TableStore(QObject *parent) : QObject(parent)
{
    m_ticker.setInterval(150);
    connect(&m_ticker, &QTimer::timeout, this, [this] { emit progressed(progress()); });
}

TableStore::~TableStore()
{
    if (m_job)
        m_job->cancel = true;
    // The read stops within a few rows of being asked to.
    if (m_thread)
        m_thread->wait();
}

bool TableStore::isReady(const CAData *data) const
{
    return data && data == m_for && m_data && m_done;
}

int TableStore::progress() const
{
    if (!m_job)
        return m_done ? 1000 : 0;
    const long long total = m_job->total;
    return total > 0 ? int(1000 * m_job->done / total) : 0;
}

void TableStore::reset(CAData *data)
{
    if (m_job) {
        // The read of another analysis is no longer wanted.
        m_job->cancel = true;
        m_job.reset();
        m_ticker.stop();
    }
    m_data = data;
    m_for = data;
    m_done = false;
    m_table.reset();
    m_why.clear();
}

void TableStore::start(CAData *data)
{
    reset(data);
    if (data->fileF.isEmpty()) {
        m_why = QCoreApplication::translate("TableStore", "the project names no table (FILE F)");
        m_done = true;
        return;
    }
    auto job = std::make_shared<Job>();
    job->data = data;
    job->path = QFile::encodeName(data->resolve(data->fileF)).toStdString();
    m_job = job;
    QThread *thread = QThread::create([job] {
        auto table = std::make_unique<CountTable>();
        table->progress = [job](long long done, long long total) {
            job->done = done;
            job->total = total;
            return !job->cancel;
        };
        job->ok = table->read(job->path);
        job->table = std::move(table);
    });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    connect(thread, &QThread::finished, this, [this, job] {
        if (job == m_job)
            finish(false);
    });
    m_thread = thread;
    thread->start(QThread::LowPriority);
    m_ticker.start();
}

void TableStore::finish(bool queued)
{
    std::shared_ptr<Job> job = std::move(m_job);
    m_job.reset();
    m_ticker.stop();
    m_done = true;
    CAData *data = m_data;
    if (!data || data != job->data)
        return;
    const QString path = data->resolve(data->fileF);
    if (!job->ok) {
        m_why = QCoreApplication::translate("TableStore", "%1: %2")
                    .arg(path, QString::fromStdString(job->table->error()));
    } else if (job->table->rows() != data->nbImages || job->table->cols() != data->nbWords) {
        m_why = QCoreApplication::translate("TableStore", "%1 is %2 x %3, the results %4 images x %5 words")
                    .arg(path)
                    .arg(job->table->rows())
                    .arg(job->table->cols())
                    .arg(data->nbImages)
                    .arg(data->nbWords);
    } else {
        m_table = std::move(job->table);
        m_table->progress = nullptr;
    }
    if (!queued) {
        emit ready(data);
        return;
    }
    // Waited for by a caller of table(): those waiting for ready() hear of
    // it once that caller is done with it.
    QTimer::singleShot(0, this, [this, guard = QPointer<CAData>(data)] {
        if (guard && isReady(guard))
            emit ready(guard);
    });
}

bool TableStore::request(CAData *data)
{
    if (!data)
        return true;
    if (isReady(data))
        return true;
    if (m_job && m_for == data && m_data)
        return false;
    start(data);
    if (m_done)
        return true;
    return false;
}

const CountTable *TableStore::table(CAData *data)
{
    if (!data)
        return nullptr;
    if (!isReady(data)) {
        if (!(m_job && m_for == data && m_data))
            start(data);
        if (m_job) {
            if (m_thread)
                m_thread->wait();
            finish(true);
        }
    }
    return m_table.get();
}
