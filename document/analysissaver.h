#ifndef ANALYSISSAVER_H
#define ANALYSISSAVER_H

#include <QByteArray>
#include <QString>

class CAData;

// Writes an analysis as a project folder of its own: the table, the
// result files (with their manifest, and the supplementary images' when
// there are any), the image list, the keypoint-file list, the word identities
// and project.xml, which the viewer opens to the same map. Image and keypoint
// files are not copied; their names are rewritten so that they still resolve
// from the new folder.
//
// The folder is written under a temporary name beside its final place and
// renamed when complete, so a failure leaves nothing that looks like a
// saved analysis.
class AnalysisSaver
{
public:
    enum Target {
        NewFolder,    // nothing there, or an empty folder
        SavedAnalysis, // a folder this class wrote before: may be replaced
        Refused       // a file, or a folder holding something else
    };

    static Target check(const QString &folder, QString *why = nullptr);

    // Saves `data` into `folder`. An existing saved analysis there is
    // replaced only when `replace` is true; anything else is never touched.
    // `groups`, when not empty, is written as groups.json beside project.xml
    // (the named groups of the map, read back when the project opens).
    static bool save(const CAData &data, const QString &folder, bool replace, QString *error,
                     const QByteArray &groups = QByteArray());
    // The file of named groups kept beside a project file.
    static QString groupsFile(const QString &projectFile);

    static QString projectFile(const QString &folder);
};

#endif // ANALYSISSAVER_H
