// Images not found where the project says: the status bar tells how many
// and where they were looked for, and File > Locate images... takes them from
// the folder the user points to. Also the switch of the panes' keypoints.
#include "shell/camainwindow.h"

#include "data/model/cadata.h"
#include "data/model/imagelocator.h"
#include "detail/imageview.h"
#include "detail/wordview.h"
#include "document/camdichild.h"
#include "map/caview.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMdiArea>
#include <QMenu>
#include <QMessageBox>
#include <QStatusBar>

void CAMainWindow::createImageActions()
{
    locateImagesAct = new QAction(tr("&Locate images..."), this);
    locateImagesAct->setStatusTip(tr("Show where the images of this analysis are now"));
    connect(locateImagesAct, &QAction::triggered, this, &CAMainWindow::locateImages);
    // After Save analysis as..., among the commands on the analysis.
    fileMenu->insertAction(exportMapAct, locateImagesAct);

    // K, as in the full-size window: the keypoints over the thumbnails of
    // both panes of the active window, shown by default.
    paneKeypointsAct = new QAction(tr("&Keypoints in the panes"), this);
    paneKeypointsAct->setCheckable(true);
    paneKeypointsAct->setChecked(true);
    paneKeypointsAct->setShortcut(QKeySequence(Qt::Key_K));
    paneKeypointsAct->setStatusTip(tr("Show or hide the keypoints over the images of the panes"));
    viewMenu->addSeparator();
    viewMenu->addAction(paneKeypointsAct);
    connect(paneKeypointsAct, &QAction::triggered, this, [this](bool shown) {
        if (CAMdiChild *w = activeMdiChild()) {
            w->wordView->setKeypointsShown(shown);
            w->imageView->setKeypointsShown(shown);
        }
    });
    // Enabled and checked with the other commands on the active analysis.
    updateFileActions();
}

void CAMainWindow::reportMissingImages(CAMdiChild *child)
{
    if (!child || !child->data)
        return;
    const QString message = ImageLocator::notFoundMessage(ImageLocator::census(*child->data));
    if (!message.isEmpty())
        statusBar()->showMessage(tr("%1 (File > Locate images...)").arg(message));
}

bool CAMainWindow::relocateImages(CAMdiChild *child, const QString &from, const QString &to,
                                  QString *error)
{
    if (!child || !child->data || !child->data->labels)
        return false;
    const int found = ImageLocator::foundUnder(*child->data, from, to);
    if (found == 0) {
        if (error)
            *error = QStringLiteral("None of the images of '%1' is under '%2': nothing is changed.")
                         .arg(QDir::toNativeSeparators(from), QDir::toNativeSeparators(to));
        return false;
    }
    ImageLocator::relocate(*child->data, from, to);
    // Kept as the user first saw them: a second relocation of the same
    // window still says where the project put them.
    if (child->imagesFrom.isEmpty())
        child->imagesFrom = from;
    child->imagesTo = QDir::cleanPath(QDir(to).absolutePath());
    child->wordView->thumbnailCache.clear();
    child->imageView->thumbnailCache.clear();
    child->wordView->update();
    child->imageView->update();
    child->caView->update();
    const ImageLocator::Census now = ImageLocator::census(*child->data);
    if (now.missing)
        statusBar()->showMessage(ImageLocator::notFoundMessage(now));
    else
        statusBar()->showMessage(tr("All %1 images found under %2")
                                     .arg(now.total)
                                     .arg(QDir::toNativeSeparators(child->imagesTo)));
    return true;
}

void CAMainWindow::locateImages()
{
    CAMdiChild *child = activeMdiChild();
    if (!child || !child->data || !child->data->labels)
        return;
    const QString from = ImageLocator::root(*child->data);
    const QString start = QFileInfo(from).absolutePath();
    const QString to = QFileDialog::getExistingDirectory(
        this, tr("Locate images (the folder that now holds %1)").arg(QFileInfo(from).fileName()),
        QFileInfo::exists(start) ? start : QDir::homePath());
    if (to.isEmpty())
        return;
    QString error;
    if (!relocateImages(child, from, to, &error))
        QMessageBox::warning(this, QStringLiteral("Ortelis"), error, QMessageBox::Ok);
}
