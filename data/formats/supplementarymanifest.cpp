#include "data/formats/supplementarymanifest.h"

#include "data/formats/regularfile.h"
#include "data/formats/resultmanifest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const char Magic[] = "ortelis-supplementary";

QByteArray hex64(std::uint64_t v)
{
    return QByteArray::number(qulonglong(v), 16).rightJustified(16, '0');
}

} // namespace

QByteArray SupplementaryManifest::text() const
{
    QByteArray t = QByteArray(Magic) + " 1\n";
    if (rows >= 0)
        t += "rows " + QByteArray::number(rows) + '\n';
    for (const Entry &e : files)
        t += "file " + e.name.toUtf8() + ' ' + QByteArray::number(qulonglong(e.bytes)) + ' ' + hex64(e.digest) + '\n';
    return t;
}

bool SupplementaryManifest::parse(const QByteArray &text, QString *error)
{
    *this = SupplementaryManifest();
    const QList<QByteArray> lines = text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QList<QByteArray> words = lines[i].simplified().split(' ');
        auto bad = [&](const char *what) {
            *error = QStringLiteral("line %1: %2").arg(i + 1).arg(QLatin1String(what));
            return false;
        };
        if (i == 0) {
            if (words.value(0) != Magic)
                return bad("it does not start with \"ortelis-supplementary\"");
            continue;
        }
        if (lines[i].simplified().isEmpty())
            continue;
        bool ok = false;
        if (words[0] == "rows") {
            rows = words.size() == 2 ? words[1].toLongLong(&ok) : -1;
            if (!ok || rows < 0)
                return bad("the rows are not a whole number");
        } else if (words[0] == "file") {
            Entry e;
            bool sized = false, digested = false;
            if (words.size() == 4) {
                e.name = QString::fromUtf8(words[1]);
                e.bytes = words[2].toULongLong(&sized);
                e.digest = words[3].size() == 16 ? words[3].toULongLong(&digested, 16) : 0;
            }
            // Names of the set's own folder only: a record cannot point
            // anywhere else.
            if (!sized || !digested || e.name.isEmpty() || e.name.contains(QLatin1Char('/'))
                || e.name.startsWith(QLatin1Char('.')))
                return bad("a file line is not \"file NAME BYTES DIGEST\"");
            files.push_back(e);
        }
        // Other keys are passed over: a later version may add some.
    }
    if (lines.isEmpty() || lines[0].isEmpty())
        return (*error = QStringLiteral("it is empty")), false;
    return true;
}

bool SupplementaryManifest::add(const QString &folder, const QStringList &names, QString *error)
{
    const QDir dir(folder);
    for (const QString &name : names) {
        const QString path = dir.filePath(name);
        if (!QFileInfo::exists(path))
            continue;
        ResultManifest::Entry digest;
        std::string why;
        if (!ResultManifest::digestFile(QFile::encodeName(path).toStdString(), digest, why)) {
            *error = QStringLiteral("cannot read '%1': %2").arg(path, QString::fromStdString(why));
            return false;
        }
        files.push_back({name, digest.bytes, digest.digest});
    }
    return true;
}

QStringList SupplementaryManifest::mismatched(const QString &folder) const
{
    const QDir dir(folder);
    QStringList names;
    for (const Entry &e : files) {
        ResultManifest::Entry onDisk;
        std::string why;
        if (!ResultManifest::digestFile(QFile::encodeName(dir.filePath(e.name)).toStdString(), onDisk, why)
            || onDisk.bytes != e.bytes || onDisk.digest != e.digest)
            names << e.name;
    }
    return names;
}

SupplementaryManifest::State SupplementaryManifest::read(const QString &folder, SupplementaryManifest &manifest,
                                                         QByteArray *bytes, QString *problem)
{
    const QString path = QDir(folder).filePath(fileName());
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
        return Absent;
    QFile file(path);
    QString why;
    if (!RegularFile::open(file, &why)) {
        *problem = QStringLiteral("cannot open the record of the supplementary images '%1': %2").arg(path, why);
        return Unreadable;
    }
    const QByteArray text = file.read(kMaxBytes + 1);
    if (text.size() > kMaxBytes) {
        *problem = QStringLiteral("'%1' is larger than any record of supplementary images").arg(path);
        return Unreadable;
    }
    if (!manifest.parse(text, &why)) {
        *problem = QStringLiteral("'%1' is not a record of supplementary images: %2").arg(path, why);
        return Unreadable;
    }
    if (bytes)
        *bytes = text;
    return Whole;
}

SupplementaryManifest::State SupplementaryManifest::check(const QString &folder, QString *problem, QStringList *names)
{
    SupplementaryManifest manifest;
    const State state = read(folder, manifest, nullptr, problem);
    if (state != Whole)
        return state;
    const QStringList differ = manifest.mismatched(folder);
    if (names)
        *names = differ;
    if (differ.isEmpty())
        return Whole;
    *problem = QStringLiteral("the supplementary images' files are not those the last addition of images wrote "
                              "(%1 differs from '%2'): that addition was interrupted")
                   .arg(differ.join(QStringLiteral(", ")), QDir(folder).filePath(fileName()));
    return Mixed;
}
