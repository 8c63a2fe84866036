#include "platform/BmpFile.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QSaveFile>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <bit>

#include "platform/Errors.h"

namespace {

// Largest picture we let the reader allocate, relative to the file: an uncompressed 1-bit file
// grows 32 times when decoded, run-length files more; a header that claims a huge picture over
// a small file must not make us allocate gigabytes before the reader notices the data is short.
constexpr qint64 kDecodedBytesPerFileByte = 64;
constexpr int kMinAllocationLimitMb = 4;
constexpr int kMaxAllocationLimitMb = 256;

uint32_t le32(const QByteArray& b, int at)
{
    return qFromLittleEndian<quint32>(reinterpret_cast<const uchar*>(b.constData()) + at);
}
uint16_t le16(const QByteArray& b, int at)
{
    return qFromLittleEndian<quint16>(reinterpret_cast<const uchar*>(b.constData()) + at);
}

// Bit masks of the three colour channels of a 16- or 32-bit file, or all zero when the file
// is of another kind.
struct ChannelMasks {
    std::array<uint32_t, 3> rgb{};
};

ChannelMasks channelMasks(const QByteArray& head)
{
    ChannelMasks m;
    if (head.size() < 54 || head[0] != 'B' || head[1] != 'M')
        return m;
    const uint32_t headerSize = le32(head, 14);
    if (headerSize < 40)
        return m;
    const uint16_t bitCount = le16(head, 28);
    const uint32_t compression = le32(head, 30);
    if (bitCount != 16 && bitCount != 32)
        return m;
    if (compression == 0) {
        if (bitCount == 16)
            m.rgb = {0x7C00u, 0x03E0u, 0x001Fu};
        return m;
    }
    // BI_BITFIELDS: the masks follow a 40-byte header, or sit at the same place inside a V4/V5 one.
    if (compression == 3 && head.size() >= 66)
        m.rgb = {le32(head, 54), le32(head, 58), le32(head, 62)};
    return m;
}

// Qt 6.4 widens a channel of n < 8 bits by shifting it left (a 5-bit 31 becomes 248), so white
// would load grey. A tile editor needs exact colours: rescale to v * 255 / (2^n - 1), rounded.
void rescaleNarrowChannels(QImage& image, const ChannelMasks& masks)
{
    std::array<int, 3> bits{};
    bool any = false;
    for (int k = 0; k < 3; ++k) {
        const uint32_t mask = masks.rgb[k];
        bits[k] = std::popcount(mask);
        // Only contiguous masks are widened by a plain shift.
        const bool contiguous = mask != 0 && std::has_single_bit((mask >> std::countr_zero(mask)) + 1);
        if (!contiguous || bits[k] >= 8)
            bits[k] = 0;
        any = any || bits[k] != 0;
    }
    if (!any)
        return;
    std::array<std::array<uint8_t, 256>, 3> lut{};
    for (int k = 0; k < 3; ++k)
        for (int v = 0; v < 256; ++v) {
            if (bits[k] == 0) {
                lut[k][v] = uint8_t(v);
                continue;
            }
            const int max = (1 << bits[k]) - 1;
            const int raw = v >> (8 - bits[k]);
            lut[k][v] = uint8_t((raw * 255 + max / 2) / max);
        }
    image = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            row[x] = qRgb(lut[0][qRed(row[x])], lut[1][qGreen(row[x])], lut[2][qBlue(row[x])]);
    }
}

// Uncompressed pixel data must be all there: Qt would otherwise fill the missing rows itself and
// a truncated file would open as if it were whole.
bool pixelDataComplete(const QByteArray& head, qint64 fileSize)
{
    if (head.size() < 30 || head[0] != 'B' || head[1] != 'M')
        return false;
    const qint64 dataOffset = le32(head, 10);
    const uint32_t headerSize = le32(head, 14);
    qint64 width, height, bits, compression = 0;
    if (headerSize == 12) {
        width = le16(head, 18);
        height = le16(head, 20);
        bits = le16(head, 24);
    } else if (headerSize >= 40 && head.size() >= 34) {
        width = int32_t(le32(head, 18));
        height = int32_t(le32(head, 22));
        bits = le16(head, 28);
        compression = le32(head, 30);
    } else {
        return true; // unusual headers are left to the reader's own checks
    }
    const bool uncompressed = compression == 0 || compression == 3 || compression == 6;
    if (!uncompressed || width <= 0 || height == 0 || bits <= 0 || bits > 64)
        return true;
    const qint64 rowBytes = (width * bits + 31) / 32 * 4;
    if (std::abs(height) > fileSize / rowBytes)
        return false;
    return dataOffset + rowBytes * std::abs(height) <= fileSize;
}

// Qt refuses a picture with no pixels, but we write such files for chips of width or height 0,
// and they must load again.
bool readEmptyBmp(const QByteArray& head, Bitmap& out)
{
    if (head.size() < 54 || head[0] != 'B' || head[1] != 'M' || le32(head, 14) < 40)
        return false;
    const int32_t w = int32_t(le32(head, 18)), h = int32_t(le32(head, 22));
    if (w < 0 || (w != 0 && h != 0))
        return false;
    out = Bitmap();
    return true;
}

} // namespace

bool ReadBmpFile(const QString& path, Bitmap& out)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = file.size();
    const QByteArray head = file.peek(128);
    if (!pixelDataComplete(head, size))
        return false;

    const qint64 limitMb = size * kDecodedBytesPerFileByte / (1024 * 1024) + 1;
    QImageReader reader(&file, "bmp");
    reader.setAutoTransform(false);
    reader.setAllocationLimit(int(std::clamp<qint64>(limitMb, kMinAllocationLimitMb, kMaxAllocationLimitMb)));
    QImage image;
    if (!reader.read(&image) || image.isNull())
        return readEmptyBmp(head, out);
    rescaleNarrowChannels(image, channelMasks(head));
    out = Bitmap::fromImage(image);
    return true;
}

void WriteBmpFile(const QString& path, const Bitmap& bitmap)
{
    const int w = bitmap.width(), h = bitmap.height();
    const int rowBytes = (w * 3 + 3) & ~3;
    const quint32 imageBytes = quint32(rowBytes) * quint32(h);
    QByteArray data(54 + qsizetype(imageBytes), '\0');
    uchar* p = reinterpret_cast<uchar*>(data.data());
    auto put16 = [&](int at, quint16 v) { qToLittleEndian<quint16>(v, p + at); };
    auto put32 = [&](int at, quint32 v) { qToLittleEndian<quint32>(v, p + at); };
    p[0] = 'B';
    p[1] = 'M';
    put32(2, quint32(data.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, quint32(w));
    put32(22, quint32(h));
    put16(26, 1);
    put16(28, 24);
    put32(34, imageBytes);
    put32(38, 2835); // 72 dpi
    put32(42, 2835);
    for (int y = 0; y < h; ++y) {
        uchar* d = p + 54 + qsizetype(h - 1 - y) * rowBytes; // bottom-up rows
        const QRgb* s = bitmap.scanLine(y);
        for (int x = 0; x < w; ++x) {
            *d++ = uchar(qBlue(s[x]));
            *d++ = uchar(qGreen(s[x]));
            *d++ = uchar(qRed(s[x]));
        }
    }
    QSaveFile file(path);
    const bool ok = file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.commit();
    if (!ok)
        throw EMarloError(QStringLiteral("ファイル %1 を作成できません").arg(path));
}
