#ifndef PROBLEMLIST_H
#define PROBLEMLIST_H

#include <QString>
#include <QStringList>

class QWidget;

// A list of problems of any length, shown in a message box that fits the
// screen: the first few lines in the text, the rest counted ("19,998 more"),
// and the list in the box's scrollable details. The details are bounded too,
// so a list of hundreds of thousands of lines neither freezes the interface
// while it is laid out nor takes its memory.
class ProblemList
{
public:
    // Lines shown in the text itself, and at most in the details.
    static constexpr int ShownLines = 2;
    static constexpr int DetailedLines = 2000;

    struct Text
    {
        QString text;
        QString details; // empty when the text holds every line
    };

    static Text summarise(const QString &heading, const QStringList &lines);
    // A warning box titled "Ortelis" with one OK button.
    static void warn(QWidget *parent, const QString &heading, const QStringList &lines);
    // A count with its thousands grouped, as people read it ("19,998").
    static QString count(qint64 n);
};

#endif // PROBLEMLIST_H
