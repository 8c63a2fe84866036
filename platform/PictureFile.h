// SPDX-License-Identifier: MIT
#pragma once
#include <QString>

#include "platform/Bitmap.h"

// Picture files, told apart by their names as the user gives them: a name that ends in ".png", in
// any case, is a PNG file and every other name a BMP file, whatever the file holds (a PNG named
// .bmp is a BMP that cannot be read).
bool IsPngFileName(const QString& path);

// Reads the top-left block of at most maxWidth by maxHeight pixels of the file (DecodePng,
// DecodeBmp). Returns false, leaving out untouched, for a missing or unreadable file, a path that
// is not a regular file (never opened, so never waited on) and anything its reader refuses.
// transparent, when given, is set to whether the block had see-through pixels, of which out holds
// the colours alone.
bool ReadPictureFile(const QString& path, Bitmap& out, int maxWidth, int maxHeight, bool* transparent = nullptr);

// Writes a PNG of 8-bit RGB colour or a 24-bit BMP, by the name, through ReplaceFileContents: an
// existing file is replaced only once the new one is wholly written. Throws
// EMarloError("ファイル <path> を作成できません") when the file cannot be written, which for a PNG
// includes a bitmap without pixels: the format has no picture of width or height 0.
void WritePictureFile(const QString& path, const Bitmap& bitmap);
