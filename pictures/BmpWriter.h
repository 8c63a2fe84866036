// SPDX-License-Identifier: MIT
#pragma once
#include <QByteArray>

#include "pictures/Bitmap.h"

// A device-independent bitmap as Windows' clipboard and BMP files hold one, without the file
// header (BmpFileOfDib adds it): an opaque bitmap as 24-bit pixels after the 40-byte info header
// (CF_DIB), one with alpha as 32-bit bit fields with alpha's mask after a V5 header (CF_DIBV5).
QByteArray DibOfBitmap(const Bitmap& bitmap);
