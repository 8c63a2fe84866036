// SPDX-License-Identifier: MIT
#include "pictures/PictureData.h"

#include <QBuffer>
#include <QtEndian>
#include <QImageReader>
#include <algorithm>

#include "pictures/BmpReader.h"

namespace {

const QString kPng = QStringLiteral("image/png");
const QString kQtImage = QStringLiteral("application/x-qt-image");

// Room for the largest picture at 8 bytes a pixel (16-bit channels), in megabytes.
int allocationLimitMb(qint64 maxPixels)
{
    return int(std::max<qint64>(1, maxPixels * 8 / (1024 * 1024)));
}

bool isBmpType(const QString& lower)
{
    return lower == QLatin1String("image/bmp") || lower == QLatin1String("image/x-bmp") ||
           lower == QLatin1String("image/x-ms-bmp");
}

// The offered formats that are read, best first.
QStringList pictureFormats(const QMimeData& data)
{
    static const QList<QByteArray> readable = QImageReader::supportedMimeTypes();
    QStringList png, bmp, other;
    for (const QString& format : data.formats()) {
        const QString lower = format.toLower();
        if (lower == kPng)
            png << format;
        else if (isBmpType(lower))
            bmp << format;
        else if (lower.startsWith(QLatin1String("image/")) && readable.contains(lower.toLatin1()))
            other << format;
    }
    return png + bmp + other;
}

Bitmap topLeft(const QImage& image, int maxWidth, int maxHeight)
{
    const int w = std::clamp(image.width(), 0, std::max(maxWidth, 0));
    const int h = std::clamp(image.height(), 0, std::max(maxHeight, 0));
    if (w == 0 || h == 0)
        return Bitmap(w, h); // no pixels, but the side that has some still counts
    if (w == image.width() && h == image.height())
        return Bitmap::fromImage(image);
    return Bitmap::fromImage(image.copy(0, 0, w, h));
}

// Qt's allocation limit is one setting for the whole program; ours holds for one read only.
class AllocationLimit {
public:
    explicit AllocationLimit(int mb) : old_(QImageReader::allocationLimit()) { QImageReader::setAllocationLimit(mb); }
    ~AllocationLimit() { QImageReader::setAllocationLimit(old_); }

private:
    int old_;
};

bool decodeWithQt(const QByteArray& format, QBuffer& buffer, int maxWidth, int maxHeight, Bitmap& out,
                  qint64 maxPixels)
{
    QImageReader reader(&buffer, format);
    reader.setDecideFormatFromContent(false);
    reader.setAutoTransform(false);
    // Some of Qt's readers (GIF) take any bytes for their format and fill a canvas of whatever
    // size the bytes seem to say before they fail: data must start as its format does.
    if (!reader.canRead())
        return false;
    const QSize size = reader.size();
    if (size.isValid()) {
        if (size.isEmpty() || qint64(size.width()) * size.height() > maxPixels)
            return false;
        // Readers that can decode a part (JPEG) decode only what is kept.
        const QRect kept(0, 0, std::min(size.width(), maxWidth), std::min(size.height(), maxHeight));
        if (!kept.isEmpty() && reader.supportsOption(QImageIOHandler::ClipRect))
            reader.setClipRect(kept);
    }
    QImage image;
    {
        const AllocationLimit limit(allocationLimitMb(maxPixels));
        if (!reader.read(&image) || image.isNull())
            return false;
    }
    out = topLeft(image, maxWidth, maxHeight);
    return true;
}

} // namespace

bool OffersPicture(const QMimeData& data)
{
    return !pictureFormats(data).isEmpty() || data.hasFormat(kQtImage);
}

bool DecodePictureData(const QString& mimeType, const QByteArray& bytes, int maxWidth, int maxHeight, Bitmap& out,
                       qint64 maxPixels)
{
    const QString lower = mimeType.toLower();
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return false;
    if (isBmpType(lower))
        return DecodeBmp(buffer, maxWidth, maxHeight, out);
    const QList<QByteArray> formats = QImageReader::imageFormatsForMimeType(lower.toLatin1());
    return !formats.isEmpty() && decodeWithQt(formats.first(), buffer, maxWidth, maxHeight, out, maxPixels);
}

OfferedPicture ReadOfferedPicture(const QMimeData& data, int maxWidth, int maxHeight, Bitmap& out, qint64 maxPixels)
{
    const QStringList formats = pictureFormats(data);
    for (const QString& format : formats)
        if (DecodePictureData(format, data.data(format), maxWidth, maxHeight, out, maxPixels))
            return OfferedPicture::Read;
    if (!formats.isEmpty())
        return OfferedPicture::Unreadable;
    // A picture put on the clipboard by this program comes as a picture, not as bytes.
    if (!data.hasFormat(kQtImage))
        return OfferedPicture::None;
    const QImage image = qvariant_cast<QImage>(data.imageData());
    if (image.isNull())
        return OfferedPicture::Unreadable;
    out = topLeft(image, maxWidth, maxHeight);
    return OfferedPicture::Read;
}

QByteArray BmpFileOfDib(const QByteArray& dib)
{
    const auto* d = reinterpret_cast<const uchar*>(dib.constData());
    qint64 pixels = 0; // where the pixels start, counted from the info header
    if (dib.size() >= 12 && qFromLittleEndian<quint32>(d) == 12) {
        const int bits = qFromLittleEndian<quint16>(d + 10);
        pixels = 12 + (bits <= 8 ? 3 << bits : 0);
    } else if (dib.size() >= 40) {
        const qint64 header = qFromLittleEndian<quint32>(d);
        const int bits = qFromLittleEndian<quint16>(d + 14);
        const quint32 compression = qFromLittleEndian<quint32>(d + 16);
        const qint64 colours = qFromLittleEndian<quint32>(d + 32);
        const qint64 masks = header != 40 ? 0 : compression == 3 ? 12 : compression == 6 ? 16 : 0; // BI_(ALPHA)BITFIELDS
        pixels = header + masks + 4 * (colours ? colours : bits <= 8 ? qint64(1) << bits : 0);
    }
    QByteArray file(14, '\0');
    auto* f = reinterpret_cast<uchar*>(file.data());
    f[0] = 'B';
    f[1] = 'M';
    qToLittleEndian<quint32>(quint32(std::min<qint64>(14 + qint64(dib.size()), UINT32_MAX)), f + 2);
    qToLittleEndian<quint32>(quint32(std::min<qint64>(14 + pixels, UINT32_MAX)), f + 10);
    return file + dib;
}
