// What Find matches: numbers, file names, categories and words, best first,
// with ties in the analysis's order; hidden points and extracts alike.
#include "data/model/cadata.h"
#include "map/mapsearch.h"
#include "tst_caview_fixture.h"

#include <QtTest>

namespace {

using Hits = QVector<SearchHit>;

SearchHit img(int i)
{
    return {SearchHit::Image, i};
}

SearchHit word(int j)
{
    return {SearchHit::Word, j};
}

// Six images of two categories; words labelled 100, 101, 102.
std::unique_ptr<CAData> collection()
{
    auto d = fixture::makeData({{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}},
                               {{0, 1}, {1, 1}, {2, 1}}, {0.5, 0.25});
    const QStringList files = {
        QStringLiteral("stars/cat.png"), // same name as 2, other folder
        QStringLiteral("stars/shapes__stars__star_62pt25step.png"),
        QStringLiteral("animals/cat.png"),
        QStringLiteral("animals/star_62pt25step.png"), // same name, other folder
        QStringLiteral("animals/Starfish.PNG"),
        QStringLiteral("animals/dog_3.png"),
    };
    const int categories[] = {1, 1, 2, 2, 2, 2};
    d->labels.reset(new ImageLabel[6]);
    for (int i = 0; i < 6; ++i)
        d->labels[i] = ImageLabel{categories[i], files.at(i)};
    d->categoryNames.insert(1, QStringLiteral("stars"));
    d->categoryNames.insert(2, QStringLiteral("fauna"));
    const int labels[] = {100, 101, 102};
    d->setWordLabel(3, labels);
    return d;
}

} // namespace

Q_DECLARE_METATYPE(Hits)

class TestMapSearch : public QObject
{
    Q_OBJECT

private slots:
    void matches_data();
    void matches();
    void extractKeepsCollectionNumbers();
    void completionsListNamesOnce();
};

void TestMapSearch::matches_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<Hits>("expected");

    QTest::newRow("empty") << QString() << Hits{};
    QTest::newRow("blank") << QStringLiteral("   ") << Hits{};
    QTest::newRow("nothing") << QStringLiteral("zebra") << Hits{};
    // Two files of the same name in two folders: a tie, kept in order.
    QTest::newRow("tie on a full name") << QStringLiteral("star_62pt25step.png")
                                        << Hits{img(3), img(1)};
    // Name starts (3: star_62..., 4: Starfish) before paths that only
    // contain it (0: stars/cat.png, 1: shapes__stars__star...), any case.
    QTest::newRow("starts before contains") << QStringLiteral("STAR")
                                            << Hits{img(3), img(4), img(0), img(1)};
    QTest::newRow("part of a name") << QStringLiteral("62pt25") << Hits{img(1), img(3)};
    // The image numbered 3, then the file names holding a 3.
    QTest::newRow("number") << QStringLiteral("3") << Hits{img(3), img(5)};
    QTest::newRow("number, then names") << QStringLiteral("2") << Hits{img(2), img(1), img(3)};
    QTest::newRow("number with #") << QStringLiteral("#2") << Hits{img(2)};
    QTest::newRow("folder") << QStringLiteral("animals/")
                            << Hits{img(2), img(3), img(4), img(5)};
    // Names no file holds: the images of the category.
    QTest::newRow("category") << QStringLiteral("Fauna") << Hits{img(2), img(3), img(4), img(5)};
    QTest::newRow("part of a category") << QStringLiteral("aun")
                                        << Hits{img(2), img(3), img(4), img(5)};
    QTest::newRow("word") << QStringLiteral("w101") << Hits{word(1)};
    QTest::newRow("word spelt out") << QStringLiteral("Word 102") << Hits{word(2)};
    QTest::newRow("word not in the analysis") << QStringLiteral("w7") << Hits{};
}

void TestMapSearch::matches()
{
    QFETCH(QString, text);
    QFETCH(Hits, expected);
    auto d = collection();
    QCOMPARE(MapSearch::find(*d, text), expected);
}

// An extract of images 1, 3 and 5 of the collection: its rows are 0, 1, 2,
// the same files, and they answer to their collection numbers.
void TestMapSearch::extractKeepsCollectionNumbers()
{
    auto whole = collection();
    auto part = fixture::makeData({{0, 0}, {1, 0}, {2, 0}}, {{0, 1}}, {0.5, 0.25});
    part->labels.reset(new ImageLabel[3]);
    const int rows[] = {1, 3, 5};
    for (int k = 0; k < 3; ++k) {
        part->labels[k] = whole->labels[rows[k]];
        part->collectionNumbers.push_back(rows[k]);
    }
    part->categoryNames = whole->categoryNames;

    QCOMPARE(MapSearch::find(*part, QStringLiteral("#5")), (Hits{img(2)}));
    QCOMPARE(MapSearch::find(*part, QStringLiteral("#1")), (Hits{img(0)}));
    // No row of the extract is image 0 of the collection.
    QCOMPARE(MapSearch::find(*part, QStringLiteral("#0")), Hits{});
    QCOMPARE(MapSearch::find(*part, QStringLiteral("fauna")), (Hits{img(1), img(2)}));
    QCOMPARE(MapSearch::find(*part, QStringLiteral("star_62pt25step.png")),
             (Hits{img(1), img(0)}));
    QCOMPARE(MapSearch::find(*part, QStringLiteral("stars")), (Hits{img(0)}));
    QCOMPARE(part->collectionNumber(1), 3);
    QCOMPARE(whole->collectionNumber(4), 4);
}

void TestMapSearch::completionsListNamesOnce()
{
    auto d = collection();
    const QStringList expected = {
        QStringLiteral("cat.png"),
        QStringLiteral("dog_3.png"),
        QStringLiteral("fauna"),
        QStringLiteral("shapes__stars__star_62pt25step.png"),
        QStringLiteral("star_62pt25step.png"),
        QStringLiteral("Starfish.PNG"),
        QStringLiteral("stars"),
    };
    QCOMPARE(MapSearch::completions(*d), expected);
}

QTEST_GUILESS_MAIN(TestMapSearch)
#include "tst_mapsearch.moc"
