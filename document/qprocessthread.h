#ifndef QPROCESSTHREAD_H
#define QPROCESSTHREAD_H

#include "data/model/imagelabel.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QVector>

class CAMdiChild;

// Worker that extracts one accepted selection of a document window.
class QProcessThread : public QThread
{
    Q_OBJECT

public:
    // Everything the extraction needs, copied in the GUI thread when the
    // selection is accepted: a selection drawn later, or a new model in the
    // window, cannot change an extraction under way.
    struct Selection
    {
        QVector<int> images;       // rows of the source table, in order
        QVector<int> words;        // columns of the source table, in order
        QString table;             // absolute path of the source table
        QString baseDir;
        int nbAxis = 0;
        QVector<int> wordLabels;   // entry l: label of words[l]
        bool hasLabels = false;
        QVector<ImageLabel> labels;   // entry k: the entry of images[k]
        QString categoriesPath;
        QMap<int, QString> categoryNames;
        QMap<int, QString> supCategoryNames; // those of categoryNames only supplementary images have
        bool hasDescriptors = false;
        QStringList descriptors;      // entry k: the entry of images[k]
        // Setting images aside: the last `setAside` entries of `images` are
        // written as supplementary rows instead of analysed ones.
        int setAside = 0;
        QString setAsideSummary;     // what was taken, for the new window
        // Setting aside in an analysis with supplementary images of its own:
        // their table (absolute, over the source table's columns) and its row
        // count. They stay supplementary in the new analysis, after the images
        // set aside; their entries follow those of `images` in `labels` and
        // `descriptors` (an empty keypoint-file name when they have none).
        QString supTable;
        int supRows = 0;
        QVector<int> collectionNumbers; // entry k: collection number of images[k]
        // The source's word atlas (absolute), empty when it has none: the
        // words keep their vocabulary numbers, so their pictures too.
        QString wordAtlas;
    };

    QProcessThread(CAMdiChild *parentView, const Selection &selection);
    ~QProcessThread() override;

    CAMdiChild *parentView;
    const Selection selection;

signals:
    // Emitted from the worker thread when the extraction stops on an error;
    // `message` names the file and the problem.
    void extractionFailed(const QString &message);

protected:
    void run() override;
};

#endif // QPROCESSTHREAD_H
