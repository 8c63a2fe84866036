// SPDX-License-Identifier: MIT
#pragma once
#include <QIODevice>

#include "pictures/Bitmap.h"

// Decodes a Windows or OS/2 bitmap, file header included, from a random-access device: an open
// file, or a buffer of clipboard data.
//
// Only the block of at most maxWidth by maxHeight pixels at the picture's top-left corner is
// decoded, so memory follows the block asked for whatever size the header claims, and a picture
// of any size opens. Every pixel of that block is written from the data. Anything this reader
// cannot decode soundly (not a BMP, an unknown header, depth or compression, pixel data cut short)
// returns false and leaves out untouched.
//
// Read: header sizes 12 (OS/2 1), 16 to 64 (OS/2 2), 40, 52, 56, 108 and 124; depths 1, 2, 4, 8,
// 16, 24 and 32; run-length coding of 4 and 8 bits (and OS/2's of 24 bits); bit fields of any
// width; top-down and bottom-up rows; palettes shorter than the depth allows. A picture with no
// pixels (width or height 0) is read as such.
//
// Alpha is read where the headers give its mask (bit fields of 16 or 32 bits with a header of 56
// bytes or more, or with four masks), scaled to 0..255, unless it is 0 in every pixel of the
// block: such a channel was left unfilled, and the block is opaque. Every other pixel is opaque.
bool DecodeBmp(QIODevice& device, int maxWidth, int maxHeight, Bitmap& out);

// Decodes exactly the block of the picture, as DecodeBmp decodes its top-left one; false when the
// block is empty or not wholly inside the picture.
bool DecodeBmpBlock(QIODevice& device, const TRect& block, Bitmap& out);

// The whole picture seen from afar, as DecodePngOverview: every step-th pixel of every step-th row,
// step the smallest that brings it within maxWidth by maxHeight. Only the rows kept are read, but
// for run-length data, which is read through.
bool DecodeBmpOverview(QIODevice& device, int maxWidth, int maxHeight, Bitmap& out, int& step);

// The picture's size from its headers, which are checked as DecodeBmp checks them.
bool ReadBmpSize(QIODevice& device, qint64& width, qint64& height);
