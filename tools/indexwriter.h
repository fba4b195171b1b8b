#ifndef INDEXWRITER_H
#define INDEXWRITER_H

#include "data/model/sift.h"
#include "tools/indexoptions.h"

#include <QString>
#include <QStringList>
#include <QLockFile>
#include <QTemporaryDir>

#include <memory>
#include <vector>

class Vocabulary;

// Writes the files of an index into a hidden staging folder inside the output
// folder and moves them into place only when everything was written, the
// project file last. A run that fails before commit() leaves the output
// folder as it was; the staging folder is removed with the writer.
class IndexWriter
{
public:
    static const QString projectName;    // project.xml
    static const QString tableName;      // table.txt
    static const QString imageListName;  // images.txt
    static const QString keypointListName; // keypoints.txt
    static const QString vocabularyName; // vocabulary.txt
    static const QString keypointFolder; // keypoints
    static const QString linkFolder;     // linked: blank-free names for images
    static const QString categoriesName; // categories.txt: "number name" lines
    static const QString skippedName;    // skipped.txt: images not in the table, with why
    static const QString duplicatesName; // duplicates.txt: groups of identical files
    static const QString logName;        // index.log: every message of the run
    static const QString atlasName;      // words.atlas: what each word looks like
    static const QString spillFolder;    // descriptors waiting for their words
    // How the images were described (index-options.txt): what adding images
    // to the index later must repeat.
    static const QString optionsName;
    // Supplementary images: placed on the axes without taking part in them.
    static const QString supTableName;        // table-sup.txt: their rows (FSUP)
    static const QString supImageListName;    // images-sup.txt (LABELSUP)
    static const QString supKeypointListName; // keypoints-sup.txt
    static const QString supKeypointFolder;   // keypoints-sup
    static const QString supLinkFolder;       // linked-sup: blank-free names of added images
    static const QString supSkippedName;      // skipped-sup.txt: images not added, with why
    static const QString supLogName;          // index-sup.log: the messages of every addition
    static const QString supCategoriesName;   // categories-sup.txt: names of categories only they have
    // Suffixes the solver appends to the table's path.
    static const QStringList resultSuffixes;
    // FILE names in the project for those results, in the same order.
    static const QStringList resultKeys;
    // Result files a solver may write besides (the set's manifest, the
    // supplementary rows), moved with the others when they are there.
    static const QStringList optionalResultSuffixes;

    IndexWriter();
    ~IndexWriter();

    // Creates the output folder if needed and the staging folder in it,
    // locked for as long as this writer lives (the lock dies with the
    // process). An existing folder is refused when it holds files an index
    // would replace but no project written by this indexer: they are the
    // user's. Staging folders whose owner is gone (a killed or crashed run)
    // are removed first; `removed` receives their paths.
    // With `adding`, the folder is an existing project's, which the writer
    // adds supplementary images to (commitSupplement) and never replaces.
    bool begin(const QString &outputFolder, QString *error, QStringList *removed = nullptr,
               bool adding = false);

    // What a failed write in `folder` means: the disk is full, or `reason`
    // (the system's word for it when Qt has none).
    static QString writeFailure(const QString &folder, const QString &reason);

    // Whether `folder` holds an index written by this indexer (its
    // project.xml names the indexer's table and keypoint list).
    static bool isIndexFolder(const QString &folder);
    // The names in `folder` that writing an index there would replace or
    // remove.
    static QStringList indexNamesIn(const QString &folder);

    // Writes into a staging folder another writer began (a process of an
    // MPI job writing its images' files); it never commits nor removes it.
    void join(const QString &outputFolder, const QString &stagingFolder);

    QString outputFolder() const { return m_output; }
    QString stagingFolder() const;
    QString stagingPath(const QString &name) const;
    // Name of image i's keypoint file in the lists ("keypoints/000042.sift").
    static QString keypointFileName(int image);
    // The same for supplementary image file number n ("keypoints-sup/000042.sift").
    static QString supKeypointFileName(int n);
    // Coordinates of the supplementary rows the indexer placed itself
    // (table-sup.txt_ZSup.txt, in Z's format).
    static QString supCoordinatesName();

    // Makes a blank-free name for an image whose path has blanks, which the
    // image list cannot hold: a symbolic link "linked/000042-name.png" to it.
    bool linkImage(int image, const QString &target, QString *listName, QString *error);

    // Thread-safe for distinct images.
    bool writeKeypoints(int image, const std::vector<Sift> &keypoints, QString *error);
    // The same under a keypoint-file name (keypointFileName, supKeypointFileName).
    bool writeKeypointFile(const QString &name, const std::vector<Sift> &keypoints, QString *error);
    // Row-major counts, rows x cols, as "rows cols" and one line per image,
    // each count written as `mode` says.
    bool writeTable(const std::vector<int> &counts, int rows, int cols, TableCounts mode,
                    QString *error);
    // The text of such a table's rows, without the header.
    static QByteArray tableRows(const std::vector<int> &counts, int rows, int cols, TableCounts mode);
    // One "category name" line per image.
    bool writeImageList(const std::vector<int> &categories, const QStringList &names,
                        QString *error);
    // The count, then one keypoint-file name per line.
    bool writeKeypointList(const QStringList &keypointFiles, QString *error);
    bool writeVocabulary(const Vocabulary &vocabulary, QString *error);
    bool writeColourVocabulary(const Vocabulary &vocabulary, QString *error);
    // Any of the text files of the index by name (categories, skipped
    // list, duplicates, log).
    bool writeFile(const QString &name, const QByteArray &text, QString *error);

    // The project naming the table, the lists and the axis count, plus the
    // solver's results when `withResults`.
    // The category names, when the index has them, as a further FILE
    // entry (readers that do not know it pass it over).
    // The result set's manifest, when the solver wrote one, as FILE INERTIA.
    // The word atlas, when one was written, as FILE WORDATLAS.
    static QByteArray projectXml(int axes, bool withResults, bool withCategories = false,
                                 bool withManifest = false, bool withAtlas = false);
    // What the project names besides: the supplementary images (FSUP,
    // LABELSUP, their keypoint list DESCRIPTORSUP, and with the results the
    // solver's coordinates of them, ZSUP, when it wrote them).
    static QByteArray projectXml(int axes, bool withResults, bool withCategories, bool withManifest,
                                 bool withAtlas, bool withSupplementary, bool withSupCoordinates);
    // The colour words' vocabulary beside a vocabulary file.
    static QString colourVocabularyPath(const QString &vocabularyPath);

    // Moves the staged files into the output folder, replacing an earlier
    // index there (and removing results that no longer belong to the table),
    // then writes the project file.
    bool commit(int axes, bool withResults, QString *error);

    // Adding images to an existing project: moves the staged supplementary
    // files into place (the table, lists and coordinates replace the
    // earlier ones, which they extend; the new keypoint files join the
    // earlier ones), then replaces `projectFile` by `projectText`, atomically.
    // No other file of the project is touched.
    bool commitSupplement(const QString &projectFile, const QByteArray &projectText, QString *error);

    // Removes the staging folder now (an interrupted run).
    void abandon();

private:
    bool writeText(const QString &name, const QByteArray &text, QString *error);

    QString m_output;
    std::unique_ptr<QTemporaryDir> m_staging;
    std::unique_ptr<QLockFile> m_lock;
    QString m_joined; // the staging folder of another writer
    bool m_adding = false; // adding to an existing project
};

#endif // INDEXWRITER_H
