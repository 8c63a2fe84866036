// SPDX-License-Identifier: MIT
// A chip written back into its block of a PNG file. The image data is one zlib stream over all
// the rows, so it cannot be patched where it lies: it is inflated row by row, the block's pixels
// are put into each row, and the row is filtered again as the file filtered it and deflated anew.
// Every other chunk passes through as the file holds it. Interlaced pictures stay interlaced: the
// passes follow one another in the stream, each with rows of its own, so they are written back one
// after the other as they come, and memory stays at a few rows of a pass however large the picture.
#include "pictures/WriteBack.h"

#include <QHash>

#include "pictures/PngChunks.h"

namespace png {
namespace {

using Result = TWriteBackResult;

// A row is held a few times over; a longer one would not be held in memory, whatever the file.
constexpr qint64 kLargestRow = qint64(256) << 20;

// A chip pixel in the file's kind: its palette index, or its channels' samples.
using Samples = std::array<uint32_t, 4>;

void send(const TByteSink& sink, const uchar* data, qint64 n) { sink(reinterpret_cast<const char*>(data), n); }

void sendChunk(const TByteSink& sink, const char* type, const uchar* data, uint32_t n)
{
    uchar head[8], crc[4];
    qToBigEndian<quint32>(n, head);
    std::memcpy(head + 4, type, 4);
    qToBigEndian<quint32>(quint32(crc32(crc32(0, head + 4, 4), data, n)), crc);
    send(sink, head, 8);
    send(sink, data, n);
    send(sink, crc, 4);
}

// The sample of depth bits that reads back as exactly v, if the depth has one.
bool toSample(int v, int depth, uint32_t& s)
{
    if (depth == 16) {
        s = uint32_t(v) * 257;
        return true;
    }
    const uint32_t max = (1u << depth) - 1;
    s = uint32_t(v) * max / 255;
    return uint32_t(v) * max % 255 == 0;
}

// Grey and RGB pictures: every pixel is encoded, so that whether the chip fits does not hang on
// the pixels' bytes, which are read only later. A pixel read from the file always fits.
Result encodeSamples(const Header& h, const Colours& c, const Bitmap& chip, const TWriteBackConsent& consent,
                     std::vector<Samples>& out)
{
    const int d = h.depth, colours = h.grey() ? 1 : 3;
    // A key the depth cannot hold makes no pixel transparent, so it cannot make one either.
    const bool keyHeld = c.hasKey && std::all_of(c.key.begin(), c.key.begin() + colours,
                                                 [d](uint16_t k) { return k <= (1u << d) - 1; });
    int notHeld = 0, alphaLost = 0;
    for (int y = 0; y < chip.height(); ++y) {
        for (int x = 0; x < chip.width(); ++x) {
            const QRgb p = chip.argb(x, y);
            Samples& s = out[size_t(y) * size_t(chip.width()) + size_t(x)];
            if (!h.alpha() && qAlpha(p) == 0 && keyHeld) {
                s = {c.key[0], c.key[1], c.key[2], 0};
                continue;
            }
            if (!h.alpha() && qAlpha(p) != 255)
                ++alphaLost;
            const int rgb[3] = {qRed(p), qGreen(p), qBlue(p)};
            bool held = !h.grey() || (rgb[0] == rgb[1] && rgb[1] == rgb[2]);
            for (int i = 0; held && i < colours; ++i)
                held = toSample(rgb[i], d, s[size_t(i)]);
            if (h.alpha()) {
                toSample(qAlpha(p), d, s[size_t(h.channels() - 1)]);
            } else if (held && keyHeld && std::equal(s.begin(), s.begin() + colours, c.key.begin())) {
                // An opaque colour the key would make transparent: at 16 bits another of the 257
                // samples that read back as it will do; at fewer the colour has no other.
                if (d == 16)
                    s[0] = s[0] == 65535 ? 65534 : s[0] + 1;
                else
                    held = false;
            }
            notHeld += held ? 0 : 1;
        }
    }
    // What no consent can change is told before anything is asked.
    if (notHeld > 0)
        return {Result::ColoursNotHeld, notHeld};
    if (alphaLost > 0 && !consent.dropAlpha)
        return {Result::AlphaNotHeld, alphaLost};
    return {Result::Written};
}

// Palette pictures: each pixel takes the first entry of its colour and alpha, a transparent one
// the first transparent entry whatever its colour, as a palette's transparent entry stands for
// them all. Colours the palette lacks go after its entries, once the user agrees; the old entries
// keep their places, so the rest of the picture still reads as it did.
Result encodeIndexes(const Header& h, Colours& c, const Bitmap& chip, const TWriteBackConsent& consent,
                     std::vector<Samples>& out, bool& grown)
{
    QHash<QRgb, int> entries;
    int transparent = -1;
    for (int i = c.paletteSize - 1; i >= 0; --i) {
        entries.insert((c.palette[size_t(i)] & 0x00FFFFFFu) | QRgb(c.paletteAlpha[size_t(i)]) << 24, i);
        if (c.paletteAlpha[size_t(i)] == 0)
            transparent = i;
    }
    std::vector<QRgb> missing;
    for (int y = 0; y < chip.height(); ++y) {
        for (int x = 0; x < chip.width(); ++x) {
            const QRgb p = chip.argb(x, y);
            int entry = qAlpha(p) == 0 ? transparent : entries.value(p, -1);
            if (entry < 0) {
                entry = c.paletteSize + int(missing.size());
                missing.push_back(p);
                if (qAlpha(p) == 0)
                    transparent = entry;
                else
                    entries.insert(p, entry);
            }
            out[size_t(y) * size_t(chip.width()) + size_t(x)][0] = uint32_t(entry);
        }
    }
    if (missing.empty())
        return {Result::Written};
    const int count = int(missing.size());
    if (count > std::min(256, 1 << h.depth) - c.paletteSize)
        return {Result::NoRoomForColours, count};
    if (!consent.addColours)
        return {Result::MissingColours, count};
    for (const QRgb p : missing) {
        const auto i = size_t(c.paletteSize++);
        c.palette[i] = p | 0xFF000000u;
        c.paletteAlpha[i] = uint8_t(qAlpha(p));
        // tRNS may leave out the opaque entries after its last one, not any before.
        if (qAlpha(p) != 255)
            c.paletteAlphas = int(i) + 1;
    }
    grown = true;
    return {Result::Written};
}

// Sends the signature and the chunks before the image data on, with the palette and its alphas
// written anew when it has grown; leaves chunks at the first IDAT.
bool copyHeaderChunks(Chunks& chunks, const Colours& c, bool grown, const TByteSink& sink)
{
    uchar palette[256 * 3];
    for (size_t i = 0; i < size_t(c.paletteSize); ++i) {
        palette[3 * i] = uchar(qRed(c.palette[i]));
        palette[3 * i + 1] = uchar(qGreen(c.palette[i]));
        palette[3 * i + 2] = uchar(qBlue(c.palette[i]));
    }
    const auto put = [&](const uchar* data, qint64 n) { send(sink, data, n); };
    if (!chunks.readSignature())
        return false;
    put(kSignature, sizeof kSignature);
    for (;;) {
        if (!chunks.next())
            return false;
        if (chunks.is("IDAT"))
            return true;
        if (!grown || !(chunks.is("PLTE") || chunks.is("tRNS"))) {
            if (!chunks.copy(put))
                return false;
            continue;
        }
        if (!chunks.finish())
            return false;
        if (chunks.is("PLTE"))
            sendChunk(sink, "PLTE", palette, uint32_t(3 * c.paletteSize));
        // A new tRNS goes right after the palette it belongs to.
        if (chunks.is("tRNS") || (!c.hasTransparency && c.paletteAlphas > 0))
            sendChunk(sink, "tRNS", c.paletteAlpha.data(), uint32_t(c.paletteAlphas));
    }
}

// The new image data, deflated as it comes and sent on in IDAT chunks.
class DeflatedData {
public:
    explicit DeflatedData(const TByteSink& sink) : sink_(sink), buffer_(kBufferSize)
    {
        ready_ = deflateInit(&z_, Z_DEFAULT_COMPRESSION) == Z_OK;
    }
    ~DeflatedData() { deflateEnd(&z_); }
    DeflatedData(const DeflatedData&) = delete;
    DeflatedData& operator=(const DeflatedData&) = delete;

    bool write(const uchar* data, qint64 n)
    {
        z_.next_in = const_cast<uchar*>(data);
        z_.avail_in = uInt(n);
        return run(Z_NO_FLUSH);
    }
    bool finish() { return run(Z_FINISH); }

private:
    bool run(int flush)
    {
        for (;;) {
            if (!ready_)
                return false;
            z_.next_out = buffer_.data() + used_;
            z_.avail_out = uInt(buffer_.size() - used_);
            const int result = deflate(&z_, flush);
            if (result == Z_STREAM_ERROR)
                return false;
            used_ = buffer_.size() - z_.avail_out;
            const bool full = z_.avail_out == 0;
            if (full)
                sendBuffer();
            if (flush == Z_FINISH ? result == Z_STREAM_END : !full)
                break;
        }
        if (flush == Z_FINISH && used_ > 0)
            sendBuffer();
        return true;
    }
    void sendBuffer()
    {
        sendChunk(sink_, "IDAT", buffer_.data(), uint32_t(used_));
        used_ = 0;
    }

    const TByteSink& sink_;
    std::vector<uchar> buffer_;
    size_t used_ = 0;
    z_stream z_{};
    bool ready_ = false;
};

// Every row of every pass: inflated, unfiltered, the block's pixels put in, filtered as it was and
// deflated. A row is unfiltered against the file's row before it and filtered against the new
// one, so rows outside the block come out as they went in.
Result writeRows(Chunks& chunks, const Header& h, const Colours& c, const TRect& block, const Bitmap& chip,
                 const std::vector<Samples>& samples, DeflatedData& out)
{
    ImageData in(chunks);
    const int bpp = std::max(1, h.bitsPerPixel() / 8), n = h.colourType == Palette ? 1 : h.channels();
    for (const PassRows& p : passesOf(h, block)) {
        const auto size = size_t(p.rowBytes);
        std::vector<uchar> row(size), above(size), edited(size), editedAbove(size), filtered(size);
        for (qint64 r = 0; r < p.rows; ++r) {
            if (!in.inflateTo(row.data(), p.rowBytes) || !unfilter(row[0], row.data() + 1, above.data() + 1, p.rowBytes - 1, bpp))
                return {Result::Unreadable};
            std::copy(row.begin(), row.end(), edited.begin());
            for (qint64 i = p.firstColumn; r >= p.firstRow && r < p.endRow && i < p.endColumn; ++i) {
                const int x = int(p.x(i) - block.Left), y = int(p.y(r) - block.Top);
                QRgb was;
                if (!pixelAt(h, c, row.data() + 1, i, was))
                    return {Result::Unreadable};
                // A pixel as it was read keeps its bytes, which may hold more than the chip does.
                if (was == chip.argb(x, y))
                    continue;
                const Samples& s = samples[size_t(y) * size_t(chip.width()) + size_t(x)];
                for (int k = 0; k < n; ++k)
                    putSample(edited.data() + 1, i * n + k, h.depth, s[size_t(k)]);
            }
            filtered[0] = row[0];
            filterRow(row[0], edited.data() + 1, editedAbove.data() + 1, filtered.data() + 1, p.rowBytes - 1, bpp);
            if (!out.write(filtered.data(), p.rowBytes))
                return {Result::CannotWrite};
            std::swap(above, row);
            std::swap(editedAbove, edited);
        }
    }
    return in.ends() && chunks.finish() ? Result{Result::Written} : Result{Result::Unreadable};
}

// Sends the chunks after the image data on as they are, IEND and anything after it included.
bool copyTrailer(Chunks& chunks, QIODevice& source, const TByteSink& sink)
{
    const auto put = [&](const uchar* data, qint64 n) { send(sink, data, n); };
    // IDAT chunks right after the end of the stream hold nothing of the picture: the new data replaces them.
    bool dataOver = false;
    for (;;) {
        if (!chunks.next())
            return false;
        if (chunks.is("IDAT")) {
            if (dataOver || !chunks.finish())
                return false;
            continue;
        }
        dataOver = true;
        if (chunks.critical() && !chunks.is("IEND"))
            return false;
        if (!chunks.copy(put))
            return false;
        if (chunks.is("IEND"))
            break;
    }
    std::vector<char> rest(kBufferSize);
    for (qint64 n; (n = source.read(rest.data(), qint64(rest.size()))) != 0;) {
        if (n < 0)
            return false;
        sink(rest.data(), n);
    }
    return true;
}

} // namespace
} // namespace png

TWriteBackResult WritePngBack(QIODevice& source, const TRect& block, const Bitmap& chip,
                              const TWriteBackConsent& consent, const TByteSink& sink)
{
    using png::Result;
    png::Chunks chunks(source);
    png::Header header;
    png::Colours colours;
    if (!source.seek(0) || !png::readHeaderChunks(chunks, header, colours))
        return {Result::Unreadable};
    if (block.Left < 0 || block.Top < 0 || block.Right <= block.Left || block.Bottom <= block.Top ||
        block.Right > header.width || block.Bottom > header.height || chip.width() != block.width() ||
        chip.height() != block.height())
        return {Result::BlockOutside};
    for (const png::PassRows& p : png::passesOf(header, block))
        if (p.rowBytes > png::kLargestRow)
            return {Result::Unsupported};

    std::vector<png::Samples> samples(size_t(chip.width()) * size_t(chip.height()));
    png::Colours written = colours;
    bool grown = false;
    const Result fit = header.colourType == png::Palette
                           ? png::encodeIndexes(header, written, chip, consent, samples, grown)
                           : png::encodeSamples(header, colours, chip, consent, samples);
    if (fit.kind != Result::Written)
        return fit;

    png::Chunks again(source);
    if (!source.seek(0) || !png::copyHeaderChunks(again, written, grown, sink))
        return {Result::Unreadable};
    png::DeflatedData data(sink);
    // Which pixels are unchanged is told by the file's own colours, as the chip was read with them.
    const Result rows = png::writeRows(again, header, colours, block, chip, samples, data);
    if (rows.kind != Result::Written)
        return rows;
    if (!data.finish())
        return {Result::CannotWrite};
    return png::copyTrailer(again, source, sink) ? Result{Result::Written} : Result{Result::Unreadable};
}
