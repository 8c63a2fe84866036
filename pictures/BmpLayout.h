// SPDX-License-Identifier: MIT
#pragma once
// What the BMP reader learns from a file's headers, shared by its header and pixel units.
#include <QIODevice>
#include <QRgb>
#include <array>
#include <cstdint>

#include "pictures/Bitmap.h"

namespace bmp {

enum class Coding { Plain, Rle8, Rle4, Rle24 };

// One colour channel of a 16-, 24- or 32-bit pixel: the pixel's bits under mask, shifted down by
// shift, scaled from 0..max to 0..255. A channel without bits (max 0) reads 0.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    uint64_t max = 0;

    uint64_t raw(uint32_t pixel) const { return (pixel & mask) >> shift; }
    uint8_t value(uint32_t pixel) const
    {
        if (max == 0)
            return 0;
        return uint8_t((raw(pixel) * 255 + max / 2) / max);
    }
};

struct Layout {
    qint64 fileSize = 0;
    qint64 dataOffset = 0;
    qint64 width = 0;
    qint64 height = 0;  // rows, whichever way they run
    bool topDown = false;
    int bits = 0;
    Coding coding = Coding::Plain;
    qint64 rowBytes = 0; // of an uncompressed row, padded to 4 bytes
    std::array<Channel, 3> rgb{};
    Channel alpha{}; // only where the headers give alpha's mask; none (max 0) otherwise
    std::array<QRgb, 256> palette{};
    int paletteSize = 0;

    // A colour of the palette. An index past the palette's end reads black, the usual reading of
    // b/pal8badindex.bmp in the BMP Suite.
    QRgb colour(unsigned index) const { return index < unsigned(paletteSize) ? palette[index] : qRgb(0, 0, 0); }
};

// Reads n bytes at pos, only where the file has them.
bool readAt(QIODevice& device, const Layout& layout, qint64 pos, uchar* to, qint64 n);

// Reads and checks the headers, palette and bit masks. False for anything not decodable.
bool readLayout(QIODevice& device, Layout& layout);

// Whether block is a block of at least one pixel wholly inside the picture.
inline bool holds(const Layout& layout, const TRect& block)
{
    return block.Left >= 0 && block.Top >= 0 && block.width() > 0 && block.height() > 0 &&
           block.Right <= layout.width && block.Bottom <= layout.height;
}

// Decodes the block, which lies inside the picture (BmpReader.cpp): every step-th pixel of every
// step-th row of it, so out is its size divided by step, rounded up. alphaUnfilled tells that the
// file's alpha channel is 0 in every pixel read, so that they were read opaque.
bool decodeBlock(QIODevice& device, const Layout& layout, const TRect& block, Bitmap& out, bool& alphaUnfilled,
                 int step = 1);

} // namespace bmp
