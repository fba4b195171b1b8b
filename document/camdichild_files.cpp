// Keeping an analysis: saving it as a project folder, and not losing an
// extracted view that exists only in the temporary folder.
#include "document/camdichild.h"

#include "data/model/cadata.h"
#include "document/analysissaver.h"
#include "map/caview.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QJsonDocument>
#include <QMessageBox>

bool CAMdiChild::saveAnalysisTo(const QString &folder, bool replace, QString *error)
{
    if (!data || !data->Z) {
        if (error)
            *error = QStringLiteral("Cannot save the analysis: nothing is loaded in this window.");
        return false;
    }
    // The named groups go with it: the saved analysis has the same rows.
    QByteArray groups;
    if (caView && !caView->groups().isEmpty())
        groups = QJsonDocument(NamedGroup::listToJson(caView->groups().list())).toJson();
    if (!AnalysisSaver::save(*data, folder, replace, error, groups))
        return false;
    setCurrentFile(QDir::cleanPath(QDir().absoluteFilePath(AnalysisSaver::projectFile(folder))));
    setWindowModified(false);
    return true;
}

bool CAMdiChild::saveAnalysisAs()
{
    // Suggest a folder beside the analysis the window shows, named after it.
    QString name = isWindowModified() ? curFile
                                      : QFileInfo(curFile).absoluteDir().dirName() + QStringLiteral("-copy");
    name.replace(QLatin1Char(' '), QLatin1Char('-'));
    name.remove(QLatin1Char('[')).remove(QLatin1Char(']'));
    const QString start = data && !data->baseDir.isEmpty() ? data->baseDir : QDir::homePath();
    const QString folder = QFileDialog::getSaveFileName(
        this, tr("Save analysis as (a new folder)"),
        QDir(start).filePath(name.isEmpty() ? QStringLiteral("analysis") : name), QString(), nullptr,
        QFileDialog::DontConfirmOverwrite | QFileDialog::ShowDirsOnly);
    if (folder.isEmpty())
        return false;

    QString why;
    bool replace = false;
    switch (AnalysisSaver::check(folder, &why)) {
    case AnalysisSaver::Refused:
        QMessageBox::critical(this, QStringLiteral("Ortelis"),
                              QStringLiteral("Cannot save the analysis: %1.").arg(why), QMessageBox::Ok);
        return false;
    case AnalysisSaver::SavedAnalysis:
        if (QMessageBox::question(this, QStringLiteral("Ortelis"),
                                  QStringLiteral("'%1' already holds a saved analysis. Replace it?").arg(folder),
                                  QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
            != QMessageBox::Yes)
            return false;
        replace = true;
        break;
    case AnalysisSaver::NewFolder:
        break;
    }
    QString error;
    if (!saveAnalysisTo(folder, replace, &error)) {
        QMessageBox::critical(this, QStringLiteral("Ortelis"), error, QMessageBox::Ok);
        return false;
    }
    return true;
}

QString CAMdiChild::shownName() const
{
    QString name = windowTitle();
    name.remove(QLatin1String("[*]"));
    name.remove(tr(" - %1").arg(tr("Ortelis")));
    return name;
}

bool CAMdiChild::maybeSave()
{
    if (!isWindowModified())
        return true;
    const QMessageBox::StandardButton answer = QMessageBox::warning(
        this, QStringLiteral("Ortelis"),
        QStringLiteral("'%1' has not been saved; closing it deletes it. Save it first?").arg(shownName()),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    if (answer == QMessageBox::Save)
        return saveAnalysisAs();
    if (answer == QMessageBox::Discard) {
        // Asked once: the main window's exit does not ask again.
        setWindowModified(false);
        return true;
    }
    return false;
}

void CAMdiChild::closeEvent(QCloseEvent *event)
{
    if (maybeSave())
        event->accept();
    else
        event->ignore();
}
