// Keeps the manual in step with the window: every entry of the main window's
// menus, with its shortcut, and every key of Help > Getting started is named
// in docs/manual.md. The entries are taken from a real main window, so an
// entry renamed, added or given another key in the code fails here until the
// manual says so.
#include "shell/camainwindow.h"
#include "shell/helpdialog.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString manualText()
{
    QFile file(QStringLiteral(ORTELIS_SOURCE_DIR "/docs/manual.md"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString shown(const QAction *action)
{
    QString text = action->text();
    text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
    return text;
}

// A shortcut as a user presses it: Backtab is Shift+Tab on the keyboard.
QString keys(const QAction *action)
{
    QString text = action->shortcut().toString(QKeySequence::PortableText);
    text.replace(QLatin1String("Backtab"), QLatin1String("Tab"));
    return text;
}

// What of `menu` (entries, sub-menus, shortcuts) `manual` does not name.
// The entries of Open Recent are the user's files, not the program's.
void missingEntries(const QMenu *menu, const QString &manual, QStringList &missing)
{
    for (const QAction *a : menu->actions()) {
        if (a->isSeparator())
            continue;
        const QString text = shown(a);
        if (!manual.contains(text))
            missing << QStringLiteral("\"%1\" in %2").arg(text, shown(menu->menuAction()));
        const QString key = keys(a);
        if (!key.isEmpty() && !manual.contains(key))
            missing << QStringLiteral("%1 (%2)").arg(key, text);
        if (a->menu() && text != QLatin1String("Open Recent"))
            missingEntries(a->menu(), manual, missing);
    }
}

} // namespace

class MenusInDocs : public QObject
{
    Q_OBJECT

    QTemporaryDir settings;

private slots:
    void initTestCase();
    void menuEntriesInManual_data();
    void menuEntriesInManual();
    void gettingStartedKeysInManual();
};

void MenusInDocs::initTestCase()
{
    // The recent files and the window's place stay out of the user's settings.
    QCoreApplication::setOrganizationName(QStringLiteral("OrtelisTest"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.filePath(QStringLiteral("settings")));
    QVERIFY2(!manualText().isEmpty(), "docs/manual.md cannot be read");
}

void MenusInDocs::menuEntriesInManual_data()
{
    QTest::addColumn<QString>("menu");
    for (const char *title : {"File", "Edit", "View", "Analysis", "Window", "Help"})
        QTest::newRow(title) << QString::fromLatin1(title);
}

void MenusInDocs::menuEntriesInManual()
{
    QFETCH(QString, menu);
    CAMainWindow window;
    const QMenu *found = nullptr;
    for (const QAction *a : window.menuBar()->actions())
        if (a->menu() && shown(a) == menu)
            found = a->menu();
    QVERIFY2(found, qPrintable(QStringLiteral("the main window has no %1 menu").arg(menu)));
    QVERIFY2(!found->actions().isEmpty(), qPrintable(QStringLiteral("the %1 menu is empty").arg(menu)));
    QStringList missing;
    missingEntries(found, manualText(), missing);
    QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("docs/manual.md does not name: ") + missing.join(QStringLiteral("; "))));
}

void MenusInDocs::gettingStartedKeysInManual()
{
    // The first cell of each row of the page's key table.
    const QString page = HelpDialog::keys();
    static const QRegularExpression cell(QStringLiteral("<tr><td>(.*?)</td>"));
    static const QRegularExpression bold(QStringLiteral("<b>([^<]+)</b>"));
    const QString manual = manualText();
    QStringList named;
    QStringList missing;
    for (auto rows = cell.globalMatch(page); rows.hasNext();) {
        const QString first = rows.next().captured(1);
        for (auto keys = bold.globalMatch(first); keys.hasNext();) {
            const QString key = keys.next().captured(1);
            named << key;
            if (!manual.contains(key, Qt::CaseInsensitive))
                missing << key;
        }
    }
    QVERIFY2(named.size() >= 10, qPrintable(QStringLiteral("the key table of Getting started names only: ") + named.join(QStringLiteral(", "))));
    QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("docs/manual.md does not name the keys: ") + missing.join(QStringLiteral(", "))));
}

QTEST_MAIN(MenusInDocs)
#include "tst_menusindocs.moc"
