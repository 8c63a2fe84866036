// SPDX-License-Identifier: MIT
#pragma once
// What both fuzz targets set up before the first input.
#include <QBuffer>
#include <QImageReader>
#include <QtGlobal>
#include <cstdlib>

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
