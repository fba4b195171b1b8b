#ifndef QPROCESSTHREAD_H
#define QPROCESSTHREAD_H

#include <QThread>

class CAMdiChild;

// Worker that extracts one accepted selection of a document window.
class QProcessThread : public QThread
{
    Q_OBJECT

public:
    explicit QProcessThread(CAMdiChild *parentView);
    ~QProcessThread() override;

    CAMdiChild *parentView;

protected:
    void run() override;
};

#endif // QPROCESSTHREAD_H
