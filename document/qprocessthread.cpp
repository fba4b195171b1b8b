#include "document/qprocessthread.h"

#include "data/model/console.h"
#include "document/camdichild.h"

QProcessThread::QProcessThread(CAMdiChild *view, const Selection &s)
    : parentView(view), selection(s)
{
}

QProcessThread::~QProcessThread()
{
    // The owner stops us before deleting; this only guards against a thread
    // object destroyed while running, which would abort the program.
    requestInterruption();
    wait();
    Console::out(QStringLiteral("Thread die"));
}

void QProcessThread::run()
{
    parentView->processSelection(this);
}
