#ifndef GROUPPANEL_H
#define GROUPPANEL_H

#include "data/statistics/grouptest.h"

#include <QPointer>
#include <QVector>
#include <QWidget>

#include <functional>
#include <vector>

class CAData;
class CAView;
class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class TableStore;
class WordAtlas;

// What sets a group of images apart: the words over- and under-represented
// in the group against the whole collection (or, for two groups kept as A
// and B, in A against A and B together), by the hypergeometric test on the
// word counts of the analysed table, the strongest first. A group is the
// last outline's selection, a category, or the images around the cursor.
class GroupPanel : public QWidget
{
    Q_OBJECT

public:
    GroupPanel(TableStore *tables, QWidget *parent = nullptr);

    void setView(CAView *view);
    void setAtlas(const WordAtlas *atlas) { m_atlas = atlas; }

    void describeSelection();
    void describeCategory(int category);
    void describeNeighbourhood();
    // A named group of the map (its images, rows of the analysis).
    void describeGroup(const QString &name, const QVector<int> &images);
    // Keeps the group described last as A (0) or B (1).
    void keep(int slot);
    // Keeps named group `name` as A (0) or B (1), for "A against B".
    void keepGroup(int slot, const QString &name, const QVector<int> &images);
    // What A and B hold now, by name (empty when not kept).
    QString keptName(int slot) const { return m_kept[slot].empty() ? QString() : m_keptName[slot]; }
    // The images kept as A (0) or B (1), rows of the analysis.
    QVector<int> keptImages(int slot) const { return QVector<int>(m_kept[slot].begin(), m_kept[slot].end()); }
    // Puts back A or B as a session kept them: rows beyond the analysis
    // shown are dropped, and nothing is kept when none is left.
    void restoreKept(int slot, const QString &name, const QVector<int> &images);
    void compare();

    // Every word tested, as CSV (word,count_in,count_all,v_test,p_value).
    QByteArray csv() const;
    const std::vector<GroupTest::Word> &words() const { return m_words; }

    QLabel *title = nullptr;
    QTreeWidget *tree = nullptr;
    QPushButton *keepA = nullptr;
    QPushButton *keepB = nullptr;
    QPushButton *compareButton = nullptr;

    // Words listed per direction, at most.
    static constexpr int Listed = 25;
    // Words with a larger p-value are not listed (they stay in the CSV).
    static constexpr double Significance = 0.05;

signals:
    // A word row was clicked (the word's index in the analysis).
    void wordActivated(int word);
    // "Images with this word" from a word row's menu.
    void wordImagesRequested(int word);

private:
    void describe(const QString &name, const std::vector<int> &group, const std::vector<int> *other,
                  const QString &otherName);
    void showMessage(const QString &text);
    void updateButtons();

    TableStore *m_tables;
    const WordAtlas *m_atlas = nullptr;
    QPointer<CAView> m_view;
    const CAData *m_data = nullptr;
    std::vector<GroupTest::Word> m_words;
    QString m_lastName;
    std::vector<int> m_last;
    QString m_keptName[2];
    std::vector<int> m_kept[2];
    // The description asked for while the table was being read.
    std::function<void()> m_pending;
};

#endif // GROUPPANEL_H
