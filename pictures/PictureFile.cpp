// SPDX-License-Identifier: MIT
#include "pictures/PictureFile.h"

#include <QBuffer>
#include <QFile>

#include "pictures/BmpFile.h"
#include "pictures/BmpReader.h"
#include "pictures/Errors.h"
#include "pictures/PngReader.h"
#include "pictures/SafeFile.h"
#include "pictures/SystemFile.h"

namespace {

// Qt writes an opaque bitmap's RGB32 picture as 8-bit RGB colour (colour type 2), and the ARGB32
// picture of one with alpha as 8-bit RGBA (colour type 6). Empty when the bitmap cannot be written.
QByteArray encodePng(const Bitmap& bitmap)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (bitmap.isEmpty() || !buffer.open(QIODevice::WriteOnly) || !bitmap.toImage().save(&buffer, "PNG"))
        return QByteArray();
    return bytes;
}

} // namespace

bool IsPngFileName(const QString& path)
{
    return path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive);
}

bool ReadPictureFile(const QString& path, Bitmap& out, int maxWidth, int maxHeight)
{
    QFile file;
    if (!OpenRegularFile(path, file))
        return false;
    return IsPngFileName(path) ? DecodePng(file, maxWidth, maxHeight, out) : DecodeBmp(file, maxWidth, maxHeight, out);
}

bool ReadPictureBlock(const QString& path, const TRect& block, Bitmap& out)
{
    QFile file;
    if (!OpenRegularFile(path, file))
        return false;
    return IsPngFileName(path) ? DecodePngBlock(file, block, out) : DecodeBmpBlock(file, block, out);
}

bool ReadPictureOverview(const QString& path, int maxWidth, int maxHeight, Bitmap& out, int& step)
{
    QFile file;
    if (!OpenRegularFile(path, file))
        return false;
    return IsPngFileName(path) ? DecodePngOverview(file, maxWidth, maxHeight, out, step)
                               : DecodeBmpOverview(file, maxWidth, maxHeight, out, step);
}

bool ReadPictureSize(const QString& path, qint64& width, qint64& height)
{
    QFile file;
    if (!OpenRegularFile(path, file))
        return false;
    return IsPngFileName(path) ? ReadPngSize(file, width, height) : ReadBmpSize(file, width, height);
}

void WritePictureFile(const QString& path, const Bitmap& bitmap)
{
    if (!IsPngFileName(path)) {
        WriteBmpFile(path, bitmap);
        return;
    }
    const QByteArray png = encodePng(bitmap);
    if (png.isEmpty() || !ReplaceFileContents(path, png))
        throw CannotCreateFileError(path);
}
