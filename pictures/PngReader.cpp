// SPDX-License-Identifier: MIT
// The pixels of a PNG file: the image data is inflated row by row, and of each row only the part
// that reaches into the block asked for is kept.
#include "pictures/PngReader.h"

#include <QtNumeric>

#include "pictures/PngChunks.h"

namespace png {
namespace {

bool validDepth(int colourType, int depth)
{
    switch (colourType) {
    case Grey: return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case Palette: return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case Rgb: case GreyAlpha: case RgbAlpha: return depth == 8 || depth == 16;
    default: return false;
    }
}

uint8_t paeth(uint8_t a, uint8_t b, uint8_t c)
{
    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// A palette may suggest colours to pictures of RGB colour, is needed by palette ones and has no
// place in grey ones; it never holds more entries than the depth can index.
bool readPalette(Chunks& chunks, const Header& h, Colours& c)
{
    const uint32_t entries = chunks.length() / 3;
    if (h.colourType == Grey || h.colourType == GreyAlpha || chunks.length() % 3 != 0 || entries == 0 ||
        entries > 256 || (h.colourType == Palette && entries > (1u << h.depth)))
        return false;
    uchar d[256 * 3];
    if (!chunks.read(d, chunks.length()) || !chunks.finish())
        return false;
    for (uint32_t i = 0; i < entries; ++i)
        c.palette[i] = qRgb(d[3 * i], d[3 * i + 1], d[3 * i + 2]);
    c.paletteSize = int(entries);
    c.paletteAlpha.fill(255);
    return true;
}

bool readTransparency(Chunks& chunks, const Header& h, Colours& c)
{
    uchar d[256];
    const uint32_t n = chunks.length();
    const bool fits = h.colourType == Grey ? n == 2 : h.colourType == Rgb ? n == 6
                    : h.colourType == Palette && n <= uint32_t(c.paletteSize);
    if (!fits || !chunks.read(d, n) || !chunks.finish())
        return false;
    c.hasTransparency = true;
    if (h.colourType == Palette) {
        std::copy(d, d + n, c.paletteAlpha.begin());
        c.paletteAlphas = int(n);
        return true;
    }
    c.hasKey = true;
    for (uint32_t i = 0; i < n / 2; ++i)
        c.key[i] = be16(d + 2 * i);
    return true;
}

} // namespace

bool readHeader(Chunks& chunks, Header& h)
{
    uchar d[13];
    if (!chunks.readSignature() || !chunks.next() || !chunks.is("IHDR") || chunks.length() != sizeof d ||
        !chunks.read(d, sizeof d) || !chunks.finish())
        return false;
    h.width = be32(d);
    h.height = be32(d + 4);
    h.depth = d[8];
    h.colourType = d[9];
    h.interlaced = d[12] == 1;
    // Compression and filter method 0 are the only ones defined.
    return h.width >= 1 && h.width <= kLargestLength && h.height >= 1 && h.height <= kLargestLength &&
           validDepth(h.colourType, h.depth) && d[10] == 0 && d[11] == 0 && d[12] <= 1;
}

bool readHeaderChunks(Chunks& chunks, Header& h, Colours& c)
{
    if (!readHeader(chunks, h))
        return false;
    bool palette = false, transparency = false;
    for (;;) {
        if (!chunks.next())
            return false;
        if (chunks.is("IDAT"))
            return h.colourType != Palette || palette;
        if (chunks.is("PLTE")) {
            // Only one, and before tRNS, which refers to it.
            if (palette || transparency || !readPalette(chunks, h, c))
                return false;
            palette = true;
        } else if (chunks.is("tRNS")) {
            if (transparency || !readTransparency(chunks, h, c))
                return false;
            transparency = true;
        } else if (chunks.critical() || !chunks.skip()) {
            // A second IHDR, an IEND before any image data, or a chunk this reader cannot know.
            return false;
        }
    }
}

bool ImageData::inflateTo(uchar* to, qint64 n)
{
    while (n > 0) {
        if (!ready_ || ended_ || (z_.avail_in == 0 && !fill()))
            return false;
        const uInt room = uInt(std::min<qint64>(n, kBufferSize));
        z_.next_out = to;
        z_.avail_out = room;
        const int result = inflate(&z_, Z_NO_FLUSH);
        to += room - z_.avail_out;
        n -= room - z_.avail_out;
        ended_ = result == Z_STREAM_END;
        if (result != Z_OK && result != Z_BUF_ERROR && !ended_)
            return false;
    }
    return true;
}

bool ImageData::ends()
{
    while (!ended_) {
        if (!ready_ || (z_.avail_in == 0 && !fill()))
            return false;
        uchar extra;
        z_.next_out = &extra;
        z_.avail_out = 1;
        const int result = inflate(&z_, Z_NO_FLUSH);
        if (z_.avail_out == 0 || (result != Z_OK && result != Z_BUF_ERROR && result != Z_STREAM_END))
            return false;
        ended_ = result == Z_STREAM_END;
    }
    return true;
}

bool ImageData::fill()
{
    // Empty IDAT chunks are allowed; anything but an IDAT ends the image data.
    while (chunks_.left() == 0)
        if (!chunks_.finish() || !chunks_.next() || !chunks_.is("IDAT"))
            return false;
    const uint32_t n = std::min(chunks_.left(), kBufferSize);
    if (!chunks_.read(input_.data(), n))
        return false;
    z_.next_in = input_.data();
    z_.avail_in = n;
    return true;
}

bool unfilter(uchar filter, uchar* row, const uchar* above, qint64 n, int bpp)
{
    switch (filter) {
    case 0: return true;
    case 1:
        for (qint64 i = bpp; i < n; ++i)
            row[i] = uchar(row[i] + row[i - bpp]);
        return true;
    case 2:
        for (qint64 i = 0; i < n; ++i)
            row[i] = uchar(row[i] + above[i]);
        return true;
    case 3:
        for (qint64 i = 0; i < n; ++i)
            row[i] = uchar(row[i] + ((i >= bpp ? row[i - bpp] : 0) + above[i]) / 2);
        return true;
    case 4:
        for (qint64 i = 0; i < n; ++i)
            row[i] = uchar(row[i] + paeth(i >= bpp ? row[i - bpp] : 0, above[i], i >= bpp ? above[i - bpp] : 0));
        return true;
    default: return false;
    }
}

void filterRow(uchar filter, const uchar* row, const uchar* above, uchar* to, qint64 n, int bpp)
{
    for (qint64 i = 0; i < n; ++i) {
        const uchar a = i >= bpp ? row[i - bpp] : 0, b = above[i], c = i >= bpp ? above[i - bpp] : 0;
        const uchar predicted = filter == 1 ? a : filter == 2 ? b : filter == 3 ? uchar((a + b) / 2)
                              : filter == 4 ? paeth(a, b, c) : 0;
        to[i] = uchar(row[i] - predicted);
    }
}

uint32_t sample(const uchar* row, qint64 index, int depth)
{
    switch (depth) {
    case 16: return uint32_t(be16(row + 2 * index));
    case 8: return row[index];
    default: {
        const qint64 bit = index * depth;
        return (row[bit / 8] >> (8 - depth - bit % 8)) & ((1u << depth) - 1);
    }
    }
}

void putSample(uchar* row, qint64 index, int depth, uint32_t v)
{
    switch (depth) {
    case 16: qToBigEndian<quint16>(quint16(v), row + 2 * index); return;
    case 8: row[index] = uchar(v); return;
    default: {
        const qint64 bit = index * depth;
        const int shift = int(8 - depth - bit % 8);
        const uint32_t mask = ((1u << depth) - 1) << shift;
        row[bit / 8] = uchar((row[bit / 8] & ~mask) | ((v << shift) & mask));
    }
    }
}

bool pixelAt(const Header& h, const Colours& c, const uchar* row, qint64 index, QRgb& to)
{
    const int d = h.depth;
    if (h.colourType == Palette) {
        const uint32_t entry = sample(row, index, d);
        if (entry >= uint32_t(c.paletteSize))
            return false;
        to = (c.palette[entry] & 0x00FFFFFFu) | QRgb(c.paletteAlpha[entry]) << 24;
        return true;
    }
    const int n = h.channels();
    const bool colour = !h.grey();
    const qint64 s = index * n;
    const uint32_t first = sample(row, s, d);
    const uint32_t green = colour ? sample(row, s + 1, d) : first;
    const uint32_t blue = colour ? sample(row, s + 2, d) : first;
    int a = 255;
    if (h.alpha())
        a = eightBit(sample(row, s + n - 1, d), d);
    else if (c.hasKey && first == c.key[0] && (!colour || (green == c.key[1] && blue == c.key[2])))
        a = 0;
    to = qRgba(eightBit(first, d), eightBit(green, d), eightBit(blue, d), a);
    return true;
}

std::vector<PassRows> passesOf(const Header& h, const TRect& block)
{
    std::vector<PassRows> passes;
    if (h.interlaced) {
        for (const Pass& p : kAdam7)
            passes.emplace_back(p, h, block);
    } else {
        passes.emplace_back(kWhole, h, block);
    }
    std::erase_if(passes, [](const PassRows& p) { return p.empty(); });
    return passes;
}

namespace {

// The pixels of block (which may be empty) into out: every step-th pixel of every step-th row from
// the block's top-left corner, so out is the block's size divided by step, rounded up.
bool decodeRows(Chunks& chunks, const Header& h, const Colours& c, const TRect& block, int step, Bitmap& out)
{
    std::vector<PassRows> passes = passesOf(h, block);
    const size_t withData = passes.size();
    // Nothing after the last pass with a pixel in the block is needed.
    while (!passes.empty() && !passes.back().holdsBlock())
        passes.pop_back();
    if (passes.empty())
        return true;
    const bool toTheEnd = passes.size() == withData && passes.back().endRow == passes.back().rows;

    ImageData data(chunks);
    const int bpp = std::max(1, h.bitsPerPixel() / 8);
    const auto widest = size_t(std::max_element(passes.begin(), passes.end(), [](const PassRows& a, const PassRows& b) {
                                   return a.keptBytes < b.keptBytes;
                               })->keptBytes);
    std::vector<uchar> above(widest), row(widest);
    for (const PassRows& p : passes) {
        std::fill(above.begin(), above.end(), uchar(0));
        // The rows above the block are unfiltered too: the first of the block's needs the one before.
        const qint64 rowsRead = p.holdsBlock() ? p.endRow : 0;
        for (qint64 r = 0; r < rowsRead; ++r) {
            if (!data.inflateTo(row.data(), p.keptBytes) || !data.drop(p.rowBytes - p.keptBytes) ||
                !unfilter(row[0], row.data() + 1, above.data() + 1, p.keptBytes - 1, bpp))
                return false;
            if (r >= p.firstRow && step == 1) {
                QRgb* line = out.scanLine(int(p.y(r) - block.Top));
                for (qint64 i = p.firstColumn; i < p.endColumn; ++i)
                    if (!pixelAt(h, c, row.data() + 1, i, line[p.x(i) - block.Left]))
                        return false;
            } else if (r >= p.firstRow && (p.y(r) - block.Top) % step == 0) {
                QRgb* line = out.scanLine(int((p.y(r) - block.Top) / step));
                for (qint64 i = p.firstColumn; i < p.endColumn; ++i)
                    if ((p.x(i) - block.Left) % step == 0 &&
                        !pixelAt(h, c, row.data() + 1, i, line[(p.x(i) - block.Left) / step]))
                        return false;
            }
            std::swap(above, row);
        }
        // The rows below the block are inflated unlooked at, as far as a later pass needs; more
        // than any file holds counts as the most.
        qint64 dropped;
        if (qMulOverflow(p.rows - rowsRead, p.rowBytes, &dropped))
            dropped = std::numeric_limits<qint64>::max();
        if (&p != &passes.back() && !data.drop(dropped))
            return false;
    }
    if (toTheEnd && !data.ends())
        return false;
    // The chunk that held the last row kept is read to its end, so its CRC is checked too.
    return chunks.finish();
}

// With overview, the whole picture at the smallest step that brings it within maxWidth by
// maxHeight, that step returned there; otherwise block, or the top-left corner of at most maxWidth
// by maxHeight.
bool decodeBlock(QIODevice& device, const TRect* block, int maxWidth, int maxHeight, int* overview, Bitmap& out)
{
    Chunks chunks(device);
    Header header;
    Colours colours;
    if (!readHeaderChunks(chunks, header, colours))
        return false;
    TRect area{0, 0, int(std::min<qint64>(header.width, std::max(maxWidth, 0))),
               int(std::min<qint64>(header.height, std::max(maxHeight, 0)))};
    if (block) {
        if (block->Left < 0 || block->Top < 0 || block->Right <= block->Left || block->Bottom <= block->Top ||
            block->Right > header.width || block->Bottom > header.height)
            return false;
        area = *block;
    }
    int step = 1;
    if (overview) {
        if ((header.width * header.bitsPerPixel() + 7) / 8 > kMostWholeRowBytes)
            return false;
        step = int(std::max({int64_t(1), StepToFit(header.width, maxWidth), StepToFit(header.height, maxHeight)}));
        area = TRect{0, 0, int(header.width), int(header.height)};
    }
    Bitmap pixels(int((qint64(area.width()) + step - 1) / step), int((qint64(area.height()) + step - 1) / step));
    if (!decodeRows(chunks, header, colours, area, step, pixels))
        return false;
    out = std::move(pixels);
    if (overview)
        *overview = step;
    return true;
}

} // namespace
} // namespace png

bool DecodePng(QIODevice& device, int maxWidth, int maxHeight, Bitmap& out)
{
    return png::decodeBlock(device, nullptr, maxWidth, maxHeight, nullptr, out);
}

bool DecodePngBlock(QIODevice& device, const TRect& block, Bitmap& out)
{
    return png::decodeBlock(device, &block, 0, 0, nullptr, out);
}

bool DecodePngOverview(QIODevice& device, int maxWidth, int maxHeight, Bitmap& out, int& step)
{
    return maxWidth >= 1 && maxHeight >= 1 && png::decodeBlock(device, nullptr, maxWidth, maxHeight, &step, out);
}

bool ReadPngSize(QIODevice& device, qint64& width, qint64& height)
{
    png::Chunks chunks(device);
    png::Header header;
    if (!png::readHeader(chunks, header))
        return false;
    width = header.width;
    height = header.height;
    return true;
}
