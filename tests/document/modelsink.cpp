#include "modelsink.h"

#include "data/model/cadata.h"
#include "document/camdichild.h"

ModelSink::~ModelSink()
{
    qDeleteAll(models);
}

void ModelSink::watch(CAMdiChild *child)
{
    connect(child, &CAMdiChild::createChildView, this, &ModelSink::createChildView);
}

CAData *ModelSink::take()
{
    if (models.isEmpty())
        return nullptr;
    parents.removeFirst();
    return models.takeFirst();
}

void ModelSink::createChildView(CAData *data, CAMdiChild *parent_view)
{
    models.append(data);
    parents.append(parent_view);
}
