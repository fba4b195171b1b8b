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
    // The docks were put where a session had them: they are not opened for
    // the first map any more.
    void docksPlaced() { m_legendOffered = m_screeOffered = true; }

protected:
    // On the map: it takes the keyboard when the mouse comes over it (unless
    // one is typing elsewhere), and the Menu key opens the menu of the word
    // focused or under the cursor, with no click that would lock the hover.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void refresh();
    void fitAll();
    void fitIfLayoutChanged();
    void setColours(bool on);
    void pickAxes(int x, int y);
    void describeCategory(int category);
    void buildAtlas();
    // A label after `slider` in the tool bar showing its value through
    // `format` (%1 and its unit).
    QLabel *valueLabel(QSlider *slider, const QString &format);
    QLabel *valueLabelOf(QSlider *slider) const;

    CAMainWindow *m_window;
    QPointer<CAView> m_view;
    QMetaObject::Connection m_layer;
    QMetaObject::Connection m_wordMenu;
    bool m_legendOffered = false;
    bool m_screeOffered = false;
    bool m_axesSized = false;
};

#endif // MAPPANELS_H
