// SPDX-License-Identifier: MIT
// Writes seeds into the folder given. png: small PNG files of every colour type and depth, plain
// and interlaced, with PLTE and tRNS, their rows under all five filters; made by Qt where it
// writes the kind, byte by byte (tests/TestPng) where it does not. bmp: BMP files whose pixels
// carry alpha under a mask, in every header that can hold one, beside the corpus's seeds.
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QtEndian>
#include <array>
#include <cstdio>

#include "TestPng.h"

namespace {

bool write(const QDir& dir, const QString& name, const QByteArray& bytes)
{
    QFile f(dir.filePath(name));
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// A 7 by 3 picture of bits-deep pixels under four masks (red, green, blue, alpha): in the info
// header of headerSize bytes where it has room for them, after a 40-byte one otherwise.
QByteArray alphaBmp(int headerSize, quint32 compression, int bits, std::array<quint32, 4> masks, bool clear = false)
{
    const int w = 7, h = 3, rowBytes = (w * bits / 8 + 3) & ~3;
    const int masksAfter = headerSize == 40 ? 16 : 0;
    const int offset = 14 + headerSize + masksAfter;
    QByteArray d(offset + rowBytes * h, '\0');
    auto* p = reinterpret_cast<uchar*>(d.data());
    const auto put32 = [p](int at, quint32 v) { qToLittleEndian<quint32>(v, p + at); };
    p[0] = 'B';
    p[1] = 'M';
    put32(2, quint32(d.size()));
    put32(10, quint32(offset));
    put32(14, quint32(headerSize));
    put32(18, w);
    put32(22, h);
    qToLittleEndian<quint16>(1, p + 26);
    qToLittleEndian<quint16>(quint16(bits), p + 28);
    put32(30, compression);
    for (int k = 0; k < 4; ++k)
        put32(54 + 4 * k, masks[size_t(k)]);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const quint32 v = (quint32(x * 0x2468ACE1u) ^ quint32(y * 0x13579BDFu)) & (clear ? ~masks[3] : ~0u);
            for (int b = 0; b < bits / 8; ++b)
                p[offset + y * rowBytes + x * bits / 8 + b] = uchar(v >> (8 * b));
        }
    return d;
}

bool writeBmpSeeds(const QDir& dir)
{
    const std::array<quint32, 4> argb32{0xFF0000u, 0xFF00u, 0xFFu, 0xFF000000u};
    bool ok = true;
    ok &= write(dir, QStringLiteral("alpha-v5.bmp"), alphaBmp(124, 3, 32, argb32));
    ok &= write(dir, QStringLiteral("alpha-v4.bmp"), alphaBmp(108, 3, 32, argb32));
    ok &= write(dir, QStringLiteral("alpha-h56.bmp"), alphaBmp(56, 3, 32, argb32));
    ok &= write(dir, QStringLiteral("alpha-alphabitfields.bmp"), alphaBmp(40, 6, 32, argb32));
    ok &= write(dir, QStringLiteral("alpha-all-clear.bmp"), alphaBmp(124, 3, 32, argb32, true));
    ok &= write(dir, QStringLiteral("alpha-1555.bmp"), alphaBmp(108, 3, 16, {0x7C00u, 0x3E0u, 0x1Fu, 0x8000u}));
    ok &= write(dir, QStringLiteral("alpha-4444.bmp"), alphaBmp(124, 3, 16, {0xF00u, 0xF0u, 0xFu, 0xF000u}));
    return ok;
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

bool writePngSeeds(const QDir& dir)
{
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
                ok &= write(dir, name + QStringLiteral(".png"), png.file());
                if (kind.colourType == 0 || kind.colourType == 2 || kind.colourType == 3) {
                    png.transparency = QByteArray(kind.colourType == 0 ? 2 : kind.colourType == 2 ? 6 : 3, '\0');
                    ok &= write(dir, name + QStringLiteral("-trns.png"), png.file());
                }
            }
    // Wider and taller than the small blocks the fuzzer asks for, and in small IDAT chunks.
    ok &= write(dir, QStringLiteral("rgb-wide.png"), TestPng{.width = 300, .height = 2, .idatSize = 64}.file());
    ok &= write(dir, QStringLiteral("grey-tall-adam7.png"), TestPng{.width = 2, .height = 300, .colourType = 0, .interlaced = true}.file());
    for (const auto& [name, format] : {std::pair{"qt-palette", QImage::Format_Indexed8}, {"qt-mono", QImage::Format_Mono},
                                       {"qt-grey8", QImage::Format_Grayscale8}, {"qt-grey16", QImage::Format_Grayscale16},
                                       {"qt-rgb8", QImage::Format_RGB32}, {"qt-rgba8", QImage::Format_ARGB32},
                                       {"qt-rgb16", QImage::Format_RGBX64}, {"qt-rgba16", QImage::Format_RGBA64}})
        ok &= write(dir, QString::fromLatin1(name) + QStringLiteral(".png"), qtPng(format));
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    const QString kind = argc == 3 ? QString::fromLocal8Bit(argv[1]) : QString();
    if ((kind != QLatin1String("png") && kind != QLatin1String("bmp")) || !QDir().mkpath(QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "usage: picture_seeds png|bmp <folder>\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[2]));
    return (kind == QLatin1String("png") ? writePngSeeds(dir) : writeBmpSeeds(dir)) ? 0 : 1;
}
