#include "data/model/cadata.h"

#include "data/model/console.h"
#include "data/formats/regularfile.h"

#include <QFile>
#include <QStringDecoder>

namespace {

// A categories file names a few dozen classes; these bounds keep a wrong file
// (an image, a table named by mistake) from filling the memory or the console.
constexpr qint64 maxBytes = 1 << 20;
constexpr int maxNames = 65536;
constexpr int maxNameLength = 256;
constexpr int maxWarnings = 10;

} // namespace

QString CAData::categoryName(int category) const
{
    const auto it = categoryNames.constFind(category);
    if (it != categoryNames.constEnd())
        return *it;
    return QStringLiteral("#%1").arg(category);
}

void CAData::readCategoryNames()
{
    categoryNames.clear();
    supCategoryNames.clear();
    if (!categoriesPath.isEmpty()) {
        categoriesPath = resolve(categoriesPath);
        readCategoryFile(categoriesPath, categoryNames);
    }
    if (fileCategoriesSup.isEmpty())
        return;
    // The names of the categories that only supplementary images have. The
    // project's own file keeps the last word on a number both name.
    fileCategoriesSup = resolve(fileCategoriesSup);
    QMap<int, QString> sup;
    readCategoryFile(fileCategoriesSup, sup);
    for (auto it = sup.cbegin(); it != sup.cend(); ++it) {
        if (!categoryNames.contains(it.key())) {
            categoryNames.insert(it.key(), it.value());
            supCategoryNames.insert(it.key(), it.value());
        }
        else if (categoryNames.value(it.key()) != it.value())
            Console::err(QStringLiteral("Warning: %1: category %2 is named '%3' by the project's categories file; "
                                        "'%4' is not used.")
                             .arg(fileCategoriesSup).arg(it.key()).arg(categoryNames.value(it.key()), it.value()));
    }
}

void CAData::readCategoryFile(const QString &path, QMap<int, QString> &names)
{
    // Names are a convenience: whatever goes wrong here is reported and the
    // categories keep their numbers; the analysis still opens.
    QFile file(path);
    QString why;
    // Without blocking, and only a regular file: a FIFO would hang the viewer.
    if (!RegularFile::open(file, &why)) {
        Console::err(QStringLiteral("Warning: cannot open the categories file '%1': %2; "
                                    "categories are shown by number.")
                         .arg(path, why));
        return;
    }
    QByteArray text = file.read(maxBytes + 1);
    if (text.size() > maxBytes) {
        Console::err(QStringLiteral("Warning: %1: only the first %2 bytes of the categories "
                                    "file are read.")
                         .arg(path).arg(maxBytes));
        // Keep whole lines only.
        text.truncate(text.lastIndexOf('\n', maxBytes - 1) + 1);
    }
    if (text.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3);

    int warnings = 0;
    auto warn = [&](int line, const QString &problem) {
        if (warnings < maxWarnings)
            Console::err(QStringLiteral("Warning: %1, line %2: %3; the line is ignored.")
                             .arg(path).arg(line).arg(problem));
        else if (warnings == maxWarnings)
            Console::err(QStringLiteral("Warning: %1: further malformed lines are not reported.")
                             .arg(path));
        ++warnings;
    };

    // A file saved in another encoding still gives its names, but the user
    // learns why some letters show as replacement characters.
    int badLines = 0;
    int firstBadLine = 0;

    int lineNo = 0;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        ++lineNo;
        // A byte-order mark inside the file (two files put end to end) is
        // kept, so that the line is refused naming it.
        QStringDecoder utf8(QStringDecoder::Utf8,
                            QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
        const QString line = QString(utf8.decode(QByteArrayView(text.constData() + start, end - start))).trimmed();
        start = end + 1;
        if (utf8.hasError() && badLines++ == 0)
            firstBadLine = lineNo;
        if (line.isEmpty())
            continue;

        qsizetype gap = 0;
        while (gap < line.size() && !line.at(gap).isSpace())
            ++gap;
        bool ok = false;
        const int number = QStringView(line).left(gap).toInt(&ok);
        if (!ok) {
            warn(lineNo, QStringLiteral("'%1' is not a category number")
                             .arg(Console::visible(line.left(gap).left(40))));
            continue;
        }
        QString name = line.mid(gap).trimmed();
        if (name.isEmpty()) {
            warn(lineNo, QStringLiteral("category %1 has no name").arg(number));
            continue;
        }
        if (name.size() > maxNameLength) {
            warn(lineNo, QStringLiteral("the name of category %1 is longer than %2 characters")
                             .arg(number).arg(maxNameLength));
            continue;
        }
        if (!names.contains(number) && names.size() >= maxNames) {
            Console::err(QStringLiteral("Warning: %1, line %2: more than %3 categories; the rest "
                                        "of the file is ignored.")
                             .arg(path).arg(lineNo).arg(maxNames));
            break;
        }
        names.insert(number, name);
    }
    if (badLines)
        Console::err(QStringLiteral("Warning: %1, line %2: the text is not valid UTF-8 (%3 line(s) in all); "
                                    "the bytes that cannot be read are shown as U+FFFD. Save the file "
                                    "as UTF-8.")
                         .arg(path).arg(firstBadLine).arg(badLines));
}
