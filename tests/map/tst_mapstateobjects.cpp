// The map's own state changed through its setters: each change takes one
// invalidation step (stateChanged, then a repaint), a setter that changes
// nothing takes none, and the geometry is the view's own.

#include "tst_caview_fixture.h"
#include "tst_interaction_fixture.h"

#include "map/mapstate.h"

#include <QSignalSpy>
#include <QtTest>

using namespace interaction;

namespace {

// Counts the paint events a widget receives.
class PaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

NamedGroup group(const QString &name, QVector<int> images)
{
    NamedGroup g;
    g.name = name;
    g.colour = QColor(0x33, 0x66, 0x99);
    g.images = std::move(images);
    return g;
}

enum Step {
    AppendGroup,
    RemoveGroup,
    RemoveMissingGroup,
    RenameGroup,
    RenameSame,
    RecolourGroup,
    HideGroup,
    ShowShownGroup,
    OutlineGroup,
    SetSameList,
    LabelSources,
    LabelSameSources,
    LabelColumn,
    FoundImage,
    ClearFound,
    ClearNothingFound,
};

} // namespace

class TestMapStateObjects : public QObject
{
    Q_OBJECT

private slots:
    void settersInvalidateOnce_data();
    void settersInvalidateOnce();
    void selectionSetter();
    void canvasShiftKeptInRange_data();
    void canvasShiftKeptInRange();
    void sessionKeepsTheViewsGeometry();
};

void TestMapStateObjects::settersInvalidateOnce_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<bool>("changes");

    QTest::newRow("append a group") << int(AppendGroup) << true;
    QTest::newRow("remove a group") << int(RemoveGroup) << true;
    QTest::newRow("remove past the end") << int(RemoveMissingGroup) << false;
    QTest::newRow("rename") << int(RenameGroup) << true;
    QTest::newRow("rename to the same name") << int(RenameSame) << false;
    QTest::newRow("recolour") << int(RecolourGroup) << true;
    QTest::newRow("hide") << int(HideGroup) << true;
    QTest::newRow("show a shown group") << int(ShowShownGroup) << false;
    QTest::newRow("outline") << int(OutlineGroup) << true;
    QTest::newRow("the same list") << int(SetSameList) << false;
    QTest::newRow("label sources") << int(LabelSources) << true;
    QTest::newRow("the same label sources") << int(LabelSameSources) << false;
    QTest::newRow("label column") << int(LabelColumn) << true;
    QTest::newRow("a found image") << int(FoundImage) << true;
    QTest::newRow("clear the found point") << int(ClearFound) << true;
    QTest::newRow("clear with nothing found") << int(ClearNothingFound) << false;
}

void TestMapStateObjects::settersInvalidateOnce()
{
    QFETCH(int, step);
    QFETCH(bool, changes);

    auto d = makeData({{1000, 750}, {1040, 700}, {900, 800}}, {{1100, 700}});
    CAView view(0, 1, 2);
    fixture::resizeNow(view, 800, 600);
    attach(view, d.get());
    const QVector<NamedGroup> start = {group(QStringLiteral("a"), {0, 1}), group(QStringLiteral("b"), {2})};
    view.groups().setList(start);
    if (step == ClearFound)
        view.flyTo(CAView::ImageLayer, 1);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    PaintCounter counter;
    view.installEventFilter(&counter);
    QCoreApplication::processEvents();
    counter.paints = 0;
    QSignalSpy spy(&view, &CAView::stateChanged);

    MapGroups &groups = view.groups();
    MapLabelling &labels = view.labelling();
    QVector<NamedGroup> expected = start;
    switch (Step(step)) {
    case AppendGroup:
        groups.append(group(QStringLiteral("c"), {1}));
        expected.append(group(QStringLiteral("c"), {1}));
        break;
    case RemoveGroup:
        groups.removeAt(0);
        expected.removeAt(0);
        break;
    case RemoveMissingGroup:
        groups.removeAt(2);
        break;
    case RenameGroup:
        groups.setName(1, QStringLiteral("renamed"));
        expected[1].name = QStringLiteral("renamed");
        break;
    case RenameSame:
        groups.setName(1, QStringLiteral("b"));
        break;
    case RecolourGroup:
        groups.setColour(0, Qt::red);
        expected[0].colour = Qt::red;
        break;
    case HideGroup:
        groups.setVisible(1, false);
        expected[1].visible = false;
        break;
    case ShowShownGroup:
        groups.setVisible(1, true);
        break;
    case OutlineGroup:
        groups.setOutline(0, true);
        expected[0].outline = true;
        break;
    case SetSameList:
        groups.setList(start);
        break;
    case LabelSources:
        labels.setSources(CAView::LabelFound | CAView::LabelGroups);
        QCOMPARE(labels.sources(), CAView::LabelFound | CAView::LabelGroups);
        break;
    case LabelSameSources:
        labels.setSources(CAView::LabelFound);
        break;
    case LabelColumn:
        labels.setColumn(CAView::LabelNumber);
        QCOMPARE(labels.column(), int(CAView::LabelNumber));
        break;
    case FoundImage:
        labels.setFound(false, 2, true);
        QCOMPARE(labels.foundImages(), QVector<int>{2});
        QCOMPARE(labels.forcedImage(), 2);
        break;
    case ClearFound:
        QCOMPARE(labels.foundImages(), QVector<int>{1});
        labels.clearFound();
        QVERIFY(labels.foundImages().isEmpty());
        break;
    case ClearNothingFound:
        labels.clearFound();
        break;
    }
    QCOMPARE(groups.list(), expected);

    QCOMPARE(spy.size(), changes ? 1 : 0);
    if (changes) {
        QCOMPARE(spy.at(0).at(0).toInt(), int(MapChange::Repaint));
        QTRY_VERIFY(counter.paints > 0);
    } else {
        QTest::qWait(30);
        QCOMPARE(counter.paints, 0);
    }
}

// A named group analysed becomes the selection, as an outline would leave
// it: the left-out counts of an earlier outline no longer apply.
void TestMapStateObjects::selectionSetter()
{
    auto d = makeData({{1000, 750}, {1040, 700}, {900, 800}}, {{1100, 700}});
    CAView view(0, 1, 2);
    fixture::resizeNow(view, 800, 600);
    attach(view, d.get());
    view.imageThreshold = 1000;
    view.wordThreshold = 1000;
    view.setMode(CAView::ModeSelection);
    press(view, QPoint(0, 0));
    drag(view, QPoint(799, 0));
    drag(view, QPoint(799, 599));
    drag(view, QPoint(0, 599));
    release(view, QPoint(0, 599));
    QCOMPARE(view.leftOutImages(), 3);
    QCOMPARE(view.leftOutWords(), 1);

    view.setSelection({0, 2}, {0});
    QCOMPARE(view.selectedImages, (QVector<int>{0, 2}));
    QCOMPARE(view.selectedWords, QVector<int>{0});
    QCOMPARE(view.leftOutImages(), 0);
    QCOMPARE(view.selectionSummary(), QStringLiteral("2 images and 1 word selected"));
}

void TestMapStateObjects::canvasShiftKeptInRange_data()
{
    QTest::addColumn<QPoint>("shift");
    QTest::addColumn<QPoint>("kept");

    QTest::newRow("ordinary") << QPoint(120, -45) << QPoint(120, -45);
    QTest::newRow("far right") << QPoint(1 << 30, 0) << QPoint(1 << 27, 0);
    QTest::newRow("far up") << QPoint(7, -(1 << 30)) << QPoint(7, -(1 << 27));
}

void TestMapStateObjects::canvasShiftKeptInRange()
{
    QFETCH(QPoint, shift);
    QFETCH(QPoint, kept);

    auto d = makeData({{1000, 750}}, {});
    CAView view(0, 1, 2);
    fixture::resizeNow(view, 800, 600);
    attach(view, d.get());
    view.setCanvasShift(shift);
    QCOMPARE(view.canvasShift(), kept);
    // The transform is built from the view's geometry, shift included: the
    // origin of the axes lands kept pixels up and left of the canvas centre.
    const QPoint origin = view.mapTransform().widgetPixel(0, 0);
    QCOMPARE(origin, QPoint(view.originX + 1000 - kept.x(), view.originY + 750 - kept.y()));
}

// A session takes the geometry a user sees from the view and gives it back.
void TestMapStateObjects::sessionKeepsTheViewsGeometry()
{
    auto d = makeData({{1000, 750}, {1040, 700}}, {{1100, 700}});
    CAView view(0, 1, 2);
    fixture::resizeNow(view, 800, 600);
    attach(view, d.get());
    view.setScale(311);
    view.panBy(12, -7, true);
    view.setCanvasShift(QPoint(40, 9));
    view.changeAxis(1, 0, 2);
    const MapState state = MapState::fromJson(MapState::of(view).toJson());

    CAView other(0, 1, 2);
    fixture::resizeNow(other, 640, 480);
    attach(other, d.get());
    state.applyTo(other);
    QCOMPARE(other.scale, 311.0);
    QCOMPARE(QPoint(other.panX, other.panY), QPoint(12, -7));
    QCOMPARE(other.canvasShift(), QPoint(40, 9));
    QCOMPARE(QPoint(other.axis1, other.axis2), QPoint(1, 0));
    // The window's own placement is not taken along.
    QCOMPARE(other.originX, (640 - 2000) / 2);
}

QTEST_MAIN(TestMapStateObjects)
#include "tst_mapstateobjects.moc"
