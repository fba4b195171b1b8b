#include "shell/helpdialog.h"

#include <QDialogButtonBox>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

QString icon(const char *name)
{
    return QStringLiteral("<img src=\":/images/%1.png\" width=\"24\" height=\"24\"> ")
        .arg(QLatin1String(name));
}

} // namespace

HelpDialog::HelpDialog(QWidget *parent) : QDialog(parent), m_browser(new QTextBrowser(this))
{
    setWindowTitle(tr("Getting started - Ortelis"));
    m_browser->setHtml(page());
    m_browser->setOpenExternalLinks(false);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_browser);
    layout->addWidget(buttons);
    resize(720, 640);
}

QString HelpDialog::page()
{
    return tr(
        "<h2>Getting started</h2>"
        "<p>Ortelis shows the Correspondence Analysis of an image collection: every image and "
        "every visual word is a point on two factorial axes. Images that share words lie close "
        "together; words typical of a group of images lie near them.</p>"

        "<h3>The map</h3>"
        "<ul>"
        "<li><b>Red crosses</b> are images; <b>small blue circles</b> are visual words.</li>"
        "<li><b>Hollow diamonds</b> are supplementary images: placed on the axes without "
        "taking part in them, never filtered by the threshold. In the panes they are numbered "
        "after the images. View &gt; Selection &gt; Make selected images supplementary "
        "analyses the map again without the images of the last outline; chosen before any "
        "outline, it sets aside the images of the next one instead of extracting them.</li>"
        "<li>The <b>blue circle</b> around the cursor is the hover radius: the images inside "
        "it get <b>green squares</b>, the words inside it are <b>filled blue</b>. The focus, "
        "the image or word under the cursor, is <b>yellow</b> inside a dark green ring "
        "(an image) or square (a word).</li>"
        "<li>The <b>outline</b> drawn in selection mode encloses the images and words to "
        "analyse again on their own: they open in a new window.</li>"
        "<li>An <b>edge marker</b>, an arrow at the border of the map with a number, counts "
        "the drawn points that lie off the map in that direction; click it to bring them "
        "into view. <b>Fit all</b> (Ctrl+0) shows the bulk of the images and leaves the far "
        "ones to the markers; <b>Fit all points</b> (Ctrl+Shift+0) shows every drawn "
        "point.</li>"
        "<li>A number such as <b>\u00d712</b> beside a point says that 12 points lie on that "
        "very pixel (images with identical rows, for instance): zoom in or hover it to see "
        "them in the panes.</li>"
        "</ul>"

        "<h3>The panes</h3>"
        "<ul>"
        "<li>The upper pane shows the images around the cursor, <b>one square per map "
        "cell</b>. The <b>green badge</b> (top left) counts the images of the cell; the "
        "<b>yellow badge</b> (bottom right) is the number of the image shown.</li>"
        "<li>The <b>red outline</b> marks the cell of the focused image; the lower pane shows "
        "every image of that cell, larger.</li>"
        "<li><b>Keypoint colours</b>: the coloured ellipses are the keypoints of the words "
        "within the hover circle, one colour per word, with a red cross at their centre. "
        "The same word has the same colour in every image.</li>"
        "<li>A gray square with an ellipsis is a picture still being read; a plain gray "
        "square is a picture that cannot be read.</li>"
        "<li>Rest the mouse on a square for the file name and category.</li>"
        "</ul>"

        "<h3>The mouse</h3>"
        "<ul>"
        "<li><b>Hover</b>: move over the map; the panes follow. Moving on to the panes keeps "
        "what they show.</li>"
        "<li><b>Left click</b> on the map locks everything (the status bar says so); click "
        "again to unlock. <b>Right click</b> locks only the images: the keypoints still "
        "follow the words under the cursor.</li>"
        "<li><b>Shift+right click</b> on a word: its menu, with <b>Images with this word</b> "
        "(the images richest in it, with only its keypoints drawn). A word's row in the Axes "
        "dock has the same command (right click).</li>"
        "<li><b>Click</b> a square of a pane to focus its image on the map; "
        "<b>double click</b> to open it at full size, with its keypoints (press K to hide "
        "them).</li>"
        "<li>%1<b>Hand</b> mode: drag to move the map. %2<b>Selection</b> mode: draw an "
        "outline around points to analyse them again. %3<b>Normal</b> mode: hover.</li>"
        "</ul>"

        "<h3>The tool bar</h3>"
        "<ul>"
        "<li>%4 open a project (also File &gt; Open Recent, or drop a project file on the "
        "window).</li>"
        "<li>%5 thumbnails of the focused image with its keypoints, "
        "%6 the magic lens, %7 word points, %8 image points, %9 the information card.</li>"
        "<li>%10 switches the neighbourhood between the hover circle and the images most "
        "like the focused one.</li>"
        "<li>%11 %12 zoom in and out.</li>"
        "<li><b>Radius</b> sets the hover circle, <b>Threshold</b> hides points that "
        "contribute little, <b>Cell size</b> sets how much of the map a pane square "
        "gathers.</li>"
        "<li><b>[x axis]</b> and <b>[y axis]</b> choose the two axes shown: type the numbers "
        "and press Enter or %13 Refresh.</li>"
        "</ul>"
        "<p>In the <b>Categories</b> panel, rest the mouse on a category to read how well its "
        "images keep together on the axes shown: of each image's ten nearest there, the share "
        "in the same category, beside that share at random.</p>"
        "<p>Window &gt; Tile and Cascade arrange several analyses; Ctrl+W closes the active "
        "one.</p>")
        .arg(icon("hand"), icon("select"), icon("arrow"), icon("open"), icon("eyes"),
             icon("dragon"), icon("show_word"), icon("show_image"), icon("show_info"))
        .arg(icon("find"), icon("zoom_in"), icon("zoom_out"), icon("refresh"))
        + keys();
}

QString HelpDialog::keys()
{
    return tr(
        "<h3>Finding and the keyboard</h3>"
        "<p><b>Find</b> (the field in the tool bar) takes part of a file name, an image's "
        "number in the whole collection (an extracted view answers to the same numbers), a "
        "category name, or <b>w</b> and a word's vocabulary number. Enter flies the map to the "
        "first match, focuses and labels it; a match the threshold or its category hides is "
        "shown anyway, marked hidden. View &gt; Labels chooses what carries labels.</p>"
        "<table cellspacing=\"4\">"
        "<tr><td><b>Ctrl+F</b></td><td>Find: to the search field</td></tr>"
        "<tr><td><b>F3</b>, <b>Shift+F3</b></td><td>next, previous match (the status bar "
        "says which of how many)</td></tr>"
        "<tr><td><b>Arrow keys</b></td><td>move the map a tenth of the view; with "
        "<b>Shift</b>, half of it</td></tr>"
        "<tr><td><b>+</b> or <b>=</b>, <b>-</b></td><td>zoom in, out</td></tr>"
        "<tr><td><b>Ctrl+0</b></td><td>Fit all: the bulk of the images in the view, edge "
        "markers counting the others</td></tr>"
        "<tr><td><b>Ctrl+Shift+0</b></td><td>Fit all points: every drawn point in the "
        "view</td></tr>"
        "<tr><td><b>Tab</b>, <b>Shift+Tab</b></td><td>focus the next, previous image of the "
        "neighbourhood, nearest the cursor first</td></tr>"
        "<tr><td><b>Enter</b></td><td>open the focused image at full size</td></tr>"
        "<tr><td><b>Menu</b></td><td>the menu of the word under the cursor or focused (Images "
        "with this word); no click is needed first</td></tr>"
        "<tr><td><b>Esc</b></td><td>clear the focus and the labels of found points; closes a "
        "full-size image</td></tr>"
        "<tr><td><b>K</b></td><td>show or hide the keypoints in the panes and in a full-size "
        "image</td></tr>"
        "<tr><td><b>Ctrl+O</b></td><td>open a project</td></tr>"
        "<tr><td><b>Ctrl+Shift+S</b></td><td>save the analysis as</td></tr>"
        "<tr><td><b>Ctrl+C</b></td><td>copy the file names of the images around the cursor</td></tr>"
        "<tr><td><b>Ctrl+Tab</b>, <b>Ctrl+Shift+Tab</b></td><td>next, previous window</td></tr>"
        "<tr><td><b>Ctrl+W</b></td><td>close the active window</td></tr>"
        "<tr><td><b>F1</b></td><td>this page</td></tr>"
        "<tr><td><b>Ctrl+Q</b></td><td>quit</td></tr>"
        "</table>");
}
