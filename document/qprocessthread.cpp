#include "document/qprocessthread.h"

QProcessThread::QProcessThread(CAMdiChild *view) : parentView(view) {}
QProcessThread::~QProcessThread() {}
void QProcessThread::run() {}
