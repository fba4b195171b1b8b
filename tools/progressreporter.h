#ifndef PROGRESSREPORTER_H
#define PROGRESSREPORTER_H

#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdio>
#include <mutex>

// Progress of one phase over a known number of items. On a terminal it keeps
// one bar line up to date (counts, percentage, images per second, time
// left) and holds the problems met until the bar is finished, then prints
// them below it, so that neither tears the other; otherwise it writes a
// plain line every tenth of the way and each problem as it comes. Workers
// call advance() and problem() from any thread; the owning thread calls
// refresh() now and then and finish() at the end.
class ProgressReporter
{
public:
    ProgressReporter(const QString &phase, int total, bool quiet, std::FILE *out = stdout,
                     std::FILE *err = stderr);

    void advance();
    // One line on the error stream that does not tear the bar.
    void problem(const QString &line);
    void refresh();
    void finish();

    int done() const { return m_done.load(); }
    static bool isTerminal(std::FILE *stream);
    static QString formatDuration(double seconds);

private:
    void drawLocked(bool final);
    void clearLocked();

    QString m_phase;
    int m_total;
    bool m_quiet;
    bool m_terminal;
    std::FILE *m_out;
    std::FILE *m_err;
    std::atomic<int> m_done{0};
    std::mutex m_mutex;
    QElapsedTimer m_clock;
    int m_lastTenth = 0;
    int m_barWidth = 0; // characters of the bar line now on screen
    QStringList m_held; // problems waiting for the end of the bar
    bool m_finished = false;
};

#endif // PROGRESSREPORTER_H
