#ifndef HELPDIALOG_H
#define HELPDIALOG_H

#include <QDialog>

class QTextBrowser;

// Help > Getting started: one page on what the map and the panes show and
// what the mouse and the tool bar do.
class HelpDialog : public QDialog
{
    Q_OBJECT

public:
    explicit HelpDialog(QWidget *parent = nullptr);

    static QString page();
    // Every key the viewer answers to, with Find.
    static QString keys();
    QTextBrowser *browser() const { return m_browser; }

private:
    QTextBrowser *m_browser;
};

#endif // HELPDIALOG_H
