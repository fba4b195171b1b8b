#include "data/statistics/groupdescription.h"

#include "data/model/cadata.h"
#include "data/formats/counttable.h"
#include "data/formats/csvwriter.h"

#include <QCoreApplication>

#include <algorithm>

bool GroupDescription::categoryImages(const CAData &data, const QString &name, std::vector<int> &images,
                                      QString *error)
{
    images.clear();
    if (!data.labels) {
        if (error)
            *error = QCoreApplication::translate("GroupDescription", "the project has no image list, so no categories");
        return false;
    }
    // A name from the categories file first, then a number.
    bool found = false;
    int category = 0;
    for (auto it = data.categoryNames.cbegin(); it != data.categoryNames.cend(); ++it)
        if (it.value() == name) {
            category = it.key();
            found = true;
            break;
        }
    if (!found) {
        QString number = name;
        if (number.startsWith(QLatin1Char('#')))
            number.remove(0, 1);
        category = number.toInt(&found);
    }
    if (found)
        for (int i = 0; i < data.nbImages; ++i)
            if (data.labels[std::size_t(i)].category == category)
                images.push_back(i);
    if (images.empty()) {
        if (error)
            *error = QCoreApplication::translate("GroupDescription", "no image is in the category \"%1\"").arg(name);
        return false;
    }
    return true;
}

std::vector<GroupTest::Word> GroupDescription::describe(const CountTable &table, const std::vector<int> &group,
                                                        const std::vector<int> *other)
{
    const std::vector<double> in = table.columnCounts(group);
    std::vector<double> all;
    if (other) {
        std::vector<int> both = group;
        both.insert(both.end(), other->begin(), other->end());
        std::sort(both.begin(), both.end());
        both.erase(std::unique(both.begin(), both.end()), both.end());
        all = table.columnCounts(both);
    } else {
        all.resize(std::size_t(table.cols()));
        for (int j = 0; j < table.cols(); ++j)
            all[std::size_t(j)] = table.colCount(j);
    }
    return GroupTest::run(in, all);
}

QString GroupDescription::countNote(const CountTable &table)
{
    switch (table.scale()) {
    case CountTable::Counts:
        return QString();
    case CountTable::SquareRoots:
        return QCoreApplication::translate("GroupDescription",
                                           "The table holds square roots of the word counts: the counts tested are "
                                           "their squares.");
    case CountTable::Weighted:
        break;
    }
    return QCoreApplication::translate("GroupDescription",
                                       "The table holds weighted values, not word counts: they are tested rounded "
                                       "to whole numbers.");
}

QByteArray GroupDescription::csv(const CAData &data, const std::vector<GroupTest::Word> &words)
{
    CsvWriter w;
    w.addRow({QStringLiteral("word"), QStringLiteral("count_in"), QStringLiteral("count_all"), QStringLiteral("v_test"),
              QStringLiteral("p_value")});
    for (const GroupTest::Word &word : words)
        w.addRow({QString::number(data.wordLabel(word.word)), CsvWriter::number(word.countIn),
                  CsvWriter::number(word.countAll), CsvWriter::number(word.vTest), CsvWriter::number(word.pValue)});
    return w.bytes();
}
