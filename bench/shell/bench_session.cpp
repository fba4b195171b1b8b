// Opening a session that names many projects that have gone, in one run:
// reading the session and looking for every project, then the report, shown
// as one box holding the whole list (what the viewer did) beside the
// summary with its bounded details (what it does). Each box is laid out as
// it would be shown, without waiting for a click.
//
//   QT_QPA_PLATFORM=offscreen bench_session [missing projects]

#include "shell/camainwindow.h"
#include "shell/problemlist.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int missing = argc > 1 ? std::atoi(argv[1]) : 20000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("session.json"));
    QByteArray json = "{\"format\": \"ortelis-session\", \"version\": 1, \"windows\": [";
    for (int i = 0; i < missing; ++i)
        json += (i ? "," : "") + QByteArray("{\"project\": \"gone/p") + QByteArray::number(i)
            + "/project.xml\", \"name\": \"project.xml\"}";
    json += "]}";
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(json);
    f.close();

    CAMainWindow main;
    QStringList lines;
    QString error;
    QElapsedTimer clock;
    clock.start();
    main.openSessionFrom(path, &lines, &error);
    const qint64 open = clock.elapsed();

    clock.restart();
    {
        QMessageBox whole(QMessageBox::Warning, QStringLiteral("Ortelis"),
                          QStringLiteral("Some windows of the session could not be restored:\n")
                              + lines.join(QLatin1Char('\n')),
                          QMessageBox::Ok);
        whole.ensurePolished();
        whole.adjustSize();
        std::printf("whole list box height: %d px\n", whole.sizeHint().height());
    }
    const qint64 wholeBox = clock.elapsed();

    clock.restart();
    {
        const ProblemList::Text t = ProblemList::summarise(
            QStringLiteral("Some windows of the session could not be restored:"), lines);
        QMessageBox summary(QMessageBox::Warning, QStringLiteral("Ortelis"), t.text, QMessageBox::Ok);
        summary.setDetailedText(t.details);
        summary.ensurePolished();
        summary.adjustSize();
        std::printf("summary box height: %d px\n", summary.sizeHint().height());
    }
    const qint64 summaryBox = clock.elapsed();
    std::printf("%d missing projects: session read and checked %lld ms; whole-list box %lld ms; "
                "summary box %lld ms\n",
                missing, static_cast<long long>(open), static_cast<long long>(wholeBox),
                static_cast<long long>(summaryBox));
    return 0;
}
