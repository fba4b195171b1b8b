#include "data/model/imagelocator.h"

#include "data/model/cadata.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

QString resolvedImage(const CAData &d, int i)
{
    const QString &name = d.labels[i].imageFile;
    return name.isEmpty() ? QString() : QDir::cleanPath(d.resolve(name));
}

// `path` under `root`, moved under `to`; empty when it is not under root.
QString moved(const QString &path, const QString &root, const QString &to)
{
    if (root == QLatin1String("/"))
        return QDir::cleanPath(to + path);
    if (!path.startsWith(root + QLatin1Char('/')))
        return QString();
    return QDir::cleanPath(to + path.mid(root.size()));
}

} // namespace

QString ImageLocator::root(const CAData &d)
{
    if (!d.labels)
        return QString();
    QString common;
    bool first = true;
    for (int i = 0; i < d.nbImages; ++i) {
        const QString path = resolvedImage(d, i);
        if (path.isEmpty())
            continue;
        const QString folder = path.left(std::max<qsizetype>(1, path.lastIndexOf(QLatin1Char('/'))));
        if (first) {
            common = folder;
            first = false;
            continue;
        }
        // Shortened to the deepest folder both share.
        while (common != QLatin1String("/") && folder != common
               && !folder.startsWith(common + QLatin1Char('/')))
            common = common.left(std::max<qsizetype>(1, common.lastIndexOf(QLatin1Char('/'))));
    }
    return common;
}

ImageLocator::Census ImageLocator::census(const CAData &d)
{
    Census c;
    if (!d.labels)
        return c;
    c.root = root(d);
    for (int i = 0; i < d.nbImages; ++i) {
        const QString path = resolvedImage(d, i);
        if (path.isEmpty())
            continue;
        ++c.total;
        if (!QFileInfo::exists(path))
            ++c.missing;
    }
    return c;
}

int ImageLocator::foundUnder(const CAData &d, const QString &root, const QString &to)
{
    if (!d.labels || root.isEmpty())
        return 0;
    const QString target = QDir::cleanPath(QDir(to).absolutePath());
    int found = 0;
    for (int i = 0; i < d.nbImages; ++i) {
        const QString path = moved(resolvedImage(d, i), root, target);
        if (!path.isEmpty() && QFileInfo::exists(path))
            ++found;
    }
    return found;
}

void ImageLocator::relocate(CAData &d, const QString &root, const QString &to)
{
    if (!d.labels || root.isEmpty())
        return;
    const QString target = QDir::cleanPath(QDir(to).absolutePath());
    for (int i = 0; i < d.nbImages; ++i) {
        const QString path = moved(resolvedImage(d, i), root, target);
        if (!path.isEmpty())
            d.labels[i].imageFile = path;
    }
}

QString ImageLocator::notFoundMessage(const Census &c)
{
    if (c.missing == 0)
        return QString();
    return QStringLiteral("%1 of %2 images not found under %3")
        .arg(c.missing)
        .arg(c.total)
        .arg(QDir::toNativeSeparators(c.root));
}
