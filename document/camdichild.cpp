#include "document/camdichild.h"

CAMdiChild::CAMdiChild() {}
CAMdiChild::~CAMdiChild() {}
bool CAMdiChild::loadFile(const QString &) { return false; }
bool CAMdiChild::setData(CAData *) { return false; }
void CAMdiChild::setCurrentFile(const QString &) {}
QString CAMdiChild::strippedName(const QString &) { return QString(); }
void CAMdiChild::createCAView() {}
void CAMdiChild::createWordImageView() {}
void CAMdiChild::processSelection() {}
void CAMdiChild::finishSelection() {}
