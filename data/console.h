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
