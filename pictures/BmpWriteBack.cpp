// SPDX-License-Identifier: MIT
// A chip written back into its block of an uncompressed BMP file. Rows sit at fixed places in such
// a file, so the new file is the old one copied piece by piece with the block's bytes of each of
// its rows put in anew: headers, palette, the other pixels and anything after the pixels pass
// through untouched, and memory does not follow the picture at all.
#include "pictures/WriteBack.h"

#include <QtEndian>
#include <algorithm>
#include <optional>
#include <vector>

#include "pictures/BmpLayout.h"

namespace bmp {
namespace {

constexpr qint64 kCopyBuffer = 64 * 1024;

// The raw value of a channel that reads back as exactly v, if the channel has one.
std::optional<uint32_t> encodeChannel(const Channel& c, int v)
{
    if (c.max == 0)
        return v == 0 ? std::optional<uint32_t>(0) : std::nullopt;
    const uint64_t raw = (uint64_t(v) * c.max + 127) / 255;
    if (c.value(uint32_t(raw << c.shift)) != v)
        return std::nullopt;
    return uint32_t(raw << c.shift);
}

// How the chip's changed pixels become the file's pixel values.
class Encoder {
public:
    Encoder(const Layout& l, bool alphaUnfilled, const TWriteBackConsent& consent)
        : l_(l), alphaUnfilled_(alphaUnfilled), consent_(consent)
    {
    }

    // The file's value for the pixel, or why there is none. A colour that cannot be held is told
    // before an alpha that cannot: agreeing to drop the alpha would not help it.
    std::optional<uint32_t> encode(QRgb p, TWriteBackResult::Kind& why) const
    {
        why = TWriteBackResult::ColoursNotHeld;
        std::optional<uint32_t> value = encodeColour(p);
        if (!value)
            return std::nullopt;
        const bool alphaHeld = l_.alpha.max != 0 && !alphaUnfilled_;
        if (qAlpha(p) != 255 && !alphaHeld && !consent_.dropAlpha) {
            why = TWriteBackResult::AlphaNotHeld;
            return std::nullopt;
        }
        // An unfilled alpha channel stays unfilled, so that the file still reads opaque everywhere.
        if (!alphaHeld)
            return value;
        const std::optional<uint32_t> alpha = encodeChannel(l_.alpha, qAlpha(p));
        if (!alpha || !readsAs(*value | *alpha, p) || l_.alpha.value(*value | *alpha) != qAlpha(p))
            return std::nullopt;
        return *value | *alpha;
    }

private:
    std::optional<uint32_t> encodeColour(QRgb p) const
    {
        if (l_.bits <= 8) {
            const auto end = l_.palette.begin() + l_.paletteSize;
            const auto found = std::find(l_.palette.begin(), end, p | 0xFF000000u);
            return found == end ? std::nullopt : std::optional<uint32_t>(uint32_t(found - l_.palette.begin()));
        }
        uint32_t value = 0;
        const int channels[3] = {qRed(p), qGreen(p), qBlue(p)};
        for (size_t k = 0; k < 3; ++k) {
            const std::optional<uint32_t> raw = encodeChannel(l_.rgb[k], channels[k]);
            if (!raw)
                return std::nullopt;
            value |= *raw;
        }
        return readsAs(value, p | 0xFF000000u) ? std::optional<uint32_t>(value) : std::nullopt;
    }

    // Masks may overlap, so that channels written one by one spoil each other: the whole value
    // must read back as the pixel (alpha only where the file keeps it).
    bool readsAs(uint32_t value, QRgb p) const
    {
        return l_.rgb[0].value(value) == qRed(p) && l_.rgb[1].value(value) == qGreen(p) &&
               l_.rgb[2].value(value) == qBlue(p) && (qAlpha(p) == 255 || l_.alpha.value(value) == qAlpha(p));
    }

    const Layout& l_;
    bool alphaUnfilled_;
    const TWriteBackConsent& consent_;
};

// The new values of the block's pixels, one a pixel; none where the chip still holds the pixel
// as the file gave it, so that its bytes stay.
struct Changes {
    std::vector<std::optional<uint32_t>> values;
    TWriteBackResult misfit{};
};

Changes changedPixels(const TRect& block, const Bitmap& original, const Bitmap& chip,
                      const Encoder& encoder)
{
    Changes c;
    c.values.resize(size_t(block.width()) * size_t(block.height()));
    int notHeld = 0;
    for (int y = 0; y < chip.height(); ++y) {
        for (int x = 0; x < chip.width(); ++x) {
            const QRgb p = chip.argb(x, y);
            if (p == original.argb(x, y))
                continue;
            TWriteBackResult::Kind why;
            const std::optional<uint32_t> v = encoder.encode(p, why);
            if (!v && why == TWriteBackResult::AlphaNotHeld)
                c.misfit = {why, c.misfit.count + 1};
            else if (!v)
                ++notHeld; // a colour the palette lacks, or one the masks cannot hold
            c.values[size_t(y) * size_t(block.width()) + size_t(x)] = v;
        }
    }
    // What cannot be written even with consent is told first: asking would be for nothing.
    if (notHeld > 0)
        c.misfit = {TWriteBackResult::ColoursNotHeld, notHeld};
    return c;
}

// Puts the pixel value v into the bytes of a row part whose first pixel is the first-th.
void putPixel(const Layout& l, uchar* bytes, int first, int x, uint32_t v)
{
    const int i = first + x;
    if (l.bits <= 8) {
        const int perByte = 8 / l.bits, shift = 8 - l.bits * (i % perByte + 1);
        const unsigned mask = ((1u << l.bits) - 1) << shift;
        bytes[i / perByte] = uchar((bytes[i / perByte] & ~mask) | (v << shift & mask));
        return;
    }
    uchar* p = bytes + i * (l.bits / 8);
    // Bits no mask covers keep what the file had in them.
    const uint32_t masks = l.rgb[0].mask | l.rgb[1].mask | l.rgb[2].mask | l.alpha.mask;
    for (int b = 0; b < l.bits / 8; ++b) {
        const uint32_t m = masks >> (8 * b) & 0xFF;
        p[b] = uchar((p[b] & ~m) | (v >> (8 * b) & m));
    }
}

class Copier {
public:
    Copier(QIODevice& source, const TByteSink& sink) : source_(source), sink_(sink), buffer_(kCopyBuffer) {}

    // Copies the source from where it is read up to byte offset to.
    bool copyTo(qint64 to)
    {
        while (source_.pos() < to) {
            const qint64 n = source_.read(buffer_.data(), std::min<qint64>(kCopyBuffer, to - source_.pos()));
            if (n <= 0)
                return false;
            sink_(buffer_.data(), n);
        }
        return true;
    }
    bool copyToEnd()
    {
        for (;;) {
            const qint64 n = source_.read(buffer_.data(), kCopyBuffer);
            if (n < 0)
                return false;
            if (n == 0)
                return true;
            sink_(buffer_.data(), n);
        }
    }

private:
    QIODevice& source_;
    const TByteSink& sink_;
    std::vector<char> buffer_;
};

TWriteBackResult writeRows(QIODevice& source, const Layout& l, const TRect& block, const Changes& changes,
                           const TByteSink& sink)
{
    const qint64 start = qint64(block.Left) * l.bits / 8, end = (qint64(block.Right) * l.bits + 7) / 8;
    const int first = int(block.Left - start * 8 / l.bits);
    std::vector<uchar> part(size_t(end - start));
    // The block's rows in the order the file holds them.
    std::vector<int> rows(size_t(block.height()));
    for (int y = 0; y < block.height(); ++y)
        rows[size_t(y)] = l.topDown ? y : block.height() - 1 - y;
    Copier copier(source, sink);
    if (!source.seek(0))
        return {TWriteBackResult::Unreadable};
    for (const int y : rows) {
        const qint64 fileRow = l.topDown ? block.Top + y : l.height - 1 - (block.Top + y);
        if (!copier.copyTo(l.dataOffset + fileRow * l.rowBytes + start) ||
            source.read(reinterpret_cast<char*>(part.data()), qint64(part.size())) != qint64(part.size()))
            return {TWriteBackResult::Unreadable};
        for (int x = 0; x < block.width(); ++x)
            if (const std::optional<uint32_t>& v = changes.values[size_t(y) * size_t(block.width()) + size_t(x)])
                putPixel(l, part.data(), first, x, *v);
        sink(reinterpret_cast<const char*>(part.data()), qint64(part.size()));
    }
    return copier.copyToEnd() ? TWriteBackResult{TWriteBackResult::Written} : TWriteBackResult{TWriteBackResult::Unreadable};
}

} // namespace
} // namespace bmp

TWriteBackResult WriteBmpBack(QIODevice& source, const TRect& block, const Bitmap& chip,
                              const TWriteBackConsent& consent, const TByteSink& sink)
{
    bmp::Layout layout;
    if (!source.seek(0) || !bmp::readLayout(source, layout))
        return {TWriteBackResult::Unreadable};
    if (!bmp::holds(layout, block) || chip.width() != block.width() || chip.height() != block.height())
        return {TWriteBackResult::BlockOutside};
    // Run-length rows have no fixed place: writing the block back means coding the picture anew.
    if (layout.coding != bmp::Coding::Plain)
        return {TWriteBackResult::Unsupported};
    Bitmap original;
    bool alphaUnfilled = false;
    if (!bmp::decodeBlock(source, layout, block, original, alphaUnfilled))
        return {TWriteBackResult::Unreadable};
    const bmp::Encoder encoder(layout, alphaUnfilled, consent);
    const bmp::Changes changes = bmp::changedPixels(block, original, chip, encoder);
    if (changes.misfit.kind != TWriteBackResult::Written)
        return changes.misfit;
    return bmp::writeRows(source, layout, block, changes, sink);
}
