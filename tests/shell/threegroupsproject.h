#ifndef THREEGROUPSPROJECT_H
#define THREEGROUPSPROJECT_H

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>

// An analysis the solver makes of a table whose images fall in three groups
// by construction: image i leans on words 3 (i % 3) .. 3 (i % 3) + 2, and its
// other words follow the parity of i (so each group is two points). The
// clusters' tests know the answer from this construction, not from the code.
namespace ThreeGroupsProject {

constexpr int Images = 30;

inline int count(int i, int j)
{
    return j / 3 == i % 3 ? 8 + (i + j) % 3 : (i * 7 + j * 3) % 2;
}

inline QString bin(const QString &name)
{
    return qEnvironmentVariable("ORTELIS_BIN_DIR") + QLatin1Char('/') + name;
}

// Writes the table, the image list and project.xml into `dir`, runs the
// solver, and returns the project file; empty when the solver failed.
inline QString make(const QDir &dir)
{
    auto write = [&dir](const QString &name, const QByteArray &text) {
        QFile f(dir.filePath(name));
        return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
    };
    QByteArray table = QByteArray::number(Images) + " 9\n", labels;
    for (int i = 0; i < Images; ++i) {
        for (int j = 0; j < 9; ++j)
            table += QByteArray::number(count(i, j)) + ' ';
        table += '\n';
        labels += "1 img" + QByteArray::number(i) + ".png\n";
    }
    if (!write(QStringLiteral("t.txt"), table) || !write(QStringLiteral("images.txt"), labels))
        return QString();
    QProcess solver;
    solver.setWorkingDirectory(dir.path());
    solver.start(bin(QStringLiteral("ca.exe")), {"-k", "0", dir.filePath("t.txt"), dir.filePath("t.txt")});
    if (!solver.waitForFinished(60000) || solver.exitStatus() != QProcess::NormalExit || solver.exitCode() != 0)
        return QString();
    if (!write(QStringLiteral("project.xml"),
               "<XML><BASE href='.'/><FILE name='F' path='t.txt'/>"
               "<FILE name='Z' path='t.txt_Z.txt'/><FILE name='W' path='t.txt_W.txt'/>"
               "<FILE name='P' path='t.txt_P.txt'/><FILE name='Q' path='t.txt_Q.txt'/>"
               "<FILE name='LAMBDA' path='t.txt_Lambda.txt'/>"
               "<FILE name='LABEL' path='images.txt'/></XML>"))
        return QString();
    return dir.filePath(QStringLiteral("project.xml"));
}

} // namespace ThreeGroupsProject

#endif // THREEGROUPSPROJECT_H
