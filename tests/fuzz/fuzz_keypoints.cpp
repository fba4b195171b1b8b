// Keypoint files: the query of the views (with and without a word set) and
// the drawing of whatever it returns, with any bytes as records.
#include "data/model/cadata.h"
#include "data/model/console.h"
#include "data/model/sift.h"
#include "fuzzsupport.h"

#include <QImage>
#include <QPainter>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char *>(data), size);
    Console::Capture quiet;
    CAData d(true);
    d.baseDir = QString::fromStdString(Fuzz::scratch());
    d.descriptors.reset(new QString[1]);
    d.descriptors[0] = QStringLiteral("image.sift");
    Fuzz::put("image.sift", bytes);
    for (int j = 0; j < 16; ++j)
        d.wordSet.insert(j);

    QList<Sift> all;
    d.getSifts(0, all, nullptr);
    Fuzz::require(qsizetype(size / sizeof(Sift)) >= all.size(), "no more records than the file holds");
    Fuzz::require(size % sizeof(Sift) == 0 || all.isEmpty(), "a truncated file gives nothing");
    const QSet<int> some{1, 3, -7};
    QList<Sift> chosen;
    d.getSifts(0, chosen, &some);
    for (const Sift &s : chosen)
        Fuzz::require(some.contains(s.word), "only the words asked for");

    // As the image view draws them: a 64-pixel cell, scaled down.
    QImage canvas(64, 64, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    int drawn = 0;
    for (const Sift &s : all) {
        if (++drawn > 8)
            break;
        s.draw(painter, 2, 3, 0.25, 0.25, Qt::blue);
    }
    return 0;
}
