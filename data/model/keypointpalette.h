#ifndef KEYPOINTPALETTE_H
#define KEYPOINTPALETTE_H

#include <QColor>
#include <QList>

// The colours keypoints are drawn in, by their word label: the map's
// thumbnails and the detail panes of one window use the palette of that
// window's map, so opening another analysis never recolours a window already
// open.
class KeypointPalette
{
public:
    // The six colours of a map without data.
    static QList<QColor> defaults();
    // One colour per word, from red through yellow, green, cyan and blue to
    // magenta, for a vocabulary of n > 6 words.
    static QList<QColor> ramp(int n);
    // The colour of a keypoint of word label `word`: palette[word mod size].
    // Never indexes outside the palette (negative labels); an empty palette
    // gives red.
    static QColor colour(const QList<QColor> &palette, int word);
};

#endif // KEYPOINTPALETTE_H
