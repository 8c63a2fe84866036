// SPDX-License-Identifier: MIT
// Writes the seeds of fuzz_png into the folder given: small PNG files of every colour type and
// depth, plain and interlaced, with PLTE and tRNS, their rows under all five filters; made by Qt
// where it writes the kind, byte by byte (tests/TestPng) where it does not.
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <cstdio>

#include "TestPng.h"

namespace {

bool write(const QDir& dir, const QString& name, const QByteArray& bytes)
{
    QFile f(dir.filePath(name + QStringLiteral(".png")));
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray qtPng(QImage::Format format)
{
    QImage image(9, 5, format == QImage::Format_Indexed8 ? QImage::Format_ARGB32 : format);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgba(x * 28, y * 50, (x ^ y) * 20, 255 - x * y * 6));
    if (format == QImage::Format_Indexed8)
        image = image.convertToFormat(format);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 || !QDir().mkpath(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "usage: png_seeds <folder>\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    bool ok = true;
    const struct {
        int colourType;
        QList<int> depths;
    } kinds[] = {{0, {1, 2, 4, 8, 16}}, {2, {8, 16}}, {3, {1, 2, 4, 8}}, {4, {8, 16}}, {6, {8, 16}}};
    for (const auto& kind : kinds)
        for (const int depth : kind.depths)
            for (const bool interlaced : {false, true}) {
                TestPng png{.width = 11, .height = 6, .depth = depth, .colourType = kind.colourType, .interlaced = interlaced};
                for (int i = 0; kind.colourType == 3 && i < 1 << depth; ++i)
                    png.palette += QByteArray(1, char(i * 37)) + char(i * 91) + char(i * 13);
                const QString name = QStringLiteral("type%1-%2bit%3").arg(kind.colourType).arg(depth).arg(interlaced ? "-adam7" : "");
                ok &= write(dir, name, png.file());
                if (kind.colourType == 0 || kind.colourType == 2 || kind.colourType == 3) {
                    png.transparency = QByteArray(kind.colourType == 0 ? 2 : kind.colourType == 2 ? 6 : 3, '\0');
                    ok &= write(dir, name + QStringLiteral("-trns"), png.file());
                }
            }
    // Wider and taller than the small blocks the fuzzer asks for, and in small IDAT chunks.
    ok &= write(dir, QStringLiteral("rgb-wide"), TestPng{.width = 300, .height = 2, .idatSize = 64}.file());
    ok &= write(dir, QStringLiteral("grey-tall-adam7"), TestPng{.width = 2, .height = 300, .colourType = 0, .interlaced = true}.file());
    for (const auto& [name, format] : {std::pair{"qt-palette", QImage::Format_Indexed8}, {"qt-mono", QImage::Format_Mono},
                                       {"qt-grey8", QImage::Format_Grayscale8}, {"qt-grey16", QImage::Format_Grayscale16},
                                       {"qt-rgb8", QImage::Format_RGB32}, {"qt-rgba8", QImage::Format_ARGB32},
                                       {"qt-rgb16", QImage::Format_RGBX64}, {"qt-rgba16", QImage::Format_RGBA64}})
        ok &= write(dir, QString::fromLatin1(name), qtPng(format));
    return ok ? 0 : 1;
}
