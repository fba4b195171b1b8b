// The installed tree: `cmake --install` into a temporary prefix puts the
// programs, the desktop entry and the icon in place, and the installed viewer
// starts and opens a project, solving it with the solver installed beside it.

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

class TestInstall : public QObject
{
    Q_OBJECT

    QTemporaryDir prefix;

private slots:
    void installTreeHasEverything();
    void installedViewerOpensAProject();
};

void TestInstall::installTreeHasEverything()
{
    QVERIFY(prefix.isValid());
    QProcess install;
    install.setProcessChannelMode(QProcess::MergedChannels);
    install.start(QStringLiteral(ORTELIS_CMAKE),
                  {"--install", QStringLiteral(ORTELIS_BUILD_DIR), "--prefix", prefix.path()});
    QVERIFY(install.waitForFinished(120000));
    QVERIFY2(install.exitCode() == 0, install.readAll().constData());

    for (const char *program : {"bin/ortelis", "bin/ca.exe", "bin/ortelis-index",
                                "bin/ortelis-demo"}) {
        const QFileInfo info(prefix.filePath(QLatin1String(program)));
        QVERIFY2(info.isFile() && info.isExecutable(), program);
    }
    for (const char *file : {"share/applications/ortelis.desktop",
                             "share/icons/hicolor/32x32/apps/ortelis.png",
                             "share/icons/hicolor/scalable/apps/ortelis.svg"})
        QVERIFY2(QFileInfo(prefix.filePath(QLatin1String(file))).isFile(), file);

    // The desktop entry starts the viewer by name with its icon.
    QSettings desktop(prefix.filePath("share/applications/ortelis.desktop"), QSettings::IniFormat);
    desktop.beginGroup("Desktop Entry");
    QCOMPARE(desktop.value("Exec").toString(), QStringLiteral("ortelis %F"));
    QCOMPARE(desktop.value("Icon").toString(), QStringLiteral("ortelis"));
    QCOMPARE(desktop.value("Type").toString(), QStringLiteral("Application"));
}

void TestInstall::installedViewerOpensAProject()
{
    const QString viewer = prefix.filePath("bin/ortelis");
    if (!QFileInfo(viewer).isExecutable())
        QSKIP("installTreeHasEverything did not install");

    // A project naming only its table: opening it runs the solver, which the
    // installed viewer must find beside itself.
    QTemporaryDir work;
    QFile table(work.filePath("t.txt"));
    QVERIFY(table.open(QIODevice::WriteOnly));
    table.write("4 5\n5 1 0 0 1\n4 2 1 0 0\n0 1 6 5 1\n0 0 5 6 2\n");
    table.close();
    QFile project(work.filePath("project.xml"));
    QVERIFY(project.open(QIODevice::WriteOnly));
    project.write("<XML><BASE href='.'/><AXIS number='2'/><FILE name='F' path='t.txt'/></XML>");
    project.close();

    QProcess run;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("HOME", work.path()); // its settings stay in the test's folder
    env.insert("XDG_CONFIG_HOME", work.filePath("config"));
    run.setProcessEnvironment(env);
    // Started from elsewhere: the solver is found beside the program, not in
    // the working folder.
    run.setWorkingDirectory(QDir::rootPath());
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(viewer, {work.filePath("project.xml")});
    QVERIFY(run.waitForStarted(10000));
    QByteArray output;
    QElapsedTimer timer;
    timer.start();
    while (!output.contains("Nb_axis = 2") && timer.elapsed() < 60000
           && run.state() == QProcess::Running) {
        run.waitForReadyRead(500);
        output += run.readAll();
    }
    const bool loaded = output.contains("Nb_axis = 2");
    run.kill();
    run.waitForFinished(10000);
    QVERIFY2(loaded, output.constData());
    QVERIFY(QFileInfo(work.filePath("t.txt_Z.txt")).isFile());
}

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
