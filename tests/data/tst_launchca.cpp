#include "data/model/cadata.h"
#include "data/model/console.h"
#include "data/model/xmlparser.h"
#include "document/solverdialog.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

// How loading calls the solver: its arguments, the dialog when the solver
// cannot be used, and a full load through the real solver.
class TestLaunchCA : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    // A stand-in solver that records its arguments one per line and writes a
    // tiny valid result set beside the table.
    QString fakeSolver()
    {
        const QString path = dir.filePath("fake solver.sh");
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            qFatal("cannot write fake solver");
        f.write("#!/bin/sh\n"
                "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$(dirname \"$3\")/args.txt\"\n"
                "printf '2 2\\n1 0\\n0 1\\n' > \"$3_Z.txt\"\n"
                "printf '3 2\\n1 0\\n0 1\\n1 1\\n' > \"$3_W.txt\"\n"
                "printf '2 0.5 0.5' > \"$3_P.txt\"\n"
                "printf '3 0.3 0.3 0.4' > \"$3_Q.txt\"\n"
                "printf '2 0.2 0.1' > \"$3_Lambda.txt\"\n"
                "echo lots of chatter; echo errors too >&2\n");
        f.close();
        f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
        return path;
    }

    QStringList recordedArguments(const QString &folder)
    {
        QFile f(folder + "/args.txt");
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromLocal8Bit(f.readAll()).split('\n', Qt::SkipEmptyParts);
    }

    QString writeTable(const QString &folder)
    {
        QDir().mkpath(folder);
        QFile f(folder + "/my table.txt");
        if (!f.open(QIODevice::WriteOnly))
            qFatal("cannot write table");
        f.write("2 3\n1 2 0\n0 1 3\n");
        return f.fileName();
    }

    // A stand-in solver that fails the way `script` says (shell commands).
    QString failingSolver(const QByteArray &script)
    {
        const QString path = dir.filePath(QStringLiteral("failing%1.sh").arg(++solverNumber));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            qFatal("cannot write failing solver");
        f.write("#!/bin/sh\n" + script + "\n");
        f.close();
        f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
        return path;
    }
    int solverNumber = 0;

private slots:
    // The viewer's dialog asks for a solver that cannot be run.
    void initTestCase() { SolverDialog::install(); }

    // The solver's own reason for refusing a table reaches the console after
    // the solver's console lines, and stays on the data model for the error box.
    void solverReasonReachesTheUser_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QString>("reason");
        QTest::newRow("last line of its error output")
            << QByteArray("echo progress; echo 'warming up' >&2; echo \"ca.exe: $3: the table is all zeros\" >&2; exit 1")
            << "the table is all zeros";
        QTest::newRow("silent failure")
            << QByteArray("exit 3") << "failed with exit code 3";
        QTest::newRow("killed")
            << QByteArray("kill -9 $$") << "stopped before finishing";
        QTest::newRow("endless error output is cut to its tail")
            << QByteArray("i=0; while [ $i -lt 3000 ]; do echo \"noise line $i\" >&2; i=$((i+1)); done; echo 'ca.exe: the real reason' >&2; exit 1")
            << "ca.exe: the real reason";
    }
    void solverReasonReachesTheUser()
    {
        QFETCH(QByteArray, script);
        QFETCH(QString, reason);
        const QString folder = dir.filePath(QStringLiteral("failing %1").arg(QTest::currentDataTag()));
        const QString table = writeTable(folder);
        CAData::casolver = failingSolver(script);
        Console::Capture capture;
        CAData d(true);
        d.fileF = table;
        QVERIFY(!d.read());
        const QStringList all = capture.all();
        const QString open = "Cannot open file '" + table + "_Z.txt' for reeading";
        QVERIFY2(all.contains(open), qPrintable(all.join('\n')));
        QCOMPARE(all.last(), "err: " + d.solverError);
        QVERIFY2(d.solverError.contains(reason), qPrintable(d.solverError));
        QVERIFY(all.indexOf(open) < all.size() - 1);
        QVERIFY(!d.solverError.contains("noise"));
    }

    // The bundled solver's refusal, as the user sees it on the console.
    void realSolverRefusalIsShown()
    {
        const QString solver = qEnvironmentVariable("ORTELIS_BIN_DIR") + "/ca.exe";
        if (!QFileInfo(solver).isExecutable())
            QSKIP("the solver is not built");
        CAData::casolver = solver;
        const QString folder = dir.filePath("refused");
        QDir().mkpath(folder);
        QFile table(folder + "/zeros.txt");
        QVERIFY(table.open(QIODevice::WriteOnly));
        table.write("3 3\n0 0 0\n0 0 0\n0 0 0\n");
        table.close();
        Console::Capture capture;
        CAData d(true);
        d.fileF = table.fileName();
        QVERIFY(!d.read());
        QCOMPARE(d.solverError, "ca.exe: " + table.fileName() + ": the table is all zeros");
        QCOMPARE(capture.all().last(), "err: " + d.solverError);
    }

    void solverThatCannotStartIsNamed()
    {
        const QString folder = dir.filePath("nostart");
        const QString table = writeTable(folder);
        // Executable, but its interpreter does not exist.
        CAData::casolver = failingSolver("");
        QFile f(CAData::casolver);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("#!/no/such/interpreter\n");
        f.close();
        Console::Capture capture;
        CAData d(true);
        d.fileF = table;
        QVERIFY(!d.read());
        QVERIFY2(d.solverError.contains("cannot start the solver '" + CAData::casolver + "'"),
                 qPrintable(d.solverError));
    }

    void argumentsAndDerivedNames_data()
    {
        QTest::addColumn<int>("axes");
        QTest::addColumn<int>("asked");
        QTest::newRow("no AXIS") << 0 << 0;
        QTest::newRow("AXIS 5") << 5 << 5;
        QTest::newRow("AXIS 1 still asks for the map's two axes") << 1 << 2;
    }
    void argumentsAndDerivedNames()
    {
        QFETCH(int, axes);
        QFETCH(int, asked);
        const QString folder = dir.filePath(QStringLiteral("run %1").arg(axes));
        const QString table = writeTable(folder);
        CAData::casolver = fakeSolver();
        Console::Capture capture;
        CAData d(true);
        d.baseDir = folder;
        d.fileF = "my table.txt";
        d.fileZ = "stale_Z.txt"; // replaced, as LAMBDA is missing
        d.nbAxis = axes;
        QVERIFY(d.read());
        QCOMPARE(recordedArguments(folder), (QStringList{"-k", QString::number(asked), table, table}));
        QCOMPARE(d.fileZ, table + "_Z.txt");
        QCOMPARE(d.fileLambda, table + "_Lambda.txt");
        QCOMPARE(capture.out().at(1), CAData::casolver);
        QCOMPARE(d.nbAxis, axes == 1 ? 1 : 2);
        QCOMPARE(d.Q[2], 0.4);
    }

    void unusableSolverAsksAndCancelStillLoadsOldResults()
    {
        const QString folder = dir.filePath("cancel");
        const QString table = writeTable(folder);
        CAData::casolver = fakeSolver();
        {
            Console::Capture capture;
            CAData first(true);
            first.fileF = table;
            QVERIFY(first.read());
        }
        QFile::remove(folder + "/args.txt");
        CAData::casolver = dir.filePath("no-such-solver");
        QString caption;
        QTimer::singleShot(0, this, [&caption] {
            if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
                caption = dialog->windowTitle();
                dialog->reject();
            }
        });
        Console::Capture capture;
        CAData d(true);
        d.fileF = table;
        QVERIFY(d.read()); // the earlier results beside the table
        QCOMPARE(caption, QStringLiteral("Choose CA application file"));
        QVERIFY(recordedArguments(folder).isEmpty());
        QCOMPARE(CAData::casolver, dir.filePath("no-such-solver"));
    }

    void projectNamingOnlyTheTableOpensWithTheRealSolver()
    {
        const QString solver = qEnvironmentVariable("ORTELIS_BIN_DIR") + "/ca.exe";
        if (!QFileInfo(solver).isExecutable())
            QSKIP("the solver is not built");
        CAData::casolver = solver;
        const QString folder = dir.filePath("real");
        QDir().mkpath(folder);
        QFile table(folder + "/t.txt");
        QVERIFY(table.open(QIODevice::WriteOnly));
        table.write("4 5\n5 1 0 0 1\n4 2 1 0 0\n0 1 6 5 1\n0 0 5 6 2\n");
        table.close();
        QFile project(folder + "/project.xml");
        QVERIFY(project.open(QIODevice::WriteOnly));
        project.write("<XML><BASE href='.'/><AXIS number='2'/><FILE name='F' path='t.txt'/></XML>");
        project.close();

        Console::Capture capture;
        XMLParser parser(folder);
        parser.parse(&project);
        std::unique_ptr<CAData> d(parser.data);
        QVERIFY(d->read());
        QCOMPARE(d->nbAxis, 2);
        QCOMPARE(d->nbImages, 4);
        QCOMPARE(d->nbWords, 5);
        double mass = 0;
        for (int i = 0; i < 4; ++i)
            mass += d->P[i];
        QVERIFY(qAbs(mass - 1) < 1e-9);
    }
};

QTEST_MAIN(TestLaunchCA)
#include "tst_launchca.moc"
