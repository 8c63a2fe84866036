// SPDX-License-Identifier: MIT
#include "pictures/BmpWriter.h"

#include <QtEndian>

namespace {

constexpr int kInfoHeaderSize = 40;
constexpr int kV5HeaderSize = 124;
constexpr quint32 kBitFields = 3;
constexpr quint32 kSrgb = 0x73524742;     // LCS_sRGB: 'sRGB'
constexpr quint32 kImagesIntent = 4;      // LCS_GM_IMAGES
constexpr quint32 kPixelsPerMetre = 2835; // 72 dpi

struct Writer {
    uchar* p;
    void put16(int at, quint16 v) const { qToLittleEndian<quint16>(v, p + at); }
    void put32(int at, quint32 v) const { qToLittleEndian<quint32>(v, p + at); }
};

// The pixels, bottom-up rows: 24 bits (blue, green, red) or 32 (the same and alpha).
void writePixels(const Bitmap& bitmap, uchar* to, int bytesPerPixel, qsizetype rowBytes)
{
    const int h = bitmap.height();
    for (int y = 0; y < h; ++y) {
        uchar* d = to + qsizetype(h - 1 - y) * rowBytes;
        const QRgb* s = bitmap.scanLine(y);
        for (int x = 0; x < bitmap.width(); ++x) {
            *d++ = uchar(qBlue(s[x]));
            *d++ = uchar(qGreen(s[x]));
            *d++ = uchar(qRed(s[x]));
            if (bytesPerPixel == 4)
                *d++ = uchar(qAlpha(s[x]));
        }
    }
}

} // namespace

QByteArray DibOfBitmap(const Bitmap& bitmap)
{
    const int w = bitmap.width(), h = bitmap.height();
    const bool alpha = !bitmap.isOpaque();
    const int bytesPerPixel = alpha ? 4 : 3;
    const int headerSize = alpha ? kV5HeaderSize : kInfoHeaderSize;
    const qsizetype rowBytes = (qsizetype(w) * bytesPerPixel + 3) & ~qsizetype(3);
    const quint32 imageBytes = quint32(rowBytes * h);
    QByteArray dib(headerSize + qsizetype(imageBytes), '\0');
    const Writer out{reinterpret_cast<uchar*>(dib.data())};
    out.put32(0, quint32(headerSize));
    out.put32(4, quint32(w));
    out.put32(8, quint32(h));
    out.put16(12, 1);
    out.put16(14, quint16(8 * bytesPerPixel));
    out.put32(20, imageBytes);
    out.put32(24, kPixelsPerMetre);
    out.put32(28, kPixelsPerMetre);
    if (alpha) {
        // Bit fields with alpha's mask in a V5 header: what Windows itself writes for alpha, and
        // what Qt, GIMP and Pillow read with it.
        out.put32(16, kBitFields);
        out.put32(40, 0x00FF0000u);
        out.put32(44, 0x0000FF00u);
        out.put32(48, 0x000000FFu);
        out.put32(52, 0xFF000000u);
        out.put32(56, kSrgb);
        out.put32(108, kImagesIntent);
    }
    writePixels(bitmap, out.p + headerSize, bytesPerPixel, rowBytes);
    return dib;
}
