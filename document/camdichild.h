#ifndef CAMDICHILD_H
#define CAMDICHILD_H

#include <QList>
#include <QSplitter>
#include <QString>

class CAData;
class CAView;
class ImageView;
class QProcessThread;
class WordView;

// The window of one analysis: the map beside the word view (above) and the
// image view (below), with their wiring. Owns its data model and its workers.
class CAMdiChild : public QSplitter
{
    Q_OBJECT

public:
    CAMdiChild();
    ~CAMdiChild() override;

    bool loadFile(const QString &fileName);
    bool setData(CAData *newData);
    void setCurrentFile(const QString &fileName);
    QString strippedName(const QString &fullFileName);
    void createCAView();
    void createWordImageView();
    void processSelection();

    WordView *wordView = nullptr;
    CAView *caView = nullptr;
    ImageView *imageView = nullptr;
    CAData *data = nullptr;
    QString curFile;
    QList<QProcessThread *> threads;

signals:
    void contentsChanged(CAData *data);
    void createChildView(CAData *data, CAMdiChild *parent_view);

public slots:
    void finishSelection();
};

#endif // CAMDICHILD_H
