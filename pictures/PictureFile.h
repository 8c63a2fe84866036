// SPDX-License-Identifier: MIT
#pragma once
#include <QString>

#include "pictures/Bitmap.h"

// Picture files, told apart by their names as the user gives them: a name that ends in ".png", in
// any case, is a PNG file and every other name a BMP file, whatever the file holds (a PNG named
// .bmp is a BMP that cannot be read).
bool IsPngFileName(const QString& path);

// Reads the top-left block of at most maxWidth by maxHeight pixels of the file, with its alpha
// (DecodePng, DecodeBmp). Returns false, leaving out untouched, for a missing or unreadable file, a
// path that is not a regular file (never opened, so never waited on) and anything its reader refuses.
bool ReadPictureFile(const QString& path, Bitmap& out, int maxWidth, int maxHeight);

// Reads exactly the block of the picture in the file, which must lie wholly inside it.
bool ReadPictureBlock(const QString& path, const TRect& block, Bitmap& out);
// The whole picture, reduced to fit within maxWidth by maxHeight: every step-th pixel of every
// step-th row, step the smallest that fits. Read a row at a time; never the whole picture in memory.
bool ReadPictureOverview(const QString& path, int maxWidth, int maxHeight, Bitmap& out, int& step);
// The size of the picture in the file, from its headers.
bool ReadPictureSize(const QString& path, qint64& width, qint64& height);

// Writes a PNG or a BMP, by the name, through ReplaceFileContents: an existing file is replaced
// only once the new one is wholly written. An opaque bitmap is written as 8-bit RGB PNG or 24-bit
// BMP, one with alpha as 8-bit RGBA PNG or 32-bit BMP with alpha (WriteBmpFile). Throws
// EMarloError("ファイル <path> を作成できません") when the file cannot be written, which for a PNG
// includes a bitmap without pixels: the format has no picture of width or height 0.
void WritePictureFile(const QString& path, const Bitmap& bitmap);
