#ifndef IMAGEFILE_H
#define IMAGEFILE_H

#include <QImage>
#include <QSize>
#include <QString>

// Reading picture files for display. A collection may hold pictures far
// larger than any view shows (scans, posters of tens of thousands of pixels a
// side); decoding them whole is slow and Qt refuses those above its allocation
// limit. Pictures are therefore read no larger than the size they are shown
// at, letting the decoder reduce while it reads (JPEG decodes at 1/2, 1/4 or
// 1/8 scale, PNG scales row by row), and never beyond a memory budget.
namespace ImageFile {

// Largest side read when the caller does not bound it: a picture bigger than
// this is reduced; it is refused only when decoding it would take more memory
// than the budget allows.
constexpr int kLargestSide = 4096;

// The picture at `path`, reduced to fit `bound` when it is larger (aspect
// ratio kept, never enlarged); a null image when the file cannot be read. The
// size of the picture in the file goes to `original` (empty when unreadable).
// Every picture is decoded within the memory budget of DecodeBudget, or
// refused unread: `why` then says why (also said once on the console), as it
// does for a file that is missing or that no reader recognises.
QImage read(const QString &path, const QSize &bound = QSize(kLargestSide, kLargestSide),
            QSize *original = nullptr, QString *why = nullptr);

// The size of the picture in the file without decoding it (empty when the
// file cannot be read).
QSize size(const QString &path);

} // namespace ImageFile

#endif // IMAGEFILE_H
