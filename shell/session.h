#ifndef SESSION_H
#define SESSION_H

#include "map/mapstate.h"

#include <QByteArray>
#include <QList>
#include <QRect>
#include <QString>
#include <QVector>

// A working session as a small, versioned JSON file: the main window's
// geometry and the layout of its docks, the Axes dock's page, and every
// document window with its project (or, for an extracted view never saved,
// its name only, so that it can be reported as missing), its frame, its pane
// sizes, its map state, its labels and the groups kept as A and B for the
// group test. Project paths are kept
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
        // View > Labels: which points carry labels and what they say; -1
        // when not kept (a session of an earlier version).
        int labelSources = -1;
        int labelColumn = -1;
        // The groups kept as A and B for the group test: their names as
        // the dock gives them and their images (rows of the analysis).
        QString keptName[2];
        QVector<int> kept[2];
    };

    QByteArray mainGeometry;
    // QMainWindow::saveState(): which docks are open, where and how large.
    QByteArray mainState;
    // The Axes dock's page and how many points it lists per pole; -1 when
    // not kept.
    int axesPage = -1;
    int axesTop = -1;
    QList<Window> windows;

    QByteArray toJson(const QString &sessionPath) const;
    static bool fromJson(const QByteArray &json, const QString &sessionPath, Session &out,
                         QString *error);
};

#endif // SESSION_H
