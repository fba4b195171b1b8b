#ifndef MAPPANELS_H
#define MAPPANELS_H

#include <QMetaObject>
#include <QObject>
#include <QPointer>

class AxesPanel;
class CAMainWindow;
class CAView;
class CategoryLegend;
class QAction;
class QDockWidget;
class QLabel;
class QSlider;
class ScreePanel;
class WordImagesWindow;
class WordToolTip;

// What the main window shows about the active map beside the map itself:
// the "Fit all" and colour commands, the category legend and the scree plot
// (docked, in the View menu), the counts of shown points in the status bar
// and the values of the tool bar's sliders. Follows the active map.
class MapPanels : public QObject
{
    Q_OBJECT

public:
    explicit MapPanels(CAMainWindow *window);

    // The map of the active document window, or null.
    void setView(CAView *view);

    QAction *fitAllPointsAct = nullptr;
    QAction *fitAct = nullptr;
    QAction *colourAct = nullptr;
    // File > Build word atlas...: the pictures of the words, from the
    // keypoint files and the images.
    QAction *buildAtlasAct = nullptr;
    QDockWidget *legendDock = nullptr;
    QDockWidget *screeDock = nullptr;
    CategoryLegend *legend = nullptr;
    ScreePanel *scree = nullptr;
    // What the axes and groups of images mean (words, images, group tests).
    QDockWidget *axesDock = nullptr;
    AxesPanel *axes = nullptr;
    // The exemplar of a word in its tooltip on the map.
    WordToolTip *wordTips = nullptr;
    QLabel *shownLabel = nullptr;
    QLabel *radiusValue = nullptr;
    QLabel *thresholdValue = nullptr;
    QLabel *cellSizeValue = nullptr;

    // "Images shown: N of M · Words shown: K of L" for `view`.
    static QString shownText(const CAView *view);

    // "Images with this word": the images of the active map richest in word
    // `word`, in a window of their own (the one opened last).
    WordImagesWindow *openWordImages(int word);
    QPointer<WordImagesWindow> lastWordImages;
    // The menu of a word of the map (Shift + right button on it).
    void showWordMenu(int word, const QPoint &globalPos);

private:
    void refresh();
    void fitAll();
    void fitIfLayoutChanged();
    void setColours(bool on);
    void pickAxes(int x, int y);
    void describeCategory(int category);
    void buildAtlas();
    QLabel *valueLabel(QSlider *slider);

    CAMainWindow *m_window;
    QPointer<CAView> m_view;
    QMetaObject::Connection m_layer;
    QMetaObject::Connection m_wordMenu;
    bool m_legendOffered = false;
    bool m_axesSized = false;
};

#endif // MAPPANELS_H
