#ifndef MODELSINK_H
#define MODELSINK_H

#include <QList>
#include <QObject>

class CAData;
class CAMdiChild;

// Stands where the main window stands for the document windows under test:
// it receives createChildView in the GUI thread (queued from the worker) and
// keeps the extracted models until the test takes them.
class ModelSink : public QObject
{
    Q_OBJECT

public:
    ~ModelSink() override;

    // Connects `child`'s createChildView to this sink.
    void watch(CAMdiChild *child);
    // Hands over the oldest model received (the caller owns it), or null.
    CAData *take();

    QList<CAData *> models;
    QList<CAMdiChild *> parents;

public slots:
    void createChildView(CAData *data, CAMdiChild *parent_view);
};

#endif // MODELSINK_H
