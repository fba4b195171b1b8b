#include "tools/progressreporter.h"

#include <QByteArray>

#include <algorithm>

#include <unistd.h>

ProgressReporter::ProgressReporter(const QString &phase, int total, bool quiet, std::FILE *out,
                                   std::FILE *err)
    : m_phase(phase), m_total(total), m_quiet(quiet), m_terminal(isTerminal(out)), m_out(out),
      m_err(err)
{
    m_clock.start();
    if (!m_quiet && !m_terminal) {
        std::fprintf(m_out, "%s: %d images\n", qPrintable(m_phase), m_total);
        std::fflush(m_out);
    }
}

bool ProgressReporter::isTerminal(std::FILE *stream)
{
    return ::isatty(fileno(stream)) == 1;
}

QString ProgressReporter::formatDuration(double seconds)
{
    const qint64 s = qint64(seconds + 0.5);
    if (s >= 3600)
        return QStringLiteral("%1:%2:%3")
            .arg(s / 3600).arg((s / 60) % 60, 2, 10, QLatin1Char('0')).arg(s % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

void ProgressReporter::advance()
{
    ++m_done;
}

void ProgressReporter::problem(const QString &line)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_terminal && !m_quiet && !m_finished) {
        m_held.append(line);
        return;
    }
    std::fprintf(m_err, "%s\n", qPrintable(line));
    std::fflush(m_err);
}

void ProgressReporter::refresh()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    drawLocked(false);
}

void ProgressReporter::finish()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_finished)
        return;
    drawLocked(true);
    m_finished = true;
    for (const QString &line : std::as_const(m_held))
        std::fprintf(m_err, "%s\n", qPrintable(line));
    std::fflush(m_err);
    m_held.clear();
}

void ProgressReporter::clearLocked()
{
    if (m_terminal && m_barWidth > 0) {
        std::fprintf(m_out, "\r%*s\r", m_barWidth, "");
        std::fflush(m_out);
        m_barWidth = 0;
    }
}

void ProgressReporter::drawLocked(bool final)
{
    if (m_quiet)
        return;
    const int done = m_done.load();
    const double elapsed = m_clock.elapsed() / 1000.0;
    const double rate = elapsed > 0 ? done / elapsed : 0.0;
    if (!m_terminal) {
        const int tenth = m_total > 0 ? done * 10 / m_total : 10;
        if (tenth > m_lastTenth) {
            m_lastTenth = tenth;
            QString left;
            if (done > 0 && done < m_total)
                left = QStringLiteral(", %1 left").arg(formatDuration(elapsed * (m_total - done) / done));
            std::fprintf(m_out, "%s: %d/%d images, %s elapsed, %.1f images/s%s\n",
                         qPrintable(m_phase), done, m_total, qPrintable(formatDuration(elapsed)),
                         rate, qPrintable(left));
            std::fflush(m_out);
        }
        return;
    }
    const int width = 30;
    const int filled = m_total > 0 ? done * width / m_total : width;
    QByteArray bar(width, '.');
    for (int i = 0; i < filled; ++i)
        bar[i] = '#';
    QString tail;
    if (final)
        tail = QStringLiteral("done in %1").arg(formatDuration(elapsed));
    else if (done > 0 && done < m_total)
        tail = QStringLiteral("%1 left").arg(formatDuration(elapsed * (m_total - done) / done));
    if (!m_held.isEmpty())
        tail += QStringLiteral(", %1 to report").arg(m_held.size());
    const QString line = QStringLiteral("%1 [%2] %3/%4 %5% %6 images/s %7")
                             .arg(m_phase, QString::fromLatin1(bar))
                             .arg(done).arg(m_total)
                             .arg(m_total > 0 ? done * 100 / m_total : 100)
                             .arg(rate, 0, 'f', 1)
                             .arg(tail);
    const QByteArray text = line.toLocal8Bit();
    std::fprintf(m_out, "\r%-*s", m_barWidth, text.constData());
    m_barWidth = std::max(m_barWidth, int(text.size()));
    if (final) {
        std::fputc('\n', m_out);
        m_barWidth = 0;
    }
    std::fflush(m_out);
}
