// SPDX-License-Identifier: MIT
#pragma once
// What both fuzz targets set up before the first input.
#include <QBuffer>
#include <QImageReader>
#include <QtGlobal>
#include <cstdlib>

#include "pictures/WriteBack.h"

// Qt's decoders warn on every bad input, which would slow the run to a crawl: they are silenced.
// Every picture plugin is loaded and tried once here, so that what Qt keeps for the whole run is
// not taken for a leak of the first input that needs it.
inline void InitFuzzing()
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    for (const QByteArray& format : QImageReader::supportedImageFormats()) {
        QByteArray bytes("not a picture");
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader(&buffer, format).read();
    }
}

// A broken promise of the code under test is a finding, as a crash is.
inline void Require(bool promise)
{
    if (!promise)
        std::abort();
}

// The whole picture in input seen from afar, as the sheet window reads it: refused, or never
// larger than asked, whatever the headers claim.
template <typename Overview>
void FuzzOverview(QByteArray input, Overview overview)
{
    QBuffer buffer(&input);
    buffer.open(QIODevice::ReadOnly);
    Bitmap out;
    int step = 0;
    if (overview(buffer, 7, 5, out, step))
        Require(step >= 1 && out.width() <= 7 && out.height() <= 5);
}

// Writes a chip changed in one pixel back into a block of the picture in input, as 上書き保存
// does, with every consent given but the one that changes pixels: it ends in a refusal, or in a
// file that reads back with the chip in the block. decode reads a block of a file's bytes.
template <typename Decode, typename WriteBack>
void FuzzWriteBack(QByteArray input, Decode decode, WriteBack writeBack)
{
    const TRect block{int(input.size() % 7), int(input.size() % 4), int(input.size() % 7) + 3, int(input.size() % 4) + 2};
    QBuffer source(&input);
    source.open(QIODevice::ReadOnly);
    Bitmap chip;
    if (!decode(source, block, chip))
        return;
    chip.setArgb(1, 1, ~chip.argb(1, 1));
    // A BMP block whose alpha is 0 throughout reads opaque, as a channel left unfilled.
    bool seen = false;
    for (int y = 0; y < chip.height(); ++y)
        for (int x = 0; x < chip.width(); ++x)
            seen |= qAlpha(chip.argb(x, y)) != 0;
    if (!seen)
        return;
    QByteArray written;
    const TWriteBackConsent consent{.addColours = true, .dropAlpha = false};
    if (!source.seek(0) ||
        writeBack(source, block, chip, consent, [&](const char* d, qint64 n) { written.append(d, n); }).kind !=
            TWriteBackResult::Written)
        return;
    QBuffer result(&written);
    result.open(QIODevice::ReadOnly);
    Bitmap back;
    Require(decode(result, block, back) && back.width() == chip.width() && back.height() == chip.height());
    // A transparent pixel may come back in the colour the file's transparent entry or key has.
    for (int y = 0; y < chip.height(); ++y)
        for (int x = 0; x < chip.width(); ++x)
            Require(back.argb(x, y) == chip.argb(x, y) || (qAlpha(back.argb(x, y)) == 0 && qAlpha(chip.argb(x, y)) == 0));
}
