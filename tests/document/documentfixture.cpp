#include "documentfixture.h"

#include "data/model/cadata.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

bool DocumentFixture::writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(content) == content.size();
}

double DocumentFixture::cell(int row, int col)
{
    if (row == 2 && col == 3)
        return 0.5;
    if (row == 4 && col == 5)
        return 1234567.0;
    if (row == 6 && col == 7)
        return 3.0;
    if (row == 8 && col == 9)
        return 0.00001;
    return double((row * 31 + col * 7) % 10);
}

QString DocumentFixture::cellText(int row, int col)
{
    if (row == 2 && col == 3)
        return QStringLiteral("0.5");
    if (row == 4 && col == 5)
        return QStringLiteral("1.23457e+06");
    if (row == 6 && col == 7)
        return QStringLiteral("3");
    if (row == 8 && col == 9)
        return QStringLiteral("1e-05");
    return QString::number((row * 31 + col * 7) % 10);
}

QString DocumentFixture::imageFile(int image)
{
    return QStringLiteral("img_%1.png").arg(image);
}

QString DocumentFixture::keypointFile(int image)
{
    return QStringLiteral("kp_%1.bin").arg(image);
}

int DocumentFixture::category(int image)
{
    return 100 + image % 7;
}

QByteArray DocumentFixture::tableHeader(int rows, int cols)
{
    return QByteArray::number(rows) + ' ' + QByteArray::number(cols) + '\n';
}

QByteArray DocumentFixture::tableRow(int row, int cols)
{
    // Written with full precision, in the source table's own free layout.
    QByteArray line;
    for (int c = 0; c < cols; ++c) {
        line += QByteArray::number(cell(row, c), 'g', 17);
        line += (c % 7 == 6) ? "\n" : "\t";
    }
    line += '\n';
    return line;
}

QString DocumentFixture::writeProject(const QString &dir, const Options &o)
{
    QDir().mkpath(dir);
    const QString base = dir + QLatin1Char('/');

    if (o.withTable && o.writeTable) {
        QByteArray table;
        if (!o.tableText.isNull()) {
            table = o.tableText.toUtf8();
        } else {
            table = tableHeader(o.images, o.words);
            for (int r = 0; r < o.images; ++r)
                table += tableRow(r, o.words);
        }
        writeFile(base + o.tableName, table);
    }

    auto matrix = [&](int rows, int salt) {
        QByteArray text = QByteArray::number(rows) + ' ' + QByteArray::number(o.axes) + '\n';
        for (int i = 0; i < rows; ++i) {
            for (int a = 0; a < o.axes; ++a)
                text += QByteArray::number(((i * (a + 3) + salt) % 11 - 5) * 0.1) + ' ';
            text += '\n';
        }
        return text;
    };
    writeFile(base + QStringLiteral("res_Z.txt"), matrix(o.images, 1));
    writeFile(base + QStringLiteral("res_W.txt"), matrix(o.words, 4));
    QByteArray lambda = QByteArray::number(o.axes) + '\n';
    for (int a = 0; a < o.axes; ++a)
        lambda += QByteArray::number(0.5 / (a + 1)) + '\n';
    writeFile(base + QStringLiteral("res_Lambda.txt"), lambda);

    QByteArray labels;
    for (int i = 0; i < o.images; ++i)
        labels += QByteArray::number(category(i)) + ' ' + imageFile(i).toUtf8() + '\n';
    writeFile(base + QStringLiteral("images.txt"), labels);
    QByteArray keypoints = QByteArray::number(o.images) + '\n';
    for (int i = 0; i < o.images; ++i)
        keypoints += keypointFile(i).toUtf8() + '\n';
    writeFile(base + QStringLiteral("keypoints.txt"), keypoints);

    QByteArray xml = "<XML>\n<BASE href='.'/>\n<AXIS number='" + QByteArray::number(o.axes) + "'/>\n";
    if (o.withTable)
        xml += "<FILE name='F' path='" + o.tableName.toUtf8() + "'/>\n";
    xml += "<FILE name='Z' path='res_Z.txt'/>\n"
           "<FILE name='W' path='res_W.txt'/>\n"
           "<FILE name='LAMBDA' path='res_Lambda.txt'/>\n"
           "<FILE name='LABEL' path='images.txt'/>\n"
           "<FILE name='DESCRIPTOR' path='keypoints.txt'/>\n";
    if (!o.categoriesName.isEmpty()) {
        xml += "<FILE name='CATEGORIES' path='" + o.categoriesName.toUtf8() + "'/>\n";
        if (!o.categoriesText.isNull())
            writeFile(base + o.categoriesName, o.categoriesText);
    }
    xml += "</XML>\n";
    const QString project = base + QStringLiteral("project.xml");
    writeFile(project, xml);
    return project;
}

QString DocumentFixture::writeFakeSolver(const QString &dir)
{
    // Arguments: -k K table table. Coordinates are small distinct values;
    // masses are uniform; eigenvalues decrease.
    const QByteArray script =
        "#!/bin/sh\n"
        "k=$2\n"
        "t=$3\n"
        "read n m < \"$t\" || exit 1\n"
        "[ \"$k\" -ge 1 ] 2>/dev/null || k=2\n"
        "awk -v n=\"$n\" -v m=\"$m\" -v k=\"$k\" -v t=\"$t\" 'BEGIN {\n"
        "  f = t \"_Z.txt\"; print n, k > f\n"
        "  for (i = 0; i < n; i++) { s = \"\"; for (a = 0; a < k; a++) s = s \" \" ((i * (a + 2)) % 9 - 4) / 10; print s > f }\n"
        "  f = t \"_W.txt\"; print m, k > f\n"
        "  for (j = 0; j < m; j++) { s = \"\"; for (a = 0; a < k; a++) s = s \" \" ((j * (a + 3)) % 7 - 3) / 10; print s > f }\n"
        "  f = t \"_P.txt\"; print n > f; for (i = 0; i < n; i++) print 1 / n > f\n"
        "  f = t \"_Q.txt\"; print m > f; for (j = 0; j < m; j++) print 1 / m > f\n"
        "  f = t \"_Lambda.txt\"; print k > f; for (a = 0; a < k; a++) print 0.5 / (a + 1) > f\n"
        "}'\n";
    const QString path = dir + QStringLiteral("/fake_ca.sh");
    writeFile(path, script);
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                    | QFileDevice::ExeOwner | QFileDevice::ReadGroup
                                    | QFileDevice::ExeGroup);
    return path;
}

const QVector<int> &DocumentFixture::selectedImages()
{
    static const QVector<int> images{5, 0, 17, 2, 4, 6, 8, 59, 33, 21, 40, 11};
    return images;
}

const QVector<int> &DocumentFixture::selectedWords()
{
    static const QVector<int> words{3, 5, 7, 9, 0, 1, 59, 20, 30, 31, 44, 12, 13, 14, 2};
    return words;
}

QString DocumentFixture::useScratchFolders(const QString &dir)
{
    const QString tmp = QDir(dir).filePath(QStringLiteral("tmp"));
    QDir().mkpath(tmp);
    qputenv("TMPDIR", QFile::encodeName(tmp));
    CAData::casolver = writeFakeSolver(dir);
    return tmp;
}

QStringList DocumentFixture::entries(const QString &dir)
{
    QStringList found;
    QDirIterator it(dir, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        found << QDir(dir).relativeFilePath(it.next());
    found.sort();
    return found;
}
