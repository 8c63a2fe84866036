// SPDX-License-Identifier: MIT
#pragma once
#include <QByteArray>
#include <QMimeData>
#include <QString>

#include "pictures/Bitmap.h"

// Pictures offered as MIME data, the way the clipboard offers them. Decoded here, apart from the
// clipboard, so that tests and the fuzzer reach every format without one.

// The largest picture that is decoded whole (PNG and Qt's other formats): well above any screen
// capture. Larger ones are refused before any pixel memory is taken.
constexpr qint64 kMaxDecodedPicturePixels = qint64(16384) * 16384;

enum class OfferedPicture { None, Read, Unreadable };

// Whether the data offers a picture in a format that is read.
bool OffersPicture(const QMimeData& data);

// Reads the top-left block of at most maxWidth by maxHeight pixels of the picture the data offers,
// trying the offered formats in this order: image/png (Qt's reader), image/bmp (ours), Qt's other
// picture formats, then a picture handed over within this program. None when no picture is
// offered; Unreadable when one is offered and no format of it can be read. out changes only on Read.
// maxPixels is the largest picture decoded whole; the fuzzer lowers it to keep each input fast.
OfferedPicture ReadOfferedPicture(const QMimeData& data, int maxWidth, int maxHeight, Bitmap& out,
                                  qint64 maxPixels = kMaxDecodedPicturePixels);

// Decodes the bytes of one picture format, named by its MIME type, to their top-left block of at
// most maxWidth by maxHeight pixels. False when they are not a readable picture of that format of
// at most maxPixels.
bool DecodePictureData(const QString& mimeType, const QByteArray& bytes, int maxWidth, int maxHeight, Bitmap& out,
                       qint64 maxPixels = kMaxDecodedPicturePixels);

// A BMP file of a device-independent bitmap as Windows' clipboard holds one (CF_DIB: the info
// header, bit masks, palette and pixels, without the file header), so that it is read like any
// BMP file. The pixels are taken to follow the header, masks and palette at once, as in CF_DIB.
QByteArray BmpFileOfDib(const QByteArray& dib);
