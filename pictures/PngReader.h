// SPDX-License-Identifier: MIT
#pragma once
#include <QIODevice>

#include "pictures/Bitmap.h"

// Decodes a PNG file from a device (an open file, or a buffer), read from its start onwards.
//
// Only the block of at most maxWidth by maxHeight pixels at the picture's top-left corner is
// kept. Of every row only the bytes that reach into the block are kept, since undoing a row's
// filter needs nothing to the right of a pixel, and the rest of the row is inflated into a scratch
// buffer and dropped: memory follows the block, never the header's claims, and any picture the
// format allows (up to 2^31-1 pixels a side) opens. Time follows the data inflated: the rows down
// to the block's last one, or, for an interlaced picture, every pass up to the last row of the
// seventh that touches the block (practically the whole picture).
//
// Read: every colour type and bit depth, PLTE, tRNS and Adam7 interlacing, with every kind of
// alpha: an alpha channel, the palette's alphas of tRNS, and the grey or RGB colour that tRNS
// makes transparent (alpha 0). Samples of 16 bits, alpha's too, become 8 as round(v / 257), as
// Qt's reader gives them; greys of 1, 2 and 4 bits are scaled to the full range. The colours of
// translucent and transparent pixels are kept as the file gives them. Gamma, colour profiles and
// every other ancillary chunk are ignored.
//
// The chunks read (IHDR, PLTE, tRNS, IDAT) are checked whole, CRC included; other ancillary
// chunks are skipped unread, and an unknown critical chunk refuses the file. Data is read only as
// far as the chunk that holds the block's last row: a file cut short or damaged after it still
// opens, as its pixels kept are all there. When the block needs the picture's last row the image
// data must end there, its zlib checksum included. Anything else that is not sound (a header out
// of the format's ranges, a palette index past the palette in the block, a bad filter byte, data
// that ends early or inflates to more than the rows) returns false and leaves out untouched.
bool DecodePng(QIODevice& device, int maxWidth, int maxHeight, Bitmap& out);

// Decodes exactly block of the picture (at least a pixel), under the same rules as DecodePng.
// Of each row the bytes up to the block's right edge are kept, and the rows above the block are
// unfiltered as well, since the block's first row is filtered against them. False, with out
// untouched, when the block is not wholly inside the picture or the file is not sound.
bool DecodePngBlock(QIODevice& device, const TRect& block, Bitmap& out);

// The whole picture seen from afar: every step-th pixel of every step-th row from the top-left
// corner, step the smallest whole number that brings the picture within maxWidth by maxHeight
// (StepToFit). Every row is inflated and unfiltered, one at a time: memory follows out and a row,
// and a picture whose rows exceed kMostWholeRowBytes is refused.
bool DecodePngOverview(QIODevice& device, int maxWidth, int maxHeight, Bitmap& out, int& step);

// The picture's size as IHDR gives it, nothing else read; false when the header is not sound.
bool ReadPngSize(QIODevice& device, qint64& width, qint64& height);
