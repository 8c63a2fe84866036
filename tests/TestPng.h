// SPDX-License-Identifier: MIT
#pragma once
// PNG files made byte by byte: the kinds Qt does not write (greys of 1, 2 and 4 bits, grey with
// alpha, tRNS on grey and RGB colour, Adam7 interlacing), pictures too large for Qt to hold, and
// files damaged in any piece. Apart from the rest of the test support, which needs the whole
// program, so that the fuzzer's seeds are made by it too.
#include <QByteArray>
#include <functional>

struct TestPng {
    qint64 width = 1;
    qint64 height = 1;
    int depth = 8;
    int colourType = 2; // 0 grey, 2 RGB, 3 palette, 4 grey and alpha, 6 RGB and alpha
    bool interlaced = false;
    // The value of a channel of a pixel at the file's depth (of a palette picture, its index). By
    // default a pattern in which neighbours differ, alpha included.
    std::function<int(qint64 x, qint64 y, int channel)> sample{};
    int filter = -1;           // of every row; -1 takes turns through all five
    QByteArray palette{};      // PLTE's data, written when not empty
    QByteArray transparency{}; // tRNS's data, written when not empty
    int idatSize = 4096;       // the image data is cut into IDAT chunks of this many bytes

    QByteArray header() const; // IHDR's data
    // The zlib stream of the filtered rows, flushed after each row so that a file cut short holds
    // every row before the cut whole.
    QByteArray imageData() const;
    QByteArray file() const;
};

inline QByteArray PngSignature() { return QByteArray("\x89PNG\r\n\x1a\n", 8); }
QByteArray PngChunk(const QByteArray& type, const QByteArray& data);
