// SPDX-License-Identifier: MIT
// The headers of a BMP file: which of the format's many variants it is, and where its pixels are.
#include "pictures/BmpLayout.h"

#include <QtEndian>
#include <algorithm>
#include <bit>

namespace bmp {
namespace {

constexpr qint64 kFileHeaderSize = 14;
constexpr qint64 kLargestInfoHeader = 124;

enum class HeaderKind { Os2v1, Os2v2, Windows };

uint16_t le16(const uchar* p) { return qFromLittleEndian<quint16>(p); }
uint32_t le32(const uchar* p) { return qFromLittleEndian<quint32>(p); }

bool headerKind(uint32_t size, HeaderKind& kind)
{
    switch (size) {
    case 12: kind = HeaderKind::Os2v1; return true;
    case 40: case 52: case 56: case 108: case 124: kind = HeaderKind::Windows; return true;
    default:
        // OS/2 2 headers may stop after any of their fields, from 16 bytes up to the whole 64.
        kind = HeaderKind::Os2v2;
        return size >= 16 && size <= 64;
    }
}

// A mask must lie inside the pixel and cover one run of bits. A mask of no bits gives a channel
// that reads 0, as b/rgb16-880.bmp of the BMP Suite is usually read.
bool makeChannel(uint32_t mask, int bits, Channel& c)
{
    if (bits < 32 && (mask >> bits) != 0)
        return false;
    c = Channel{};
    if (mask == 0)
        return true;
    const int shift = std::countr_zero(mask);
    const uint64_t max = mask >> shift;
    if ((max & (max + 1)) != 0)
        return false;
    c = Channel{mask, shift, max};
    return true;
}

bool readMasks(QIODevice& device, Layout& l, const uchar* header, uint32_t headerSize, uint32_t compression,
               qint64& headerEnd)
{
    std::array<uint32_t, 3> masks{};
    uint32_t alphaMask = 0;
    if (compression == 0) {
        // Without bit fields, 16-bit pixels are 5-5-5 and 24- and 32-bit ones 8-8-8; the bits left
        // over are unused, not alpha (q/rgb32fakealpha.bmp).
        masks = l.bits == 16 ? std::array<uint32_t, 3>{0x7C00u, 0x03E0u, 0x001Fu}
                             : std::array<uint32_t, 3>{0xFF0000u, 0xFF00u, 0xFFu};
    } else if (headerSize >= 52) {
        masks = {le32(header + 40), le32(header + 44), le32(header + 48)};
        if (headerSize >= 56)
            alphaMask = le32(header + 52);
    } else {
        // A 40-byte header is followed by the masks: three, or four with alpha's.
        uchar follow[16];
        const qint64 n = compression == 6 ? 16 : 12;
        if (!readAt(device, l, headerEnd, follow, n))
            return false;
        headerEnd += n;
        masks = {le32(follow), le32(follow + 4), le32(follow + 8)};
        if (compression == 6)
            alphaMask = le32(follow + 12);
    }
    if (masks == std::array<uint32_t, 3>{})
        return false;
    for (int k = 0; k < 3; ++k)
        if (!makeChannel(masks[k], l.bits, l.rgb[k]))
            return false;
    // A mask of alpha that cannot be read is taken for none, rather than refusing colours that read
    // well: the pixels are opaque.
    if (!makeChannel(alphaMask, l.bits, l.alpha))
        l.alpha = Channel{};
    return true;
}

// The palette runs from the end of the headers to the pixels at most. A count larger than the
// depth allows is cut to it (q/pal8oversizepal.bmp, b/badpalettesize.bmp); OS/2 1 files give no
// count and hold as many entries as fit before the pixels (q/pal8os2sp.bmp).
bool readPalette(QIODevice& device, Layout& l, HeaderKind kind, uint32_t clrUsed, qint64& headerEnd)
{
    const qint64 entry = kind == HeaderKind::Os2v1 ? 3 : 4;
    qint64 count = qint64(1) << l.bits;
    if (kind != HeaderKind::Os2v1 && clrUsed != 0)
        count = std::min<qint64>(count, clrUsed);
    count = std::min(count, std::max<qint64>(0, l.dataOffset - headerEnd) / entry);
    if (count == 0)
        return false;
    uchar raw[256 * 4];
    if (!readAt(device, l, headerEnd, raw, count * entry))
        return false;
    for (qint64 i = 0; i < count; ++i) {
        const uchar* e = raw + i * entry;
        l.palette[size_t(i)] = qRgb(e[2], e[1], e[0]);
    }
    l.paletteSize = int(count);
    headerEnd += count * entry;
    return true;
}

bool chooseCoding(Layout& l, HeaderKind kind, uint32_t compression)
{
    const int b = l.bits;
    switch (compression) {
    case 0:
        l.coding = Coding::Plain;
        return b == 1 || b == 2 || b == 4 || b == 8 || b == 16 || b == 24 || b == 32;
    case 1:
        l.coding = Coding::Rle8;
        return b == 8;
    case 2:
        l.coding = Coding::Rle4;
        return b == 4;
    case 3: // bit fields; for OS/2 2, Huffman coding, which is not read
        l.coding = Coding::Plain;
        return kind == HeaderKind::Windows && (b == 16 || b == 32);
    case 4: // OS/2 2's 24-bit run-length coding; for Windows, an embedded JPEG, which is not read
        l.coding = Coding::Rle24;
        return kind == HeaderKind::Os2v2 && b == 24;
    case 6: // bit fields with alpha's mask
        l.coding = Coding::Plain;
        return kind == HeaderKind::Windows && (b == 16 || b == 32);
    default: // embedded PNG, CMYK and other rarities
        return false;
    }
}

} // namespace

bool readAt(QIODevice& device, const Layout& layout, qint64 pos, uchar* to, qint64 n)
{
    if (pos < 0 || n < 0 || pos > layout.fileSize || n > layout.fileSize - pos)
        return false;
    return device.seek(pos) && device.read(reinterpret_cast<char*>(to), n) == n;
}

bool readLayout(QIODevice& device, Layout& l)
{
    l.fileSize = device.size();
    uchar head[kFileHeaderSize + kLargestInfoHeader] = {};
    if (device.isSequential() || !readAt(device, l, 0, head, kFileHeaderSize + 4) || head[0] != 'B' || head[1] != 'M')
        return false;
    const uint32_t headerSize = le32(head + 14);
    HeaderKind kind;
    if (!headerKind(headerSize, kind) || !readAt(device, l, kFileHeaderSize, head + kFileHeaderSize, headerSize))
        return false;
    const uchar* h = head + kFileHeaderSize;
    l.dataOffset = le32(head + 10);

    qint64 height;
    int planes;
    uint32_t compression = 0, clrUsed = 0;
    if (kind == HeaderKind::Os2v1) {
        l.width = le16(h + 4);
        height = le16(h + 6);
        planes = le16(h + 8);
        l.bits = le16(h + 10);
    } else {
        l.width = int32_t(le32(h + 4));
        height = int32_t(le32(h + 8));
        planes = le16(h + 12);
        l.bits = le16(h + 14);
        if (headerSize >= 20)
            compression = le32(h + 16);
        if (headerSize >= 36)
            clrUsed = le32(h + 32);
    }
    // A negative width has no meaning; the most negative height has no positive counterpart.
    if (planes != 1 || l.width < 0 || height == INT32_MIN || !chooseCoding(l, kind, compression))
        return false;
    l.topDown = height < 0;
    l.height = std::abs(height);
    // Compressed pictures are bottom-up by definition: b/rletopdown.bmp is refused.
    if (l.coding != Coding::Plain && l.topDown)
        return false;

    qint64 headerEnd = kFileHeaderSize + headerSize;
    if (l.bits <= 8) {
        if (!readPalette(device, l, kind, clrUsed, headerEnd))
            return false;
    } else if (l.coding == Coding::Plain && !readMasks(device, l, h, headerSize, compression, headerEnd)) {
        return false;
    }
    // Pixels inside the headers are damage; a gap before them is not (q/pal8offs.bmp).
    if (l.dataOffset < headerEnd || l.dataOffset > l.fileSize)
        return false;
    if (l.coding == Coding::Plain) {
        // Every row must be in the file, even those that are not decoded: a file cut short is
        // refused, not shown in part.
        l.rowBytes = (l.width * l.bits + 31) / 32 * 4;
        if (l.height > 0 && l.rowBytes > 0 && (l.fileSize - l.dataOffset) / l.rowBytes < l.height)
            return false;
    }
    return true;
}

} // namespace bmp
