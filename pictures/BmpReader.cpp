// SPDX-License-Identifier: MIT
// The pixels of a BMP file: only the rows and columns that land in the block asked for are read.
#include "pictures/BmpReader.h"

#include <QtEndian>
#include <algorithm>
#include <span>
#include <vector>

#include "pictures/BmpLayout.h"

namespace bmp {
namespace {

uint32_t pixelValue(const uchar* p, int bytes)
{
    switch (bytes) {
    case 2: return qFromLittleEndian<quint16>(p);
    case 3: return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
    default: return qFromLittleEndian<quint32>(p);
    }
}

// Whether any pixel decoded so far has an alpha above 0.
struct AlphaSeen {
    bool nonZero = false;
};

// Decodes width pixels of a row, every step-th from the first-th pixel of the bytes at row on.
void decodeRow(const Layout& l, const uchar* row, int first, int step, QRgb* to, int width, AlphaSeen& alpha)
{
    if (l.bits <= 8) {
        const int perByte = 8 / l.bits;
        const unsigned mask = (1u << l.bits) - 1;
        for (int x = 0; x < width; ++x) {
            const qint64 i = first + qint64(x) * step;
            const int shift = 8 - l.bits * (i % perByte + 1);
            to[x] = l.colour((row[i / perByte] >> shift) & mask);
        }
        return;
    }
    const int bytes = l.bits / 8;
    for (int x = 0; x < width; ++x) {
        const uint32_t v = pixelValue(row + (first + qint64(x) * step) * bytes, bytes);
        const int a = l.alpha.max != 0 ? l.alpha.value(v) : 255;
        to[x] = qRgba(l.rgb[0].value(v), l.rgb[1].value(v), l.rgb[2].value(v), a);
        alpha.nonZero |= a != 0;
    }
}

// Uncompressed rows: of each row of the block that is kept (every step-th) only the bytes that hold
// the block's pixels are read.
bool decodePlain(QIODevice& device, const Layout& l, const TRect& block, int step, Bitmap& px, AlphaSeen& alpha)
{
    const qint64 start = qint64(block.Left) * l.bits / 8, end = (qint64(block.Right) * l.bits + 7) / 8;
    const int first = int(block.Left - start * 8 / l.bits);
    std::vector<uchar> row(static_cast<size_t>(end - start));
    for (int y = 0; y < px.height(); ++y) {
        const qint64 pictureRow = block.Top + qint64(y) * step;
        const qint64 fileRow = l.topDown ? pictureRow : l.height - 1 - pictureRow;
        if (!readAt(device, l, l.dataOffset + fileRow * l.rowBytes + start, row.data(), end - start))
            return false;
        decodeRow(l, row.data(), first, step, px.scanLine(y), px.width(), alpha);
    }
    return true;
}

// Reads the run-length stream from the pixels' offset to the end of the file, a buffer at a time.
class Stream {
public:
    Stream(QIODevice& device, const Layout& l) : device_(device), left_(l.fileSize - l.dataOffset)
    {
        ok_ = device.seek(l.dataOffset);
    }
    bool byte(uchar& b)
    {
        if (pos_ == buffer_.size() && !fill())
            return false;
        b = buffer_[pos_++];
        return true;
    }

private:
    bool fill()
    {
        if (!ok_ || left_ <= 0)
            return false;
        buffer_.resize(size_t(std::min<qint64>(left_, 64 * 1024)));
        ok_ = device_.read(reinterpret_cast<char*>(buffer_.data()), qint64(buffer_.size())) == qint64(buffer_.size());
        left_ -= qint64(buffer_.size());
        pos_ = 0;
        return ok_;
    }
    QIODevice& device_;
    qint64 left_;
    std::vector<uchar> buffer_;
    size_t pos_ = 0;
    bool ok_ = false;
};

// Pixels of a run-length stream: one colour index (8 bits), two alternating ones (4 bits), or a
// colour of its own (24 bits).
struct RunPixels {
    const Layout& l;
    Stream& in;
    QRgb first = 0, second = 0;

    bool readRunColour(uchar code)
    {
        if (l.coding == Coding::Rle24) {
            uchar g, r;
            if (!in.byte(g) || !in.byte(r))
                return false;
            first = second = qRgb(r, g, code);
        } else if (l.coding == Coding::Rle4) {
            first = l.colour(code >> 4);
            second = l.colour(code & 15u);
        } else {
            first = second = l.colour(code);
        }
        return true;
    }
};

// row holds the block's part of the picture row kept, every step-th pixel from column left on,
// width of them.
bool decodeAbsolute(RunPixels& run, int n, QRgb* row, qint64 x, qint64 left, int step, int width)
{
    uchar b = 0;
    for (int i = 0; i < n; ++i) {
        // Four-bit pixels come two to a byte.
        const bool secondNibble = run.l.coding == Coding::Rle4 && i % 2 == 1;
        if (!secondNibble && (!run.in.byte(b) || !run.readRunColour(b)))
            return false;
        if (row && x + i >= left && (x + i - left) % step == 0 && (x + i - left) / step < width)
            row[(x + i - left) / step] = secondNibble ? run.second : run.first;
    }
    // The block is padded to a 16-bit boundary.
    const qint64 bytes = run.l.coding == Coding::Rle24 ? 3 * n : run.l.coding == Coding::Rle4 ? (n + 1) / 2 : n;
    return bytes % 2 == 0 || run.in.byte(b);
}

// Run-length pixels come bottom row first. Pixels that the stream skips (delta moves, an early end
// of a row or of the picture) keep the fill colour: palette colour 0, or black without a palette,
// a reading the BMP Suite gives for q/pal8rletrns.bmp and q/pal8rlecut.bmp where transparency
// cannot be shown. Runs past a row's right edge are cut there, not carried into the next row, and
// moves past the top end the picture (b/badrle*.bmp).
bool decodeRle(QIODevice& device, const Layout& l, const TRect& block, int step, Bitmap& px)
{
    px.fill(QRgbToColor(l.coding == Coding::Rle24 ? qRgb(0, 0, 0) : l.colour(0)));
    Stream in(device, l);
    RunPixels run{l, in};
    qint64 x = 0, row = 0;
    while (row < l.height) {
        const qint64 y = l.height - 1 - row - block.Top;
        QRgb* line = y >= 0 && y % step == 0 && y / step < px.height() ? px.scanLine(int(y / step)) : nullptr;
        uchar n, code;
        if (!in.byte(n) || !in.byte(code))
            return false; // the data ends before the picture does
        if (n > 0) {
            if (!run.readRunColour(code))
                return false;
            if (line)
                for (qint64 i = std::max<qint64>(x, block.Left); i < std::min<qint64>(x + n, block.Right); ++i)
                    if ((i - block.Left) % step == 0)
                        line[(i - block.Left) / step] = (i - x) % 2 == 0 ? run.first : run.second;
            x += n;
            continue;
        }
        uchar dx, dy;
        switch (code) {
        case 0: // end of row
            x = 0;
            ++row;
            break;
        case 1: // end of picture
            return true;
        case 2:
            if (!in.byte(dx) || !in.byte(dy))
                return false;
            x += dx;
            row += dy;
            break;
        default:
            if (!decodeAbsolute(run, code, line, x, block.Left, step, px.width()))
                return false;
            x += code;
        }
    }
    return true;
}

} // namespace
} // namespace bmp

namespace bmp {

bool decodeBlock(QIODevice& device, const Layout& layout, const TRect& block, Bitmap& out, bool& alphaUnfilled,
                 int step)
{
    Bitmap picture(int((qint64(block.width()) + step - 1) / step), int((qint64(block.height()) + step - 1) / step));
    AlphaSeen alpha;
    if (!picture.isEmpty()) {
        const bool ok = layout.coding == Coding::Plain ? decodePlain(device, layout, block, step, picture, alpha)
                                                       : decodeRle(device, layout, block, step, picture);
        if (!ok)
            return false;
    }
    // An alpha channel that is 0 in every pixel is one its writer left unfilled, which browsers
    // show opaque: only one that varies, or holds values between, makes pixels see-through.
    alphaUnfilled = layout.alpha.max != 0 && !alpha.nonZero;
    if (alphaUnfilled)
        for (int y = 0; y < picture.height(); ++y)
            for (QRgb& p : std::span(picture.scanLine(y), size_t(picture.width())))
                p |= 0xFF000000u;
    out = std::move(picture);
    return true;
}

} // namespace bmp

bool DecodeBmp(QIODevice& device, int maxWidth, int maxHeight, Bitmap& out)
{
    bmp::Layout layout;
    if (!bmp::readLayout(device, layout))
        return false;
    const TRect corner{0, 0, int(std::clamp<qint64>(layout.width, 0, std::max(maxWidth, 0))),
                       int(std::clamp<qint64>(layout.height, 0, std::max(maxHeight, 0)))};
    bool alphaUnfilled;
    return bmp::decodeBlock(device, layout, corner, out, alphaUnfilled);
}

bool DecodeBmpBlock(QIODevice& device, const TRect& block, Bitmap& out)
{
    bmp::Layout layout;
    bool alphaUnfilled;
    return bmp::readLayout(device, layout) && bmp::holds(layout, block) &&
           bmp::decodeBlock(device, layout, block, out, alphaUnfilled);
}

bool DecodeBmpOverview(QIODevice& device, int maxWidth, int maxHeight, Bitmap& out, int& step)
{
    bmp::Layout layout;
    if (maxWidth < 1 || maxHeight < 1 || !bmp::readLayout(device, layout) || layout.rowBytes > kMostWholeRowBytes)
        return false;
    const int64_t chosen = std::max({int64_t(1), StepToFit(layout.width, maxWidth), StepToFit(layout.height, maxHeight)});
    const TRect whole{0, 0, int(layout.width), int(layout.height)};
    bool alphaUnfilled;
    if (!bmp::decodeBlock(device, layout, whole, out, alphaUnfilled, int(chosen)))
        return false;
    step = int(chosen);
    return true;
}

bool ReadBmpSize(QIODevice& device, qint64& width, qint64& height)
{
    bmp::Layout layout;
    if (!bmp::readLayout(device, layout))
        return false;
    width = layout.width;
    height = layout.height;
    return true;
}
