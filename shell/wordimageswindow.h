#ifndef WORDIMAGESWINDOW_H
#define WORDIMAGESWINDOW_H

#include "data/model/wordimages.h"

#include <QColor>
#include <QList>
#include <QPointer>
#include <QWidget>

#include <vector>

class CAData;
class CAView;
class QLabel;
class QProgressBar;
class QScrollArea;
class TableStore;
class WordImagesPane;

// "Images with this word": the images richest in one word of a map, in a
// window of their own, with that word's keypoints drawn over them. The
// word's counts come from the analysed table; while it is read (on a worker
// thread) the window shows how far along it is.
class WordImagesWindow : public QWidget
{
    Q_OBJECT

public:
    // Word `word` (a column of `view`'s analysis).
    WordImagesWindow(CAView *view, int word, TableStore *tables, QWidget *parent = nullptr);

    int word() const { return m_word; }
    const CAData *data() const { return m_data; }
    // The images listed, richest first, once the table is read.
    const std::vector<WordImages::Image> &images() const { return m_images; }
    bool isFilled() const { return m_filled; }

    WordImagesPane *pane = nullptr;
    QLabel *note = nullptr;
    QProgressBar *progress = nullptr;
    QLabel *exemplar = nullptr;

    // Images listed at most, by the windows opened from now on.
    static int top;

signals:
    // The images are listed (or the table could not be read: note says why).
    void filled();

private:
    void fill();

    QPointer<CAData> m_data;
    QPointer<TableStore> m_tables;
    int m_word;
    int m_label;
    int m_top;
    QList<QColor> m_palette;
    std::vector<WordImages::Image> m_images;
    bool m_filled = false;
    QScrollArea *m_area = nullptr;
};

#endif // WORDIMAGESWINDOW_H
