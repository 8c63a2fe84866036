// SPDX-License-Identifier: MIT
// The pixels of a PNG file: the image data is inflated row by row, and of each row only the part
// that lands in the block asked for is kept.
#include "pictures/PngReader.h"

#include <QtEndian>
#include <QtNumeric>
#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <vector>
#include <zlib.h>

namespace png {
namespace {

constexpr uchar kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr uint32_t kLargestLength = 0x7FFFFFFFu; // of a chunk, and of a side of the picture
constexpr uint32_t kBufferSize = 64 * 1024;

enum ColourType { Grey = 0, Rgb = 2, Palette = 3, GreyAlpha = 4, RgbAlpha = 6 };

uint32_t be32(const uchar* p) { return qFromBigEndian<quint32>(p); }
uint16_t be16(const uchar* p) { return qFromBigEndian<quint16>(p); }

// The file's chunks one after the other: each chunk's data is read in pieces, with its CRC worked
// out on the way and checked at its end.
class Chunks {
public:
    explicit Chunks(QIODevice& device) : device_(device), scratch_(kBufferSize) {}

    bool readSignature()
    {
        uchar signature[sizeof kSignature];
        return readRaw(signature, sizeof signature) && std::memcmp(signature, kSignature, sizeof signature) == 0;
    }
    // Moves to the next chunk, once the current one is finished or skipped.
    bool next()
    {
        uchar head[8];
        if (!readRaw(head, 8))
            return false;
        length_ = left_ = be32(head);
        std::memcpy(type_, head + 4, 4);
        crc_ = crc32(0, head + 4, 4);
        const auto letter = [](uchar c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
        return length_ <= kLargestLength && std::all_of(type_, type_ + 4, letter);
    }
    bool is(const char* type) const { return std::memcmp(type_, type, 4) == 0; }
    // A chunk a reader may not pass over unknown (its first letter is a capital).
    bool critical() const { return (type_[0] & 0x20) == 0; }
    uint32_t length() const { return length_; }
    uint32_t left() const { return left_; }

    bool read(uchar* to, uint32_t n)
    {
        if (n > left_ || !readRaw(to, n))
            return false;
        crc_ = crc32(crc_, to, n);
        left_ -= n;
        return true;
    }
    // Reads the rest of the data and the CRC, and checks it.
    bool finish()
    {
        while (left_ > 0)
            if (!read(scratch_.data(), std::min(left_, kBufferSize)))
                return false;
        uchar crc[4];
        return readRaw(crc, 4) && be32(crc) == crc_;
    }
    // Passes over the rest of an ancillary chunk, its CRC unchecked.
    bool skip()
    {
        const qint64 n = qint64(left_) + 4;
        return device_.skip(n) == n;
    }

private:
    bool readRaw(uchar* to, qint64 n) { return device_.read(reinterpret_cast<char*>(to), n) == n; }

    QIODevice& device_;
    std::vector<uchar> scratch_;
    uint32_t length_ = 0;
    uint32_t left_ = 0;
    uchar type_[4] = {};
    uLong crc_ = 0;
};

struct Header {
    qint64 width = 0;
    qint64 height = 0;
    int depth = 0;
    int colourType = 0;
    bool interlaced = false;

    int channels() const
    {
        switch (colourType) {
        case Rgb: return 3;
        case GreyAlpha: return 2;
        case RgbAlpha: return 4;
        default: return 1;
        }
    }
    int bitsPerPixel() const { return channels() * depth; }
};

// The colours that the header chunks give: the palette with its alphas, or the one grey or RGB
// colour that tRNS makes transparent.
struct Colours {
    std::array<QRgb, 256> palette{};
    std::array<uint8_t, 256> paletteAlpha{};
    int paletteSize = 0;
    bool hasKey = false;
    std::array<uint16_t, 3> key{};
};

bool validDepth(int colourType, int depth)
{
    switch (colourType) {
    case Grey: return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case Palette: return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case Rgb: case GreyAlpha: case RgbAlpha: return depth == 8 || depth == 16;
    default: return false;
    }
}

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
    if (h.colourType == Palette) {
        std::copy(d, d + n, c.paletteAlpha.begin());
        return true;
    }
    c.hasKey = true;
    for (uint32_t i = 0; i < n / 2; ++i)
        c.key[i] = be16(d + 2 * i);
    return true;
}

// Reads the chunks up to the first IDAT, which is left to be read.
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

// The zlib stream of the image data, spread over consecutive IDAT chunks, inflated on demand.
class ImageData {
public:
    explicit ImageData(Chunks& chunks) : chunks_(chunks), input_(kBufferSize), scratch_(kBufferSize)
    {
        ready_ = inflateInit(&z_) == Z_OK;
    }
    ~ImageData() { inflateEnd(&z_); }
    ImageData(const ImageData&) = delete;
    ImageData& operator=(const ImageData&) = delete;

    // Inflates exactly n bytes to to.
    bool inflateTo(uchar* to, qint64 n)
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
    // Inflates n bytes that are not needed.
    bool drop(qint64 n)
    {
        for (; n > 0; n -= kBufferSize)
            if (!inflateTo(scratch_.data(), std::min<qint64>(n, kBufferSize)))
                return false;
        return true;
    }
    // Whether the stream ends here, with its checksum right and no data left to inflate.
    bool ends()
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

private:
    bool fill()
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

    Chunks& chunks_;
    std::vector<uchar> input_;
    std::vector<uchar> scratch_;
    z_stream z_{};
    bool ready_ = false;
    bool ended_ = false;
};

// The pixels of one of the seven passes of Adam7 interlacing, or of the whole picture.
struct Pass {
    int x0, y0, dx, dy;
};
constexpr Pass kWhole{0, 0, 1, 1};
constexpr std::array<Pass, 7> kAdam7{{{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                      {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}}};

// One pass's rows in the file and the part of them that lands in the block.
struct PassRows {
    Pass pass{};
    qint64 columns = 0, rows = 0; // of the pass; a pass with none has no data at all
    qint64 rowBytes = 0;          // filter byte included
    qint64 keptColumns = 0, keptRows = 0;
    qint64 keptBytes = 0;         // filter byte included

    PassRows(const Pass& p, const Header& h, int blockWidth, int blockHeight) : pass(p)
    {
        const auto count = [](qint64 size, int start, int step) { return size > start ? (size - start + step - 1) / step : 0; };
        columns = count(h.width, p.x0, p.dx);
        rows = count(h.height, p.y0, p.dy);
        rowBytes = 1 + (columns * h.bitsPerPixel() + 7) / 8;
        keptColumns = std::min(columns, count(blockWidth, p.x0, p.dx));
        keptRows = keptColumns > 0 ? std::min(rows, count(blockHeight, p.y0, p.dy)) : 0;
        keptBytes = 1 + (keptColumns * h.bitsPerPixel() + 7) / 8;
    }
    bool empty() const { return columns == 0 || rows == 0; }
    // All the data of the rows below the block; more than any file holds counts as the most.
    qint64 droppedBytes() const
    {
        qint64 n;
        return qMulOverflow(rows - keptRows, rowBytes, &n) ? std::numeric_limits<qint64>::max() : n;
    }
};

uint8_t paeth(uint8_t a, uint8_t b, uint8_t c)
{
    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// Undoes a row's filter in place; above is the pass's row before, zeros for its first row.
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

// The index-th sample of a row of samples of depth bits.
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

// A sample of any depth on the 8-bit scale.
int eightBit(uint32_t v, int depth)
{
    return depth == 16 ? int((v * 255 + 32767) / 65535) : int(v * 255 / ((1u << depth) - 1));
}

// Turns the kept part of unfiltered rows into pixels, with the alpha the file gives them.
struct Pixels {
    const Header& h;
    const Colours& c;

    bool store(const uchar* row, const Pass& p, qint64 columns, QRgb* line) const
    {
        const int n = h.channels(), d = h.depth;
        const bool colour = h.colourType == Rgb || h.colourType == RgbAlpha;
        const bool alpha = h.colourType == GreyAlpha || h.colourType == RgbAlpha;
        for (qint64 i = 0; i < columns; ++i) {
            QRgb& to = line[p.x0 + i * p.dx];
            const qint64 s = i * n;
            if (h.colourType == Palette) {
                const uint32_t index = sample(row, i, d);
                if (index >= uint32_t(c.paletteSize))
                    return false;
                to = (c.palette[index] & 0x00FFFFFFu) | QRgb(c.paletteAlpha[index]) << 24;
                continue;
            }
            const uint32_t first = sample(row, s, d);
            const uint32_t green = colour ? sample(row, s + 1, d) : first;
            const uint32_t blue = colour ? sample(row, s + 2, d) : first;
            int a = 255;
            if (alpha)
                a = eightBit(sample(row, s + n - 1, d), d);
            else if (c.hasKey && first == c.key[0] && (!colour || (green == c.key[1] && blue == c.key[2])))
                a = 0;
            to = qRgba(eightBit(first, d), eightBit(green, d), eightBit(blue, d), a);
        }
        return true;
    }
};

bool decodeRows(Chunks& chunks, const Header& h, const Colours& c, Bitmap& block)
{
    std::vector<PassRows> passes;
    if (h.interlaced) {
        for (const Pass& p : kAdam7)
            passes.emplace_back(p, h, block.width(), block.height());
    } else {
        passes.emplace_back(kWhole, h, block.width(), block.height());
    }
    std::erase_if(passes, [](const PassRows& p) { return p.empty(); });
    const size_t withData = passes.size();
    // Nothing after the last pass with a row in the block is needed.
    while (!passes.empty() && passes.back().keptRows == 0)
        passes.pop_back();
    if (passes.empty())
        return true;
    const bool toTheEnd = passes.size() == withData && passes.back().keptRows == passes.back().rows;

    ImageData data(chunks);
    const Pixels pixels{h, c};
    const int bpp = std::max(1, h.bitsPerPixel() / 8);
    const auto widest = size_t(std::max_element(passes.begin(), passes.end(), [](const PassRows& a, const PassRows& b) {
                                   return a.keptBytes < b.keptBytes;
                               })->keptBytes);
    std::vector<uchar> above(widest), row(widest);
    for (const PassRows& p : passes) {
        std::fill(above.begin(), above.end(), uchar(0));
        for (qint64 r = 0; r < p.keptRows; ++r) {
            if (!data.inflateTo(row.data(), p.keptBytes) || !data.drop(p.rowBytes - p.keptBytes) ||
                !unfilter(row[0], row.data() + 1, above.data() + 1, p.keptBytes - 1, bpp) ||
                !pixels.store(row.data() + 1, p.pass, p.keptColumns, block.scanLine(int(p.pass.y0 + r * p.pass.dy))))
                return false;
            std::swap(above, row);
        }
        // The rows below the block are inflated unlooked at, as far as a later pass needs.
        if (&p != &passes.back() && !data.drop(p.droppedBytes()))
            return false;
    }
    if (toTheEnd && !data.ends())
        return false;
    // The chunk that held the last row kept is read to its end, so its CRC is checked too.
    return chunks.finish();
}

} // namespace
} // namespace png

bool DecodePng(QIODevice& device, int maxWidth, int maxHeight, Bitmap& out)
{
    png::Chunks chunks(device);
    png::Header header;
    png::Colours colours;
    if (!png::readHeaderChunks(chunks, header, colours))
        return false;
    Bitmap block(int(std::min<qint64>(header.width, std::max(maxWidth, 0))),
                 int(std::min<qint64>(header.height, std::max(maxHeight, 0))));
    if (!png::decodeRows(chunks, header, colours, block))
        return false;
    out = std::move(block);
    return true;
}
