#ifndef DESCRIBECOMMAND_H
#define DESCRIBECOMMAND_H

#include <QStringList>

#include <memory>

class CAData;
class CountTable;

// The descriptions of an analysis written from the command line, with no
// display:
//   ortelis --describe-axes FILE.csv [--top N] PROJECT.xml
//   ortelis --describe-category NAME FILE.csv PROJECT.xml
// The first writes, for each axis in use and each pole, the top N words and
// images (axis,pole,kind,index,label,coordinate,contribution,cos2); the
// second the group test of a category against the whole collection
// (word,count_in,count_all,v_test,p_value). A failure is one line on
// standard error and exit status 1.
class DescribeCommand
{
public:
    // Whether the arguments (program name first) ask for a description.
    static bool wanted(int argc, char **argv);
    // Runs it and returns the exit status.
    static int run(const QStringList &arguments);

    static constexpr int DefaultTop = 10;

    // The project parsed and its results loaded, its progress lines kept off
    // the console; null with `why` set on failure.
    static std::unique_ptr<CAData> loadProject(const QString &project, QString *why);
    // Its analysed table, checked against the results; null with `why` set.
    static std::unique_ptr<CountTable> loadAnalysedTable(const CAData &data, QString *why);
};

#endif // DESCRIBECOMMAND_H
