#include "data/console.h"

#include <QMutex>
#include <QMutexLocker>

#include <cstdio>

namespace Console {

namespace {
QMutex mutex;
Capture *capture = nullptr;

void write(FILE *stream, const QString &line)
{
    const QByteArray bytes = line.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}
} // namespace

void out(const QString &line)
{
    QMutexLocker lock(&mutex);
    if (capture) {
        capture->m_out << line;
        capture->m_all << line;
        return;
    }
    write(stdout, line);
}

void err(const QString &line)
{
    QMutexLocker lock(&mutex);
    if (capture) {
        capture->m_err << line;
        capture->m_all << QStringLiteral("err: ") + line;
        return;
    }
    write(stderr, line);
}

Capture::Capture()
{
    QMutexLocker lock(&mutex);
    m_previous = capture;
    capture = this;
}

Capture::~Capture()
{
    QMutexLocker lock(&mutex);
    capture = m_previous;
}

QStringList Capture::out() const
{
    QMutexLocker lock(&mutex);
    return m_out;
}

QStringList Capture::err() const
{
    QMutexLocker lock(&mutex);
    return m_err;
}

QStringList Capture::all() const
{
    QMutexLocker lock(&mutex);
    return m_all;
}

void Capture::clear()
{
    QMutexLocker lock(&mutex);
    m_out.clear();
    m_err.clear();
    m_all.clear();
}

} // namespace Console
