// SPDX-License-Identifier: MIT
#include "platform/PictureFile.h"

#include <QBuffer>
#include <QFile>

#include "platform/BmpFile.h"
#include "platform/BmpReader.h"
#include "platform/Errors.h"
#include "platform/PngReader.h"
#include "platform/SafeFile.h"
#include "platform/SystemFile.h"

namespace {

// Qt writes an RGB32 picture as 8-bit RGB colour without alpha (colour type 2). Empty when the
// bitmap cannot be written.
QByteArray encodePng(const Bitmap& bitmap)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (bitmap.isEmpty() || !buffer.open(QIODevice::WriteOnly) || !bitmap.sharedImage().save(&buffer, "PNG"))
        return QByteArray();
    return bytes;
}

} // namespace

bool IsPngFileName(const QString& path)
{
    return path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive);
}

bool ReadPictureFile(const QString& path, Bitmap& out, int maxWidth, int maxHeight, bool* transparent)
{
    QFile file;
    if (!OpenRegularFile(path, file))
        return false;
    return IsPngFileName(path) ? DecodePng(file, maxWidth, maxHeight, out, transparent)
                               : DecodeBmp(file, maxWidth, maxHeight, out, transparent);
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
