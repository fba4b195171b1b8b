#ifndef CADATA_H
#define CADATA_H

#include "data/model/imagelabel.h"
#include "data/model/sift.h"

#include <QImage>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPixmap>
#include <QSet>
#include <QString>

#include <limits>
#include <memory>
#include <vector>

// One Correspondence Analysis result set of an image collection: the images
// are the rows of the analysed table, the visual words its columns. Filled by
// the project parser (paths) and read(); read-only afterwards, so the views
// read its public members directly and without locking.
class CAData : public QObject
{
    Q_OBJECT

public:
    explicit CAData(bool identityLabels);
    ~CAData() override;

    // Loads the result files (running the solver first when they are not
    // named), the image list and the keypoint-file list. Reports every failure
    // on the console and returns false.
    bool read();

    // Word identities: the word's number in the vocabulary of the project
    // this analysis comes from.
    int wordLabel(int word) const;
    void setWordLabel(int count, const int *values);

    // Appends the keypoints of `image` whose word is in `words` (or in
    // wordSet when `words` is null). Reads the keypoint file on every call.
    void getSifts(int image, QList<Sift> &out, const QSet<int> *words) const;
    // Every keypoint of `image`, whatever its word.
    void getAllSifts(int image, QList<Sift> &out) const;

    QString getImageName(int image) const;
    // The image's number in the whole collection: its row in the analysis
    // an extracted view was cut from (followed back to the first one), so a
    // number read in one window means the same image in every other.
    int collectionNumber(int image) const;
    // Per image, its collection number; empty when the rows are the
    // collection's own (a project's analysis).
    std::vector<qint32> collectionNumbers;
    // Where a saved extract keeps them (project FILE COLLECTION, optional):
    // the image count, then one number per image.
    QString fileCollection;
    // The name of `category` from the categories file, else "#N".
    QString categoryName(int category) const;
    QImage getImage(int image) const;
    QPixmap getPixmap(int image) const;
    double distance(int a, int b) const;

    // Runs the external solver on `table` asking for k axes and waits for it.
    // When the solver cannot be started, crashes or fails, `reason` (if
    // given) receives the last line of its error output or what happened.
    // With `supplementary` (a table over the same columns), its rows are
    // placed on the axes too, written beside the results as _ZSup.txt.
    static void launchCA(const QString &table, int k, QString *reason = nullptr,
                         const QString &supplementary = QString());

    // Path of `file` resolved against baseDir (absolute paths unchanged).
    QString resolve(const QString &file) const;

    QString baseDir;
    QString fileF;
    QString fileZ;
    QString fileW;
    QString fileLambda;
    QString fileP;
    QString fileQ;
    QString fileLabel;
    QString fileDescriptor;
    // Optional "number name" list naming the categories of the image list.
    QString categoriesPath;
    QMap<int, QString> categoryNames;
    // Optional "number name" list naming the categories that only the
    // supplementary images have (project FILE CATEGORIESSUP): images added
    // from folders the project has no category for. Its names join
    // categoryNames, so that the project's own categories file stays as it was.
    QString fileCategoriesSup;
    // The names it gave (those the project's file does not), kept apart so
    // that a saved or extracted analysis names them the same way.
    QMap<int, QString> supCategoryNames;
    // Word identities (project FILE WORDS): a count, then the vocabulary
    // number of each word. Saved extracted analyses name one, so that their
    // words keep the identities of the project they come from.
    QString fileWordLabel;
    // Optional picture of each visual word (project FILE WORDATLAS, read by
    // WordAtlas when a word is shown).
    QString fileWordAtlas;
    // Where the word atlas is: FILE WORDATLAS resolved, or else
    // "words.atlas" in the base folder (where one is built for a project
    // that names none, leaving its project file untouched).
    QString wordAtlasPath() const;
    // That path when the atlas is there (named, or found beside the
    // project); empty when the analysis has none.
    QString existingWordAtlas() const;
    qint32 nbImages = 0;
    qint32 zCols = 0;
    qint32 nbWords = 0;
    qint32 wCols = 0;
    qint32 nbAxis = 0;
    std::unique_ptr<double[]> Z;
    std::unique_ptr<double[]> W;
    std::unique_ptr<double[]> P;
    std::unique_ptr<double[]> Q;
    std::unique_ptr<double[]> lambda;
    std::unique_ptr<ImageLabel[]> labels;
    std::unique_ptr<QString[]> descriptors;
    std::unique_ptr<qint32[]> wordLabels;
    QSet<int> wordSet;
    bool identityLabels;
    // Number of values in `lambda` (as given by the eigenvalue file).
    qint32 nbLambda = 0;
    // The result set's manifest (project FILE INERTIA; otherwise looked for
    // beside Z, named like it with "_Inertia.txt"). Optional: older result
    // sets have none.
    QString fileInertia;
    // Total inertia of the analysed table, the sum of the inertias of all
    // its axes (of which `lambda` holds the first nbLambda): from the
    // manifest, or for an older set from its table when that is named and
    // at most kInertiaTableBytes; NaN when unknown.
    double totalInertia = std::numeric_limits<double>::quiet_NaN();
    // The stamp of the solver run that wrote the result set; empty when
    // unknown.
    QString runStamp;
    // Supplementary images (project FILE ZSUP, optional): placed on the axes
    // by the transition formula without taking part in them. `ZSup` holds
    // nbSupImages x supCols coordinates in Z's convention; `supLabels` their
    // image list (FILE LABELSUP) when named, `fileFSup` their table (FILE
    // FSUP) when named.
    QString fileZSup;
    QString fileFSup;
    QString fileLabelSup;
    qint32 nbSupImages = 0;
    qint32 supCols = 0;
    std::unique_ptr<double[]> ZSup;
    std::unique_ptr<ImageLabel[]> supLabels;
    // Their keypoint-file list (FILE DESCRIPTORSUP, optional; as DESCRIPTOR's
    // list, one file per supplementary image). A list that cannot be used is
    // reported and the supplementary images are shown without keypoints.
    QString fileDescriptorSup;
    std::unique_ptr<QString[]> supDescriptors;
    // The keypoint file of image i in the panes' numbering (supplementary
    // images after the others), as the list names it; empty without one.
    QString keypointFile(int image) const;
    // Whether any image of the analysis has a keypoint file to draw from.
    bool hasKeypoints() const { return descriptors || supDescriptors; }
    // Whether supplementary image s has usable coordinates on every axis
    // (all are when the loader found nothing to refuse).
    bool drawableSup(int s) const;
    // The images of the analysis followed by its supplementary images: the
    // panes and the hover number supplementary image s as nbImages + s.
    int imageCount() const { return nbImages + nbSupImages; }
    bool isSupplementary(int image) const { return image >= nbImages; }
    // The image list entry of image i in that numbering; null without one.
    const ImageLabel *imageLabel(int image) const;
    // Values of the result files that cannot be drawn or used (not finite,
    // out of range, masses or eigenvalues at or below zero), per file as
    // reported on loading; images whose coordinates on the first two axes
    // are all usable are drawable(i).
    qint64 unusableValues = 0;
    bool drawable(int image) const;
    bool drawableWord(int word) const;
    // Why the solver run by read() failed, as it said it; empty otherwise.
    QString solverError;

    // Temporary folder holding an extracted analysis's table and the solver's
    // results; removed with the model. Empty for every other analysis.
    QString scratchDir;
    // An analysis made by setting images of another aside: how many were
    // taken and a line naming them (their categories); 0 and empty otherwise.
    int setAsideImages = 0;
    QString setAsideSummary;

    static QString casolver;

private:
    bool readFiles();
    bool readMatrix(QString &file, const char *title, qint32 &rows, qint32 &cols,
                    std::unique_ptr<double[]> &values);
    bool readVector(const QString &path, const char *what, qint32 expected,
                    const char *mismatch, std::unique_ptr<double[]> &values,
                    qint32 *count);
    bool readLabels();
    bool readManifest();
    // Per image and per word, 1 when usable; empty when all are.
    std::vector<quint8> imageUsable;
    std::vector<quint8> wordUsable;
    std::vector<quint8> supUsable;
    bool readSupplementary();
    // Without the total inertia in the result set, works it out from the
    // table when it is at hand and is the one analysed.
    void totalFromTable();
    // Largest table text whose total inertia is worked out when the result
    // set does not give it (the work is done while the project opens).
    static constexpr qint64 kInertiaTableBytes = 64 * 1024 * 1024;
    void checkValues();
    void readCategoryNames();
    void readCategoryFile(const QString &path, QMap<int, QString> &names);
    void getSifts(int image, QList<Sift> &out, const QSet<int> *words, bool all) const;
    bool readDescriptors();
    void readSupDescriptors();
    bool readWordLabels();
    // Optional: a list that cannot be used is reported, and the images are
    // then numbered as the rows of this analysis.
    void readCollectionNumbers();
};

#endif // CADATA_H
