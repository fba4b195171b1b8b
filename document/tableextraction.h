#ifndef TABLEEXTRACTION_H
#define TABLEEXTRACTION_H

#include "document/qprocessthread.h"

#include <QString>

#include <functional>
#include <vector>

// The selected cells of a contingency table, taken out of the table and
// written as a new table: the work of a sub-analysis worker. Needs nothing
// of the window but the selection, so it can run on the worker's thread.
class TableExtraction
{
public:
    // `worker` is asked between rows whether to stop.
    TableExtraction(const QProcessThread::Selection &selection, const QThread &worker)
        : m_selection(selection), m_worker(worker)
    {
    }

    // Reads the source table far enough to collect every selected cell.
    // False with `error` set when the table cannot supply them, and false
    // with `error` empty when the worker was asked to stop.
    bool read(QString &error);

    // Writes the extract as "table.txt" in a fresh folder of the temporary
    // folder, where the solver then leaves its results: everything an
    // extracted view needs lies in one folder, removed with its model. The
    // table is kept only once it is complete; on failure or when the worker
    // is asked to stop the folder goes. Returns the table's absolute path and
    // sets `folder`, or returns an empty string with `error` set (empty when
    // the worker was asked to stop).
    QString write(QString &error);
    QString folder;

    // Makes the last `count` rows read supplementary rows: they leave the
    // extract for `supValues`. The columns that no analysed row uses are
    // dropped (a column without mass has no place on the axes), and the
    // supplementary rows that have nothing left in the others are left
    // out, their places among the `count` in `unplaced`. The rows of
    // readSupplementary() follow them as supplementary rows too, numbered
    // from `count` on. Call after read().
    void setAside(int count);

    // Reads the source's own supplementary rows (the selection's supTable),
    // keeping the selection's words. False with `error` naming the file and
    // the problem; the extraction then goes on without them.
    bool readSupplementary(QString &error);
    int sourceSupRows = 0;
    std::vector<double> sourceSupValues; // sourceSupRows x cols, row-major
    // Written by write() beside the table as "supplementary.txt" when there
    // are supplementary rows; its absolute path, else empty.
    QString supplementaryPath;
    std::vector<int> keptColumns; // places in the selection's words
    std::vector<int> placed;      // places among the rows set aside
    std::vector<int> unplaced;
    int supRows = 0;
    std::vector<double> supValues;

    // Called on the worker's thread before each row of the source table is
    // read. Empty in the program; tests hold an extraction at a known row
    // with it.
    static inline std::function<void(long long row)> beforeRow;

    // The source table's size, once read.
    long long tableRows = 0;
    long long tableCols = 0;
    // The extract: rows x cols values, row-major.
    int rows = 0;
    int cols = 0;
    std::vector<double> values;

private:
    const QProcessThread::Selection &m_selection;
    const QThread &m_worker;
};

#endif // TABLEEXTRACTION_H
