#ifndef CAMDICHILD_H
#define CAMDICHILD_H

#include <QList>
#include <QSplitter>
#include <QString>

class CAData;
class CAView;
class ImageView;
class QProcessThread;
class WordView;

// The window of one analysis: the map beside the word view (above) and the
// image view (below), with their wiring. Owns its data model and its workers.
class CAMdiChild : public QSplitter
{
    Q_OBJECT

public:
    CAMdiChild();
    ~CAMdiChild() override;

    bool loadFile(const QString &fileName);
    // Reads the named groups kept beside a saved analysis (groups.json) into
    // the map; a missing file is no error.
    void loadGroups(const QString &path);
    bool setData(CAData *newData);
    void setCurrentFile(const QString &fileName);
    QString strippedName(const QString &fullFileName);
    void createCAView();
    void createWordImageView();
    // Runs on `worker`'s thread: extracts the selection the worker was handed
    // when it was accepted, and hands the new data model on through
    // createChildView. Touches nothing of this window but the signal.
    void processSelection(QProcessThread *worker);

    // Save analysis as…: asks for a new folder and saves the analysis there
    // (an extracted view then counts as saved). False when cancelled or
    // failed; failures are shown in a message box.
    bool saveAnalysisAs();
    // The same without asking: `replace` allows replacing an analysis saved
    // there before. The window then shows the saved project.
    bool saveAnalysisTo(const QString &folder, bool replace, QString *error);
    // An extracted view that was never saved asks before it goes: true when
    // it may close (saved, or the user discards it).
    bool maybeSave();

    WordView *wordView = nullptr;
    CAView *caView = nullptr;
    ImageView *imageView = nullptr;
    CAData *data = nullptr;
    QString curFile;
    QList<QProcessThread *> threads;
    // For an extracted view, where it comes from and its size ("from
    // clipart/project.xml: 402 images × 89 words"); empty for a project.
    QString origin;
    // Where the images were looked for and where the user located them
    // (File > Locate images...); empty while they are where the project
    // says. Kept with the session.
    QString imagesFrom;
    QString imagesTo;
    // Console error count when the current fill began: the lines written
    // since are the reason a failure box gives.
    quint64 errorMark = 0;
    // The next outline finished sets its images aside (setAsideNextOutline).
    bool outlineSetsAside = false;

signals:
    void contentsChanged(CAData *data);
    void createChildView(CAData *data, CAMdiChild *parent_view);

public slots:
    void finishSelection();
    // Make selected images supplementary: analyses the table again without
    // the images of the last outline, which are placed on the new map as
    // supplementary images; the result opens in a new window, as an
    // extraction does. Returns false when refused (the reason is shown).
    bool setSelectionAside();
    // The menu's Make selected images supplementary: with images in the last
    // outline, setSelectionAside() at once (returns false); otherwise the
    // next outline is set aside instead of extracted, and the status bar
    // says so (returns true: the map is to go into selection mode).
    bool setAsideNextOutline();
    // The name the window's title gives it, as its prompts name it too.
    QString shownName() const;

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    // A worker could not extract its selection; shown here because message
    // boxes belong to the GUI thread.
    void showExtractionFailure(const QString &message);

private:
    // Reads `model` and, on success, makes it the window's model, shown by the
    // map; the model it replaces is freed only then, so the views never hold
    // a freed model.
    bool fill(CAData *model);
};

#endif // CAMDICHILD_H
