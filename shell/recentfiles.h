#ifndef RECENTFILES_H
#define RECENTFILES_H

#include <QObject>
#include <QString>
#include <QStringList>

// The projects opened last, most recent first, and the folder the Open
// dialog starts in; kept in the user's settings between runs.
class RecentFiles : public QObject
{
    Q_OBJECT

public:
    static constexpr int kMaxFiles = 8;

    explicit RecentFiles(QObject *parent = nullptr);

    QStringList files() const;
    // Puts `path` (made absolute) first, without duplicates, keeping at most
    // kMaxFiles; its folder becomes the last folder.
    void add(const QString &path);
    void remove(const QString &path);
    // The folder of the last project opened, or the home folder.
    QString lastFolder() const;

signals:
    void changed();

private:
    void store(const QStringList &files);
};

#endif // RECENTFILES_H
