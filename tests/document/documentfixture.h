#ifndef DOCUMENTFIXTURE_H
#define DOCUMENTFIXTURE_H

#include <QString>
#include <QStringList>
#include <QVector>

// Small analyses on disk for the document window tests: a contingency table,
// result files that need no solver, an image list, a keypoint-file list and
// the project file naming them, plus a stand-in solver script.
class DocumentFixture
{
public:
    struct Options
    {
        int images = 60;
        int words = 60;
        int axes = 3;
        bool withTable = true;
        // Name of the table in the project; written with `tableText` when
        // that is set, with the generated table otherwise.
        QString tableName = QStringLiteral("table.txt");
        QString tableText;
        bool writeTable = true;
        // When set, the project names a categories file by this name,
        // written with `categoriesText` when that is not null (else left to
        // the test).
        QString categoriesName;
        QByteArray categoriesText;
    };

    // Writes the analysis into `dir` and returns the project file's path.
    static QString writeProject(const QString &dir, const Options &options);

    // The value of the generated table at (row, col), and how the extracted
    // table must write it.
    static double cell(int row, int col);
    static QString cellText(int row, int col);

    static QString imageFile(int image);
    static QString keypointFile(int image);
    static int category(int image);

    // Header and rows of the generated table, as text.
    static QByteArray tableHeader(int rows, int cols);
    static QByteArray tableRow(int row, int cols);

    // A solver stand-in: reads the table header and writes the five result
    // files of a tiny valid analysis beside the table. Returns its path.
    static QString writeFakeSolver(const QString &dir);

    static bool writeFile(const QString &path, const QByteArray &content);

    // The selection the extraction tests make: images and words in no
    // particular order, the last of each included.
    static const QVector<int> &selectedImages();
    static const QVector<int> &selectedWords();

    // Makes `dir`/tmp the temporary folder of this process (where extracted
    // views keep their files) and installs the stand-in solver in `dir`.
    // Returns the temporary folder.
    static QString useScratchFolders(const QString &dir);

    // Everything below `dir` (hidden and special files too), relative to it
    // and sorted: what a test expects to find there, or to find gone.
    static QStringList entries(const QString &dir);
};

#endif // DOCUMENTFIXTURE_H
