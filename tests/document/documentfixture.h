#ifndef DOCUMENTFIXTURE_H
#define DOCUMENTFIXTURE_H

#include <QString>

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
        // When set, the project names a categories file by this name (the
        // file itself is left to the test).
        QString categoriesName;
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
};

#endif // DOCUMENTFIXTURE_H
