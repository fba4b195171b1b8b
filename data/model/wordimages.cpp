#include "data/model/wordimages.h"

#include "data/formats/counttable.h"

#include <QCoreApplication>

#include <algorithm>

namespace {

bool asCounts(const CountTable &table)
{
    return table.scale() != CountTable::Weighted;
}

} // namespace

std::vector<WordImages::Image> WordImages::richest(const CountTable &table, int word, int top, int *holding)
{
    std::vector<Image> out;
    if (holding)
        *holding = 0;
    if (word < 0 || word >= table.cols() || top <= 0)
        return out;
    const std::vector<double> values = table.column(word, asCounts(table));
    for (std::size_t i = 0; i < values.size(); ++i)
        if (values[i] > 0)
            out.push_back({int(i), values[i]});
    if (holding)
        *holding = int(out.size());
    const auto before = [](const Image &a, const Image &b) {
        return a.value != b.value ? a.value > b.value : a.image < b.image;
    };
    if (out.size() > std::size_t(top)) {
        std::partial_sort(out.begin(), out.begin() + top, out.end(), before);
        out.resize(std::size_t(top));
    } else {
        std::sort(out.begin(), out.end(), before);
    }
    return out;
}

QString WordImages::valueName(const CountTable &table, int label)
{
    return asCounts(table) ? QCoreApplication::translate("WordImages", "count of word #%1").arg(label)
                           : QCoreApplication::translate("WordImages", "table value of word #%1").arg(label);
}
