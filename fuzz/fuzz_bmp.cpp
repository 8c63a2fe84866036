// SPDX-License-Identifier: MIT
// The BMP reader, with the block sizes a chip asks for: any input is refused or decoded to a
// picture no larger than asked, without a sanitizer report. What is decoded, alpha included, is
// written as a BMP again and must read back the same.
#include "FuzzSupport.h"
#include "pictures/BmpReader.h"
#include "pictures/BmpWriter.h"
#include "pictures/PictureData.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    InitFuzzing();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    // Most inputs get a whole chip; some a small block, so the cut at the block's edges is fuzzed too.
    const int maxWidth = size % 3 == 0 ? 5 : 256, maxHeight = size % 5 == 0 ? 3 : 256;
    FuzzWriteBack(bytes, DecodeBmpBlock, WriteBmpBack);
    FuzzOverview(bytes, DecodeBmpOverview);
    Bitmap out;
    if (!DecodeBmp(buffer, maxWidth, maxHeight, out))
        return 0;
    Require(out.width() <= maxWidth && out.height() <= maxHeight);
    QByteArray written = BmpFileOfDib(DibOfBitmap(out));
    QBuffer again(&written);
    again.open(QIODevice::ReadOnly);
    Bitmap back;
    Require(DecodeBmp(again, maxWidth, maxHeight, back) && back == out);
    return 0;
}
