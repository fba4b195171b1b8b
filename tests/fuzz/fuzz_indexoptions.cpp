// The record of how an index's images were described (index-options.txt),
// over any bytes: a record is taken only when it names every option that
// describes images, each within the command line's range; what it gives,
// written again by the indexer and read back, is the same.
#include "tools/indexcommandline.h"
#include "tools/indexoptionsrecord.h"
#include "fuzzsupport.h"

#include <QString>

namespace {

bool same(const IndexOptions &a, const IndexOptions &b)
{
    return a.words == b.words && a.maxKeypoints == b.maxKeypoints && a.maxSide == b.maxSide
           && a.workSide == b.workSide && a.maxMegapixels == b.maxMegapixels && a.gridStep == b.gridStep
           && a.gridScales == b.gridScales && a.colourWords == b.colourWords && a.colourLayout == b.colourLayout
           && a.softWords == b.softWords && a.searchChecks == b.searchChecks && a.counts == b.counts
           && a.rootSift == b.rootSift;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string path =
        Fuzz::put("index-options.txt", std::string(reinterpret_cast<const char *>(data), size));
    IndexOptions o;
    QString error;
    if (!IndexOptionsRecord::read(QString::fromStdString(path), o, &error)) {
        Fuzz::require(!error.isEmpty(), "a refusal says why");
        return 0;
    }
    Fuzz::require(o.words >= 1 && o.words <= IndexCommandLine::maxWords, "words in range");
    Fuzz::require(o.maxKeypoints >= 1 && o.maxKeypoints <= IndexCommandLine::maxKeypointsPerImage,
                  "keypoints in range");
    Fuzz::require(o.workSide == 0 || (o.workSide >= 16 && o.workSide <= IndexCommandLine::maxWorkSide),
                  "working side in range");
    Fuzz::require(o.gridScales >= 1 && o.gridScales <= 3, "grid scales in range");
    Fuzz::require(o.addTo.isEmpty() && o.passive.isEmpty() && !o.solve, "only describing options");

    FeatureOptions f;
    f.maxKeypoints = o.maxKeypoints;
    f.limits.maxSide = o.maxSide;
    f.workSide = o.workSide;
    f.gridStep = o.gridStep;
    f.gridScales = o.gridScales;
    f.colour = o.colourWords > 0;
    f.colourLayout = o.colourLayout;
    f.rootSift = o.rootSift;
    const std::string again = Fuzz::put("again.txt", IndexOptionsRecord::text(o, f, o.words, o.colourWords).toStdString());
    IndexOptions back;
    Fuzz::require(IndexOptionsRecord::read(QString::fromStdString(again), back, &error), "its own record is taken");
    Fuzz::require(same(o, back), "read back, the same options");
    return 0;
}
