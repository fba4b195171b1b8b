#include "modalcloser.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>

ModalCloser::ModalCloser(const QString &fileToChoose) : m_file(fileToChoose)
{
    connect(&m_timer, &QTimer::timeout, this, &ModalCloser::poll);
    m_timer.start(5);
}

void ModalCloser::poll()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal)
        return;
    Seen s;
    s.className = QString::fromLatin1(modal->metaObject()->className());
    s.title = modal->windowTitle();
    s.parent = modal->parentWidget();
    if (auto *box = qobject_cast<QMessageBox *>(modal)) {
        s.text = box->text();
        s.informative = box->informativeText();
        seen.append(s);
        if (QAbstractButton *ok = box->button(QMessageBox::Ok))
            ok->click();
        else
            box->reject();
        return;
    }
    auto *dialog = qobject_cast<QFileDialog *>(modal);
    if (dialog)
        s.directory = dialog->directory().absolutePath();
    seen.append(s);
    if (dialog) {
        if (m_file.isEmpty()) {
            dialog->reject();
            return;
        }
        // selectFile() leaves the name field alone while it has the focus,
        // which it gets as soon as the dialog is active: typing the absolute
        // path into the field is what a user does and works either way.
        if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            name->setText(m_file);
        else
            dialog->selectFile(m_file);
        static_cast<QDialog *>(dialog)->accept();
        // A dialog that refuses the file would otherwise wait for ever: the
        // test then sees it cancelled and fails instead of hanging.
        if (dialog->isVisible())
            dialog->reject();
        return;
    }
    modal->close();
}
