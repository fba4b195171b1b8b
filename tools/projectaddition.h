#ifndef PROJECTADDITION_H
#define PROJECTADDITION_H

#include "data/formats/projectxml.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class CAData;

// An indexed, solved project that images are added to as supplementary
// images: its project file (kept to be rewritten with the added entries),
// its results, the vocabulary and the record of how its images were
// described, and its earlier supplementary set, which the added images
// extend. Nothing here writes, but for the completion of an addition that
// was interrupted (load with `repaired`).
class ProjectAddition
{
public:
    ProjectAddition();
    ~ProjectAddition();

    // Reads the project and checks that images can be added to it. False
    // with `error` naming the file and the problem. With `repaired`, an
    // earlier addition interrupted in its commit is first completed or
    // rolled back, and `repaired` says which.
    bool load(const QString &projectFile, QString *error, QStringList *repaired = nullptr);

    QString projectFile() const { return m_projectFile; }
    // The project's base folder: where its files are and the added ones go.
    QString folder() const { return m_folder; }
    QString vocabularyPath() const;
    QString optionsPath() const;
    const CAData &data() const { return *m_data; }

    // The image files of the project (canonical paths), analysed and
    // supplementary: adding them again is refused.
    QSet<QString> imageFiles() const;
    // The first free number of the supplementary keypoint files and links.
    int nextFileNumber() const;
    // The project's number for each of the input's categories (`names`,
    // index 0 being the input folder itself, which keeps 0): the
    // project's category of the same name, or a number of its own after
    // every number the project uses. `lines` says which became which.
    // Those of its own are kept, "number name" lines, in addedCategories.
    std::vector<int> categoryNumbers(const QStringList &names, QStringList *lines);
    QByteArray addedCategories;
    // The names of the categories earlier additions brought (FILE
    // CATEGORIESSUP): the project's categories file is never rewritten, so
    // new names go to a file of the supplementary images' own.
    QByteArray earlierCategories;

    // The earlier supplementary set: its rows (the table's text without
    // its header), image-list text and keypoint-file names (empty when it
    // has no list of them), and its skipped list and log.
    int earlierRows() const { return m_earlierRows; }
    QByteArray earlierTableRows, earlierImageList, earlierSkipped, earlierLog;
    QStringList earlierKeypointFiles;
    bool earlierKeypointList = true; // whether that list is known

    // Principal coordinates (rows x zCols of the project, row-major) of
    // the rows of `table`, a table over the project's words, by the
    // transition formula from its words' coordinates and eigenvalues.
    bool place(const QString &table, std::vector<double> &coordinates, int *rows, QString *error) const;

    // The project file with `files` ("KEY", path relative to folder())
    // named in it, the rest as it was.
    QByteArray projectText(const std::vector<std::pair<std::string, std::string>> &files) const;
    // The results the project file does not name but the project was
    // placed by (the solver's files beside its table), to be named.
    std::vector<std::pair<std::string, std::string>> derivedResults;

private:
    bool parseProject(QString *error);
    bool readEarlier(QString *error);

    QString m_projectFile, m_folder;
    std::unique_ptr<CAData> m_data;
    // The project file's own content, to write it again.
    std::string m_base;
    bool m_hasAxes = false;
    int m_axes = 0;
    std::string m_comment;
    std::vector<std::pair<std::string, std::string>> m_files;
    QString m_descriptorSup;
    int m_earlierRows = 0;
};

#endif // PROJECTADDITION_H
