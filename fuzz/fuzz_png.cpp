// SPDX-License-Identifier: MIT
// The PNG reader, with the block sizes a chip asks for: any input is refused, leaving the picture
// as it was, or decoded to a picture no larger than asked, without a sanitizer report. Each input
// is read as it is and again with the CRC of every whole chunk made right: a mutation almost never
// keeps a CRC right, and would otherwise stop at the first check.
#include <QtEndian>
#include <zlib.h>

#include "FuzzSupport.h"
#include "pictures/PngReader.h"

namespace {

QByteArray withCrcsMadeRight(QByteArray bytes)
{
    for (qsizetype at = 8; at + 12 <= bytes.size();) {
        const quint32 length = qFromBigEndian<quint32>(bytes.constData() + at);
        if (length > quint32(bytes.size() - at - 12))
            break;
        const auto* typed = reinterpret_cast<const Bytef*>(bytes.constData() + at + 4);
        qToBigEndian(quint32(crc32(0, typed, length + 4)), bytes.data() + at + 8 + length);
        at += 12 + qsizetype(length);
    }
    return bytes;
}

void decode(QByteArray bytes, int maxWidth, int maxHeight)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const Bitmap before(3, 3);
    Bitmap out = before;
    if (DecodePng(buffer, maxWidth, maxHeight, out))
        Require(out.width() <= maxWidth && out.height() <= maxHeight);
    else
        Require(out == before);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    InitFuzzing();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    // Most inputs get a whole chip; some a small block, so the cut at the block's edges is fuzzed too.
    const int maxWidth = size % 3 == 0 ? 5 : 256, maxHeight = size % 5 == 0 ? 3 : 256;
    decode(bytes, maxWidth, maxHeight);
    decode(withCrcsMadeRight(bytes), maxWidth, maxHeight);
    FuzzWriteBack(withCrcsMadeRight(bytes), DecodePngBlock, WritePngBack);
    FuzzOverview(withCrcsMadeRight(bytes), DecodePngOverview);
    return 0;
}
