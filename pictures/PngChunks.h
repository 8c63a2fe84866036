// SPDX-License-Identifier: MIT
#pragma once
// The pieces of a PNG file that both its reader and its write-back walk through: the chunks, the
// header chunks' colours, the zlib stream of the image data, the passes of interlacing and the
// filters of the rows. Internal to the pictures layer.
#include <QIODevice>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>
#include <zlib.h>

#include "pictures/Bitmap.h"

namespace png {

inline constexpr uchar kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
inline constexpr uint32_t kLargestLength = 0x7FFFFFFFu; // of a chunk, and of a side of the picture
inline constexpr uint32_t kBufferSize = 64 * 1024;

enum ColourType { Grey = 0, Rgb = 2, Palette = 3, GreyAlpha = 4, RgbAlpha = 6 };

inline uint32_t be32(const uchar* p) { return qFromBigEndian<quint32>(p); }
inline uint16_t be16(const uchar* p) { return qFromBigEndian<quint16>(p); }

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
        if (!readRaw(head_, 8))
            return false;
        length_ = left_ = be32(head_);
        std::memcpy(type_, head_ + 4, 4);
        crc_ = crc32(0, head_ + 4, 4);
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
    // Sends the whole of a chunk just begun on, as the file holds it, to put; its CRC is checked
    // on the way, so a damaged chunk is not passed on as sound.
    template <class Put>
    bool copy(const Put& put)
    {
        if (left_ != length_)
            return false;
        put(head_, 8);
        while (left_ > 0) {
            const uint32_t n = std::min(left_, kBufferSize);
            if (!read(scratch_.data(), n))
                return false;
            put(scratch_.data(), n);
        }
        uchar crc[4];
        if (!readRaw(crc, 4) || be32(crc) != crc_)
            return false;
        put(crc, 4);
        return true;
    }

private:
    bool readRaw(uchar* to, qint64 n) { return device_.read(reinterpret_cast<char*>(to), n) == n; }

    QIODevice& device_;
    std::vector<uchar> scratch_;
    uint32_t length_ = 0;
    uint32_t left_ = 0;
    uchar head_[8] = {};
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
    bool grey() const { return colourType == Grey || colourType == GreyAlpha; }
    bool alpha() const { return colourType == GreyAlpha || colourType == RgbAlpha; }
};

// The colours that the header chunks give: the palette with its alphas, or the one grey or RGB
// colour that tRNS makes transparent.
struct Colours {
    std::array<QRgb, 256> palette{};
    std::array<uint8_t, 256> paletteAlpha{};
    int paletteSize = 0;
    int paletteAlphas = 0; // the entries tRNS gives an alpha, the rest being opaque
    bool hasTransparency = false; // a tRNS chunk, even one of no entries
    bool hasKey = false;
    std::array<uint16_t, 3> key{};
};

// Reads the signature and IHDR.
bool readHeader(Chunks& chunks, Header& h);
// Reads the chunks up to the first IDAT, which is left to be read.
bool readHeaderChunks(Chunks& chunks, Header& h, Colours& c);

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
    bool inflateTo(uchar* to, qint64 n);
    // Inflates n bytes that are not needed.
    bool drop(qint64 n)
    {
        for (; n > 0; n -= kBufferSize)
            if (!inflateTo(scratch_.data(), std::min<qint64>(n, kBufferSize)))
                return false;
        return true;
    }
    // Whether the stream ends here, with its checksum right and no data left to inflate.
    bool ends();

private:
    bool fill();

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
inline constexpr Pass kWhole{0, 0, 1, 1};
inline constexpr std::array<Pass, 7> kAdam7{{{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                             {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}}};

// One pass's rows in the file and the part of them that lands in a block of the picture, in the
// pass's own columns and rows.
struct PassRows {
    Pass pass{};
    qint64 columns = 0, rows = 0; // of the pass; a pass with none has no data at all
    qint64 rowBytes = 0;          // filter byte included
    qint64 firstColumn = 0, endColumn = 0, firstRow = 0, endRow = 0; // in the block
    qint64 keptBytes = 0; // from the row's start up to the block's right edge, filter byte included

    PassRows(const Pass& p, const Header& h, const TRect& block) : pass(p)
    {
        // The pass's columns (or rows) left of (or above) an edge.
        const auto count = [](qint64 edge, int start, int step) { return edge > start ? (edge - start + step - 1) / step : 0; };
        columns = count(h.width, p.x0, p.dx);
        rows = count(h.height, p.y0, p.dy);
        rowBytes = 1 + (columns * h.bitsPerPixel() + 7) / 8;
        firstColumn = count(block.Left, p.x0, p.dx);
        endColumn = std::min(columns, count(block.Right, p.x0, p.dx));
        firstRow = count(block.Top, p.y0, p.dy);
        endRow = std::min(rows, count(block.Bottom, p.y0, p.dy));
        keptBytes = 1 + (endColumn * h.bitsPerPixel() + 7) / 8;
    }
    bool empty() const { return columns == 0 || rows == 0; }
    bool holdsBlock() const { return endColumn > firstColumn && endRow > firstRow; }
    qint64 x(qint64 column) const { return pass.x0 + column * pass.dx; }
    qint64 y(qint64 row) const { return pass.y0 + row * pass.dy; }
};

// The passes of the picture that hold any data, in the file's order.
std::vector<PassRows> passesOf(const Header& h, const TRect& block);

// Undoes a row's filter in place; above is the pass's row before, zeros for its first row.
bool unfilter(uchar filter, uchar* row, const uchar* above, qint64 n, int bpp);
// Filters a row as filter (0 to 4) to to: the reverse of unfilter.
void filterRow(uchar filter, const uchar* row, const uchar* above, uchar* to, qint64 n, int bpp);

// The index-th sample of a row of samples of depth bits.
uint32_t sample(const uchar* row, qint64 index, int depth);
void putSample(uchar* row, qint64 index, int depth, uint32_t v);
// A sample of any depth on the 8-bit scale.
inline int eightBit(uint32_t v, int depth)
{
    return depth == 16 ? int((v * 255 + 32767) / 65535) : int(v * 255 / ((1u << depth) - 1));
}
// The index-th pixel of an unfiltered row as the reader gives it, with the alpha the file gives
// it; false for a palette index past the palette.
bool pixelAt(const Header& h, const Colours& c, const uchar* row, qint64 index, QRgb& to);

} // namespace png
