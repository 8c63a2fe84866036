// SPDX-License-Identifier: MIT
#pragma once
#include <QIODevice>
#include <QString>
#include <functional>

#include "pictures/Bitmap.h"

// Writing a chip back into its block of the picture file it came from. Everything of the file
// outside the block's pixels stays as it was: the other pixels, the picture's size and kind, and
// every chunk or header the pixel data does not live in. A pixel of the block that the chip still
// holds as it was read keeps the file's own bytes for it (a 16-bit sample, a palette index among
// equal colours, the colour hidden under a transparent pixel); only the others are encoded anew,
// and only when the file's kind holds them exactly.

// What the user has agreed to, once asked.
struct TWriteBackConsent {
    bool addColours = false; // colours the palette lacks go into its unused entries
    bool dropAlpha = false;  // transparency the file cannot hold is written as the colour, opaque
};

// How a write-back ended. Every result but Written leaves the file as it was.
struct TWriteBackResult {
    enum Kind {
        Written,
        MissingColours,   // count colours the palette lacks and has room for: ask addColours
        AlphaNotHeld,     // count pixels whose alpha the file cannot hold: ask dropAlpha
        NoRoomForColours, // count colours the palette lacks, more than its free entries
        ColoursNotHeld,   // count pixels whose colour the file's kind cannot hold exactly
        Unsupported,      // a kind of file that cannot be written back without converting it
        Unreadable,       // not a picture this program reads, or damaged
        BlockOutside,     // the block is not wholly inside the picture
        CannotWrite,      // the new file could not be written
    };
    Kind kind = Written;
    int count = 0;
};

// Where the new file's bytes go, in order.
using TByteSink = std::function<void(const char* data, qint64 size)>;

// The formats' own write-backs: read the picture from source, from its start, and send the whole
// new file to sink. They first check that the chip fits, and send nothing when it does not; they
// may have sent part of the file when the source turns out to be damaged later on, so the caller
// keeps the sink's bytes only on Written. The chip is as large as the block.
TWriteBackResult WritePngBack(QIODevice& source, const TRect& block, const Bitmap& chip,
                              const TWriteBackConsent& consent, const TByteSink& sink);
TWriteBackResult WriteBmpBack(QIODevice& source, const TRect& block, const Bitmap& chip,
                              const TWriteBackConsent& consent, const TByteSink& sink);

// Writes the chip back into block of the file at path (a PNG or a BMP by its name, as
// ReadPictureFile tells them apart), reading the file as it is now and replacing it through
// TSafeWriter, so that on any result but Written it is left byte for byte as it was.
TWriteBackResult WritePictureBack(const QString& path, const TRect& block, const Bitmap& chip,
                                  const TWriteBackConsent& consent);
