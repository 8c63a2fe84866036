// SPDX-License-Identifier: MIT
#include "platform/BmpFile.h"

#include <QFile>
#include <QtEndian>

#include "platform/BmpReader.h"
#include "platform/Errors.h"
#include "platform/SafeFile.h"
#include "platform/SystemFile.h"

bool ReadBmpFile(const QString& path, Bitmap& out, int maxWidth, int maxHeight)
{
    QFile file;
    return OpenRegularFile(path, file) && DecodeBmp(file, maxWidth, maxHeight, out);
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
    if (!ReplaceFileContents(path, data))
        throw CannotCreateFileError(path);
}
