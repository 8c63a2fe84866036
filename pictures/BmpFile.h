// SPDX-License-Identifier: MIT
#pragma once
#include <QString>

#include "pictures/Bitmap.h"

// Reads the top-left block of at most maxWidth by maxHeight pixels of a Windows bitmap file
// (see DecodeBmp). Returns false, leaving out untouched, for a missing or unreadable file, a path
// that is not a regular file (a pipe, a device, a folder: never opened, so never waited on),
// anything that is not a BMP whatever its name, and damaged data.
bool ReadBmpFile(const QString& path, Bitmap& out, int maxWidth, int maxHeight);

// Writes the bitmap as a BMP file of its DibOfBitmap: 24 bits when it is opaque, 32 with alpha
// otherwise. An existing file is replaced only once the new one is wholly written: a
// write that fails leaves it as it was. Throws EMarloError("ファイル <path> を作成できません") when the
// file cannot be written.
void WriteBmpFile(const QString& path, const Bitmap& bitmap);
