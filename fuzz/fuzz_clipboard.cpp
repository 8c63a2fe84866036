// SPDX-License-Identifier: MIT
// The decoding of a picture offered on the clipboard: the input is offered in every picture
// format at once, so that each reader and the choice among them get it, for a chip of a size
// taken from the input's length.
#include <QMimeData>

#include "FuzzSupport.h"
#include "pictures/PictureData.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    InitFuzzing();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const char* const formats[] = {
        "image/png", "image/bmp", "image/jpeg", "image/gif", "image/vnd.microsoft.icon",
        "image/x-portable-bitmap", "image/x-portable-graymap", "image/x-portable-pixmap",
        "image/x-xbitmap", "image/x-xpixmap",
    };
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QMimeData offered;
    for (const char* format : formats)
        offered.setData(QString::fromLatin1(format), bytes);
    const int maxWidth = 256 >> (size % 9), maxHeight = 256 >> (size / 9 % 9);
    // Pictures up to the program's own bound (16384 x 16384) would only measure how fast memory
    // is filled: Qt's GIF reader fills a canvas of that size whole before reading a pixel, which
    // takes more than a minute under the sanitizers. The bound's check is the same code either way.
    constexpr qint64 kFuzzedPixels = 2048 * 2048;
    Bitmap out;
    if (ReadOfferedPicture(offered, maxWidth, maxHeight, out, kFuzzedPixels) == OfferedPicture::Read)
        Require(out.width() <= maxWidth && out.height() <= maxHeight);
    return 0;
}
