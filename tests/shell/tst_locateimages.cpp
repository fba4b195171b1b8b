// Images not found where the project says: the status bar says how many and
// where they were looked for; File > Locate images... takes them from the
// folder the user names, and the session and Save analysis as keep it.
#include "data/model/cadata.h"
#include "data/model/imagelocator.h"
#include "document/camdichild.h"
#include "shell/camainwindow.h"

#include "tests/document/documentfixture.h"

#include <QImage>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

class TestLocateImages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void census_data();
    void census();
    void locateKeepsTheFolder();

private:
    // Writes a small picture for each image in `images` under `folder`.
    static void writeImages(const QString &folder, const QList<int> &images);
    QTemporaryDir m_dir;
};

void TestLocateImages::initTestCase()
{
    QVERIFY(m_dir.isValid());
    DocumentFixture::useScratchFolders(m_dir.path());
}

void TestLocateImages::writeImages(const QString &folder, const QList<int> &images)
{
    QDir().mkpath(folder);
    QImage picture(8, 6, QImage::Format_RGB32);
    picture.fill(Qt::darkGreen);
    for (int i : images)
        picture.save(QDir(folder).filePath(DocumentFixture::imageFile(i)));
}

void TestLocateImages::census_data()
{
    QTest::addColumn<QList<int>>("present");
    QTest::addColumn<QString>("message"); // %1: the project folder
    QList<int> all;
    for (int i = 0; i < 60; ++i)
        all << i;
    QTest::newRow("all there") << all << QString();
    QTest::newRow("three there") << QList<int>{0, 7, 59} << QStringLiteral("57 of 60 images not found under %1");
    QTest::newRow("none there") << QList<int>{} << QStringLiteral("60 of 60 images not found under %1");
}

void TestLocateImages::census()
{
    QFETCH(QList<int>, present);
    QFETCH(QString, message);
    const QString folder = m_dir.filePath(QStringLiteral("census_%1").arg(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('_')));
    const QString project = DocumentFixture::writeProject(folder, {});
    writeImages(folder, present);
    CAMainWindow main;
    QVERIFY(main.open(project));
    const QString shown = main.statusBar()->currentMessage();
    if (message.isEmpty()) {
        QCOMPARE(shown, QStringLiteral("Ready"));
        return;
    }
    QVERIFY2(shown.startsWith(message.arg(QDir::toNativeSeparators(QFileInfo(project).absolutePath()))),
             qPrintable(shown));
}

void TestLocateImages::locateKeepsTheFolder()
{
    const QString folder = m_dir.filePath(QStringLiteral("moved_project"));
    const QString project = DocumentFixture::writeProject(folder, {});
    const QString now = m_dir.filePath(QStringLiteral("pictures_now"));
    QList<int> most;
    for (int i = 0; i < 58; ++i)
        most << i;
    writeImages(now, most);
    const QString empty = m_dir.filePath(QStringLiteral("empty"));
    QDir().mkpath(empty);

    CAMainWindow main;
    QVERIFY(main.open(project));
    CAMdiChild *child = main.activeMdiChild();
    QVERIFY(child && main.locateImagesAct->isEnabled());
    const QString from = ImageLocator::root(*child->data);
    QCOMPARE(from, QFileInfo(project).absolutePath());

    // A folder without them changes nothing.
    QString error;
    QVERIFY(!main.relocateImages(child, from, empty, &error));
    QVERIFY2(error.contains(empty), qPrintable(error));
    QCOMPARE(child->data->labels[0].imageFile, DocumentFixture::imageFile(0));

    QVERIFY2(main.relocateImages(child, from, now, &error), qPrintable(error));
    QCOMPARE(child->data->labels[5].imageFile, QDir(now).filePath(DocumentFixture::imageFile(5)));
    QCOMPARE(main.statusBar()->currentMessage(),
             QStringLiteral("2 of 60 images not found under %1").arg(QDir::toNativeSeparators(now)));

    // Kept with the session.
    const QString session = m_dir.filePath(QStringLiteral("s.json"));
    QVERIFY2(main.saveSessionTo(session, true, &error), qPrintable(error));
    {
        CAMainWindow again;
        QStringList missing;
        QVERIFY2(again.openSessionFrom(session, &missing, &error), qPrintable(error));
        QCOMPARE(again.workspace->subWindowList().size(), 1);
        CAMdiChild *restored = qobject_cast<CAMdiChild *>(again.workspace->subWindowList().first()->widget());
        QCOMPARE(restored->data->labels[5].imageFile, QDir(now).filePath(DocumentFixture::imageFile(5)));
        QCOMPARE(restored->imagesTo, QDir::cleanPath(now));
        QCOMPARE(ImageLocator::census(*restored->data).missing, 2);
    }

    // And in a saved analysis: it opens with its images found.
    const QString saved = m_dir.filePath(QStringLiteral("saved"));
    QVERIFY2(child->saveAnalysisTo(saved, false, &error), qPrintable(error));
    CAMdiChild reopened;
    QVERIFY(reopened.loadFile(QDir(saved).filePath(QStringLiteral("project.xml"))));
    QCOMPARE(ImageLocator::census(*reopened.data).missing, 2);
    QCOMPARE(QDir::cleanPath(reopened.data->resolve(reopened.data->labels[5].imageFile)),
             QDir(now).filePath(DocumentFixture::imageFile(5)));
}

QTEST_MAIN(TestLocateImages)
#include "tst_locateimages.moc"
