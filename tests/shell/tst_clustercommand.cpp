#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/shell/threegroupsproject.h"

#include <map>
#include <set>

// `ortelis --clusters` and `--describe-clusters` run as a script would, on
// an analysis the solver made of a table whose images fall in three groups
// by construction: image i leans on words 3 (i % 3) .. 3 (i % 3) + 2.
class TestClusterCommand : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString project;
    static constexpr int Images = ThreeGroupsProject::Images;

    static QString bin(const QString &name) { return ThreeGroupsProject::bin(name); }

    int run(const QStringList &args, QByteArray *out = nullptr, QByteArray *err = nullptr)
    {
        QProcess p;
        p.start(bin(QStringLiteral("ortelis")), args);
        if (!p.waitForFinished(60000))
            return -1;
        if (out)
            *out = p.readAllStandardOutput();
        if (err)
            *err = p.readAllStandardError();
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

    // The rows of a CSV file after its header, split into fields.
    QList<QList<QByteArray>> rows(const QString &file, QByteArray *header = nullptr)
    {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QList<QByteArray> lines = f.readAll().trimmed().split('\n');
        if (header)
            *header = lines.takeFirst().trimmed();
        else
            lines.removeFirst();
        QList<QList<QByteArray>> out;
        for (const QByteArray &line : lines)
            out << line.trimmed().split(',');
        return out;
    }

private slots:
    void initTestCase()
    {
        project = ThreeGroupsProject::make(QDir(dir.path()));
        QVERIFY2(!project.isEmpty(), "the solver did not make the fixture's analysis");
    }

    void clusters_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("clusters");
        // The images are at six points: three groups, each in two by the
        // parity of the image in its other words. The within-cluster
        // inertia falls to nothing at six: the cut suggested.
        QTest::newRow("suggested cut") << QStringList() << 6;
        QTest::newRow("three asked on two axes") << QStringList{"--count", "3", "--dims", "2"} << 3;
        QTest::newRow("consolidated") << QStringList{"--consolidate", "--count", "3"} << 3;
    }

    // The groups come back as clusters 1..K, each inside one group, printed
    // with its size and with words of its own group as its most
    // over-represented.
    void clusters()
    {
        QFETCH(QStringList, options);
        QFETCH(int, clusters);
        const QString out = dir.filePath(QStringLiteral("part.csv"));
        QFile::remove(out);
        QByteArray printed;
        QCOMPARE(run(QStringList{"--clusters", out} + options + QStringList{project}, &printed), 0);
        QByteArray header;
        const auto part = rows(out, &header);
        QCOMPARE(header, QByteArray("image,cluster"));
        QCOMPARE(part.size(), Images);
        std::map<int, std::set<int>> groupOf; // cluster -> groups of its images
        std::map<int, int> sizes;
        for (int i = 0; i < Images; ++i) {
            QCOMPARE(part[i].at(0).toInt(), i);
            const int c = part[i].at(1).toInt();
            groupOf[c].insert(i % 3);
            ++sizes[c];
        }
        QCOMPARE(int(groupOf.size()), clusters);
        for (const auto &[cluster, groups] : groupOf) {
            QCOMPARE(int(groups.size()), 1);
            QVERIFY(cluster >= 1 && cluster <= clusters);
            const QByteArray line = "cluster " + QByteArray::number(cluster) + ": "
                                    + QByteArray::number(sizes[cluster]) + " images";
            const int at = int(printed.indexOf(line));
            QVERIFY2(at >= 0, printed.constData());
            // Its three words, all of its own group's.
            const QByteArray rest = printed.mid(at, printed.indexOf('\n', at) - at);
            const QList<QByteArray> words = rest.mid(rest.indexOf("words: ") + 7).split(',');
            QCOMPARE(words.size(), 3);
            for (const QByteArray &w : words)
                QCOMPARE(w.trimmed().toInt() / 3, *groups.begin());
        }
        QVERIFY(printed.startsWith(out.toUtf8() + ": " + QByteArray::number(clusters) + " clusters"));
        // Numbered by decreasing size.
        for (int c = 2; c <= clusters; ++c)
            QVERIFY(sizes[c - 1] >= sizes[c]);
    }

    // Per cluster its significant words, its paragons nearest first and its
    // specific images farthest first, all of its own images.
    void describe()
    {
        const QString part = dir.filePath(QStringLiteral("p.csv"));
        const QString out = dir.filePath(QStringLiteral("desc.csv"));
        QCOMPARE(run({"--clusters", part, "--count", "3", project}), 0);
        QCOMPARE(run({"--describe-clusters", out, "--count", "3", project}), 0);
        QMap<int, int> clusterOf;
        for (const auto &r : rows(part))
            clusterOf[r.at(0).toInt()] = r.at(1).toInt();
        QByteArray header;
        const auto desc = rows(out, &header);
        QCOMPARE(header, QByteArray("cluster,kind,item,name,count_in,count_all,v_test,p_value,distance"));
        QMap<QString, int> kinds;
        QMap<QString, double> last;
        for (const auto &r : desc) {
            QCOMPARE(r.size(), 9);
            const int cluster = r.at(0).toInt();
            const QString kind = QString::fromUtf8(r.at(1));
            const QString key = kind + QString::number(cluster);
            ++kinds[key];
            if (kind == QLatin1String("word")) {
                QVERIFY(r.at(7).toDouble() <= 0.05);
                // Over-represented words are of the cluster's own group.
                if (r.at(6).toDouble() > 0)
                    QCOMPARE(r.at(2).toInt() / 3, clusterOf.key(cluster) % 3);
                continue;
            }
            QCOMPARE(clusterOf.value(r.at(2).toInt()), cluster);
            QCOMPARE(r.at(3), "img" + r.at(2) + ".png");
            const double d = r.at(8).toDouble();
            if (last.contains(key))
                QVERIFY(kind == QLatin1String("paragon") ? d >= last[key] : d <= last[key]);
            last[key] = d;
        }
        for (int c = 1; c <= 3; ++c) {
            QCOMPARE(kinds.value(QStringLiteral("paragon%1").arg(c)), 5);
            QCOMPARE(kinds.value(QStringLiteral("specific%1").arg(c)), 5);
            QVERIFY(kinds.value(QStringLiteral("word%1").arg(c)) >= 3);
        }
    }

    void failures_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("says");
        QTest::newRow("more clusters than points") << QStringList{"--clusters", "x.csv", "--count", "31", "PROJECT"}
                                                   << "distinct points";
        QTest::newRow("more axes than computed") << QStringList{"--clusters", "x.csv", "--dims", "40", "PROJECT"}
                                                 << "axes computed";
        QTest::newRow("count not a number") << QStringList{"--clusters", "x.csv", "--count", "many", "PROJECT"}
                                            << "--count";
        QTest::newRow("no project") << QStringList{"--describe-clusters", "x.csv", "nothere.xml"} << "nothere.xml";
        QTest::newRow("missing argument") << QStringList{"--clusters", "PROJECT"} << "usage";
    }

    // A failure is one line on standard error and status 1, with no file.
    void failures()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, says);
        args.replaceInStrings(QStringLiteral("PROJECT"), project);
        args.replaceInStrings(QStringLiteral("x.csv"), dir.filePath(QStringLiteral("x.csv")));
        QByteArray err;
        QCOMPARE(run(args, nullptr, &err), 1);
        QCOMPARE(err.count('\n'), 1);
        QVERIFY2(err.contains(says.toUtf8()), err.constData());
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("x.csv"))));
    }
};

QTEST_GUILESS_MAIN(TestClusterCommand)
#include "tst_clustercommand.moc"
