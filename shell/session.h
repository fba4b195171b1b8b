#ifndef SESSION_H
#define SESSION_H

#include "map/mapstate.h"

#include <QByteArray>
#include <QList>
#include <QRect>
#include <QString>

// A working session as a small, versioned JSON file: the main window's
// geometry and every document window with its project (or, for an extracted
// view never saved, its name only, so that it can be reported as missing),
// its frame, its pane sizes and its map state. Project paths are kept
// relative to the session file, and absolute as a fallback, so that a
// session moved together with its projects still opens.
struct Session
{
    static constexpr int Version = 1;

    struct Window
    {
        QString project;   // absolute path of the project file; empty when unsaved
        QString name;      // title name (extracted view's name when unsaved)
        QRect geometry;    // frame geometry inside the workspace
        bool maximized = false;
        bool minimized = false;
        bool active = false;
        QByteArray panes;  // QSplitter state of the document window
        QByteArray column; // QSplitter state of its detail-pane column
        MapState map;
        // Images located elsewhere than the project says: from, to.
        QString imagesFrom;
        QString imagesTo;
    };

    QByteArray mainGeometry;
    QList<Window> windows;

    QByteArray toJson(const QString &sessionPath) const;
    static bool fromJson(const QByteArray &json, const QString &sessionPath, Session &out,
                         QString *error);
};

#endif // SESSION_H
