#ifndef CONSOLE_H
#define CONSOLE_H

#include <QString>
#include <QStringList>

// Console diagnostics: fixed lines on standard output (progress) and standard
// error (refusals and errors), each ended and flushed at once. Safe to call
// from worker threads.
namespace Console {

void out(const QString &line);
void err(const QString &line);

// `text` as it may be quoted in a line: characters that print as nothing or
// as something else (a byte-order mark, zero-width and no-break spaces,
// control characters) written as U+XXXX, so that a quote never looks like
// what it is not.
QString visible(const QString &text);

// The error lines written from any thread are also kept (the last few
// hundred), so that a message box can show the reason the console gave:
// take a mark before the work, and ask for the lines written since.
quint64 errorMark();
// The error lines written since `mark`, the last `limit` of them at most.
QStringList errorsSince(quint64 mark, int limit = 12);

// While a Capture is alive, lines are collected in it instead of being
// written (tests check the exact lines and their order).
class Capture
{
public:
    Capture();
    ~Capture();
    Capture(const Capture &) = delete;
    Capture &operator=(const Capture &) = delete;

    QStringList out() const;
    QStringList err() const;
    // Both streams interleaved in writing order, err lines prefixed "err: ".
    QStringList all() const;
    void clear();

private:
    friend void Console::out(const QString &);
    friend void Console::err(const QString &);
    QStringList m_out, m_err, m_all;
    Capture *m_previous;
};

} // namespace Console

#endif // CONSOLE_H
