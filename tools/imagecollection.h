#ifndef IMAGECOLLECTION_H
#define IMAGECOLLECTION_H

#include "tools/imageentry.h"

#include <QIODevice>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

// The images to index, in a fixed order: either the image files of a folder
// (each sub-folder a category, numbered 1, 2, ... in sorted name order, files
// directly in the folder category 0), or the lines "category path" of a list
// file (paths relative to the list file's folder unless absolute).
class ImageCollection
{
public:
    // Reads `input` as a folder or a list file, whichever it is. The index
    // in `output` is left out of a scan: the whole output folder when it
    // lies inside the image folder, or only the index's own sub-folders
    // when the index is written into the image folder itself. Returns false
    // with `error` set on failure; an input that yields no image is a failure.
    bool load(const QString &input, const QString &output, QString *error);

    // Files and folders under any of `exclude` are left out.
    bool scanFolder(const QString &folder, const QStringList &exclude, QString *error);
    bool readList(const QString &listFile, QString *error);

    const QVector<ImageEntry> &entries() const { return m_entries; }
    // Files and folders met in a scan that hold no image to index (links
    // that loop back or lead nowhere, folders that cannot be read), each
    // with its reason: they are listed, not silently passed over.
    struct Passed { QString path; QString reason; };
    const QVector<Passed> &passedOver() const { return m_passedOver; }
    // Entries made elsewhere, with the names of their categories when known.
    void setEntries(const QVector<ImageEntry> &entries, const QStringList &categoryNames = {})
    {
        m_entries = entries;
        m_categoryNames = categoryNames;
    }
    // Categories in number order (index 0 is the folder itself), for messages.
    const QStringList &categoryNames() const { return m_categoryNames; }

    // Whether the file name's extension is one Qt or OpenCV can decode.
    static bool isImageFileName(const QString &fileName);

    // The lists of images a run reads (list files, --passive) are bounded
    // by their lines: a line is a category and a path, and a collection is
    // at most this many images. A file of gigabytes is refused at its first
    // line too long or its line beyond the limit, not read whole.
    static constexpr int maxListLineBytes = 16 * 1024;
    static constexpr int maxListLines = 4000000;
    // The next line of a list (without its line break) into `line`, and
    // the line count in `number`; false at the end, or with `error` set
    // (naming `path` and the line) when the line is too long or beyond
    // the limit.
    static bool nextListLine(QIODevice &file, const QString &path, QString *line, int *number, QString *error);

private:
    void collectImages(const QString &folder, int category, const QStringList &exclude,
                       QSet<QString> &visited);

    QVector<ImageEntry> m_entries;
    // Lists the images (and, with `folders`, the sub-folders) of `folder`
    // whose names are not valid UTF-8 as passed over, with the reason.
    void listUndecodableNames(const QString &folder, bool folders);

    QVector<Passed> m_passedOver;
    QStringList m_categoryNames;
};

#endif // IMAGECOLLECTION_H
