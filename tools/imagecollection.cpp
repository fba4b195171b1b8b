#include "tools/imagecollection.h"

#include "data/formats/regularfile.h"

#include <QDir>
#include <QStringDecoder>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <dirent.h>
#include <sys/stat.h>
#include <QRegularExpression>
#include <QSet>
#include <QTextStream>

#include <algorithm>

namespace {

// Plain code-point order, so the numbering of categories and the order of the
// images do not depend on the locale of the machine.
void sortByName(QFileInfoList &list)
{
    std::sort(list.begin(), list.end(), [](const QFileInfo &a, const QFileInfo &b) {
        return a.fileName() < b.fileName();
    });
}

bool isUnder(const QString &path, const QStringList &folders)
{
    for (const QString &folder : folders) {
        if (!folder.isEmpty() && (path == folder || path.startsWith(folder + QLatin1Char('/'))))
            return true;
    }
    return false;
}

QString canonicalOrAbsolute(const QString &path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

} // namespace

bool ImageCollection::isImageFileName(const QString &fileName)
{
    static const QSet<QString> extensions = [] {
        // What OpenCV's imgcodecs reads, plus whatever Qt's plug-ins add.
        QSet<QString> set = {"bmp", "dib", "jpg", "jpeg", "jpe", "jp2", "png", "webp",
                             "pbm", "pgm", "ppm", "pxm", "pnm", "pfm", "sr", "ras",
                             "tif", "tiff", "exr", "hdr", "pic"};
        const QList<QByteArray> qtFormats = QImageReader::supportedImageFormats();
        for (const QByteArray &f : qtFormats)
            set.insert(QString::fromLatin1(f).toLower());
        set.remove(QStringLiteral("svg")); // vector drawings are not photographs
        set.remove(QStringLiteral("svgz"));
        return set;
    }();
    return extensions.contains(QFileInfo(fileName).suffix().toLower());
}

namespace {

bool validUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

// The name with every byte outside ASCII written as \xNN, so that a name
// the file system holds but UTF-8 cannot can still be shown and found.
QString escapedName(const QByteArray &bytes)
{
    QString out;
    for (char c : bytes) {
        if (uchar(c) < 0x80)
            out += QLatin1Char(c);
        else
            out += QStringLiteral("\\x%1").arg(uchar(c), 2, 16, QLatin1Char('0'));
    }
    return out;
}

} // namespace

void ImageCollection::listUndecodableNames(const QString &folder, bool folders)
{
    // Qt cannot name these entries (they are not valid UTF-8), so its
    // listing leaves them out without a word: the raw listing finds them.
    DIR *dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return;
    QVector<QPair<QByteArray, bool>> found;
    while (const dirent *e = ::readdir(dir)) {
        const QByteArray name(e->d_name);
        if (name == "." || name == ".." || validUtf8(name))
            continue;
        struct stat st;
        const QByteArray full = QFile::encodeName(folder) + '/' + name;
        if (::stat(full.constData(), &st) != 0)
            continue;
        const bool isFolder = S_ISDIR(st.st_mode);
        if (isFolder ? !folders : !isImageFileName(QString::fromLatin1(name.mid(name.lastIndexOf('.')))))
            continue;
        found.append({name, isFolder});
    }
    ::closedir(dir);
    std::sort(found.begin(), found.end());
    for (const auto &f : std::as_const(found)) {
        const QString path = QDir::cleanPath(folder) + QLatin1Char('/') + escapedName(f.first);
        m_passedOver.append({path, f.second
                                       ? QStringLiteral("a folder whose name is not valid UTF-8 "
                                                        "(other bytes shown as \\xNN): the image "
                                                        "list cannot name its images; rename it "
                                                        "to index them")
                                       : QStringLiteral("an image whose name is not valid UTF-8 "
                                                        "(other bytes shown as \\xNN), which the "
                                                        "image list cannot hold; rename it to "
                                                        "index it")});
    }
}

bool ImageCollection::load(const QString &input, const QString &output, QString *error)
{
    const QFileInfo info(input);
    if (!info.exists()) {
        *error = QStringLiteral("'%1' does not exist").arg(input);
        return false;
    }
    if (info.isDir()) {
        QStringList exclude;
        if (!output.isEmpty()) {
            const QString out = canonicalOrAbsolute(output);
            if (out == canonicalOrAbsolute(input))
                exclude << out + QStringLiteral("/keypoints") << out + QStringLiteral("/linked")
                        << out + QStringLiteral("/keypoints-sup") << out + QStringLiteral("/linked-sup");
            else
                exclude << out;
        }
        return scanFolder(input, exclude, error);
    }
    return readList(input, error);
}

void ImageCollection::collectImages(const QString &folder, int category, const QStringList &exclude,
                                    QSet<QString> &visited)
{
    // A folder reached twice (through a link to an ancestor) would recurse
    // for ever.
    const QString canonical = canonicalOrAbsolute(folder);
    if (visited.contains(canonical)) {
        if (QFileInfo(folder).isSymLink())
            m_passedOver.append({QDir::cleanPath(folder),
                                 QStringLiteral("a link back to a folder already scanned "
                                                "('%1'): followed once only").arg(canonical)});
        return;
    }
    visited.insert(canonical);
    QDir dir(folder);
    if (!dir.isReadable()) {
        m_passedOver.append({QDir::cleanPath(folder), QStringLiteral("cannot read this folder")});
        return;
    }
    listUndecodableNames(folder, category > 0);
    // System entries too: a link whose target is gone is listed, not lost.
    QFileInfoList files = dir.entryInfoList(QDir::Files | QDir::System);
    sortByName(files);
    for (const QFileInfo &f : files) {
        if (!isImageFileName(f.fileName()))
            continue;
        if (f.isSymLink() && !f.exists()) {
            m_passedOver.append({QDir::cleanPath(f.absoluteFilePath()),
                                 QStringLiteral("a link to '%1', which does not exist")
                                     .arg(f.symLinkTarget())});
            continue;
        }
        if (!f.isFile()) {
            m_passedOver.append({QDir::cleanPath(f.absoluteFilePath()),
                                 QStringLiteral("not a regular file (a FIFO, a device or a socket)")});
            continue;
        }
        const QString path = QDir::cleanPath(f.absoluteFilePath());
        if (isUnder(canonicalOrAbsolute(path), exclude))
            continue;
        m_entries.append(ImageEntry{category, path});
    }
    // Images in deeper folders belong to the category of their top folder.
    if (category > 0) {
        QFileInfoList subs = dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot);
        sortByName(subs);
        for (const QFileInfo &s : subs) {
            if (!isUnder(canonicalOrAbsolute(s.absoluteFilePath()), exclude))
                collectImages(s.absoluteFilePath(), category, exclude, visited);
        }
    }
}

bool ImageCollection::scanFolder(const QString &folder, const QStringList &exclude, QString *error)
{
    m_entries.clear();
    m_passedOver.clear();
    m_categoryNames.clear();
    QDir dir(folder);
    if (!dir.exists() || !dir.isReadable()) {
        *error = QStringLiteral("cannot read the folder '%1'").arg(folder);
        return false;
    }
    QStringList excluded;
    for (const QString &e : exclude)
        excluded << canonicalOrAbsolute(e);

    QSet<QString> visited;
    m_categoryNames.append(QStringLiteral("."));
    collectImages(dir.absolutePath(), 0, excluded, visited);
    // Category folders Qt cannot name.
    listUndecodableNames(dir.absolutePath(), true);

    QFileInfoList subs = dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot);
    sortByName(subs);
    for (const QFileInfo &s : subs) {
        if (isUnder(canonicalOrAbsolute(s.absoluteFilePath()), excluded))
            continue;
        m_categoryNames.append(s.fileName());
        collectImages(s.absoluteFilePath(), m_categoryNames.size() - 1, excluded, visited);
    }
    if (m_entries.isEmpty()) {
        *error = QStringLiteral("no image file in the folder '%1'").arg(folder);
        return false;
    }
    return true;
}

bool ImageCollection::nextListLine(QIODevice &file, const QString &path, QString *line, int *number,
                                   QString *error)
{
    error->clear();
    if (file.atEnd())
        return false;
    const QByteArray bytes = file.readLine(maxListLineBytes + 2);
    if (bytes.isEmpty())
        return false;
    ++*number;
    if (bytes.size() > maxListLineBytes && !bytes.endsWith('\n')) {
        *error = QStringLiteral("%1:%2: the line is longer than %3 bytes; a list names one image a line")
                     .arg(path).arg(*number).arg(maxListLineBytes);
        return false;
    }
    if (*number > maxListLines) {
        *error = QStringLiteral("%1: more than %2 lines; a list names at most %2 images")
                     .arg(path).arg(maxListLines);
        return false;
    }
    *line = QString::fromUtf8(bytes.endsWith('\n') ? bytes.chopped(1) : bytes);
    return true;
}

bool ImageCollection::readList(const QString &listFile, QString *error)
{
    m_entries.clear();
    m_passedOver.clear();
    m_categoryNames.clear();
    QFile file(listFile);
    QString why;
    if (!RegularFile::open(file, &why)) {
        *error = QStringLiteral("cannot open the list file '%1': %2").arg(listFile, why);
        return false;
    }
    const QDir base = QFileInfo(listFile).absoluteDir();
    int lineNumber = 0;
    QString line;
    while (nextListLine(file, listFile, &line, &lineNumber, error)) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        // "category path": the path is the rest of the line, blanks included.
        const int space = line.indexOf(QRegularExpression(QStringLiteral("\\s")));
        bool ok = false;
        const int category = space > 0 ? line.left(space).toInt(&ok) : 0;
        const QString path = space > 0 ? line.mid(space).trimmed() : QString();
        if (!ok || path.isEmpty()) {
            *error = QStringLiteral("%1:%2: expected \"category path\", found \"%3\"")
                         .arg(listFile).arg(lineNumber).arg(line);
            return false;
        }
        m_entries.append(ImageEntry{category, QDir::cleanPath(base.absoluteFilePath(path))});
    }
    if (!error->isEmpty())
        return false;
    if (m_entries.isEmpty()) {
        *error = QStringLiteral("the list file '%1' names no image").arg(listFile);
        return false;
    }
    return true;
}
