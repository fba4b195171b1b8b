#ifndef CLUSTERCOMMAND_H
#define CLUSTERCOMMAND_H

#include <QString>
#include <QStringList>

// The clusters of an analysis from the command line, with no display:
//   ortelis --clusters FILE.csv [--count K] [--dims D] [--consolidate] PROJECT.xml
//   ortelis --describe-clusters FILE.csv [--count K] [--dims D] [--consolidate] PROJECT.xml
// Ward's hierarchy of the images on the first D axes (by default those that
// hold 80 % of the inertia, at most 10), cut into K clusters (by default the
// suggested cut), numbered 1..K by decreasing size.
// The first writes image,cluster (the image's 0-based number in the image
// list; an image left out has no cluster) and prints a line per cluster with
// its size and its three most over-represented words. The second writes per
// cluster its words that the group test finds over- or under-represented at
// p <= 0.05 (cluster,kind,item,name,count_in,count_all,v_test,p_value,
// distance with kind "word"), then its paragons (the images nearest its
// centre, kind "paragon") and specific images (farthest from the other
// centres, kind "specific") with those distances. A failure is one line on
// standard error and exit status 1, with no file written.
class ClusterCommand
{
public:
    // Whether the arguments (program name first) ask for clusters.
    static bool wanted(int argc, char **argv);
    // Runs it in a console application of its own and returns the status.
    static int main(int argc, char **argv);
    // Runs it (the arguments with the program name first).
    static int run(const QStringList &arguments);
    // The lines --help lists for these commands.
    static QString usage();

    static constexpr double WordProbability = 0.05;
};

#endif // CLUSTERCOMMAND_H
