// Picture files as the viewer reads them for its thumbnails and its
// full-size window: any bytes, under any name a collection may use. The
// decoding budget is judged from the header, so a few bytes announcing a
// huge picture must be refused before anything is allocated for it.
#include "data/model/console.h"
#include "data/model/imagefile.h"
#include "fuzzsupport.h"

#include <QGuiApplication>
#include <QImage>
#include <QString>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_imagefile";
    static char *argv[] = {name, nullptr};
    static QGuiApplication *app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QGuiApplication(argc, argv);
    }();
    (void)app;
    const std::string bytes(reinterpret_cast<const char *>(data), size);
    Console::Capture quiet;
    const QString path = QString::fromStdString(Fuzz::put("picture", bytes));
    for (const QSize bound : {QSize(64, 64), QSize(ImageFile::kLargestSide, ImageFile::kLargestSide)}) {
        QSize original;
        QString why;
        const QImage image = ImageFile::read(path, bound, &original, &why);
        Fuzz::require(image.isNull() || (image.width() <= bound.width() && image.height() <= bound.height()),
                      "never larger than asked");
        Fuzz::require(!image.isNull() || !why.isEmpty(), "a refusal says why");
    }
    return 0;
}
