#include "modalcloser.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
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
        seen.append(s);
        if (QAbstractButton *ok = box->button(QMessageBox::Ok))
            ok->click();
        else
            box->reject();
        return;
    }
    seen.append(s);
    if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
        if (m_file.isEmpty()) {
            dialog->reject();
        } else {
            dialog->selectFile(m_file);
            static_cast<QDialog *>(dialog)->accept();
        }
        return;
    }
    modal->close();
}
