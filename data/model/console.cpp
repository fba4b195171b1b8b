#include "data/model/console.h"

#include <QMutex>
#include <QMutexLocker>

#include <cstdio>

namespace Console {

QString visible(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const QChar::Category k = c.category();
        const bool invisible = k == QChar::Other_Format || k == QChar::Other_Control
            || ((k == QChar::Separator_Space || k == QChar::Separator_Line
                 || k == QChar::Separator_Paragraph) && c != QLatin1Char(' '));
        if (invisible)
            out += QStringLiteral("U+") + QStringLiteral("%1").arg(c.unicode(), 4, 16, QLatin1Char('0')).toUpper();
        else
            out += c;
    }
    return out;
}

namespace {
QMutex mutex;
Capture *capture = nullptr;

// The last error lines and the number of error lines ever written.
constexpr int kKeptErrors = 256;
QStringList recentErrors;
quint64 errorCount = 0;

void keepError(const QString &line)
{
    recentErrors.append(line);
    if (recentErrors.size() > kKeptErrors)
        recentErrors.removeFirst();
    ++errorCount;
}

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
    keepError(line);
    if (capture) {
        capture->m_err << line;
        capture->m_all << QStringLiteral("err: ") + line;
        return;
    }
    write(stderr, line);
}

quint64 errorMark()
{
    QMutexLocker lock(&mutex);
    return errorCount;
}

QStringList errorsSince(quint64 mark, int limit)
{
    QMutexLocker lock(&mutex);
    if (mark >= errorCount || limit <= 0)
        return {};
    const quint64 wanted = qMin<quint64>(errorCount - mark, quint64(limit));
    const qsizetype available = qMin<qsizetype>(qsizetype(wanted), recentErrors.size());
    return recentErrors.mid(recentErrors.size() - available);
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
