// SPDX-License-Identifier: MIT
#include "TestPng.h"

#include <QtEndian>
#include <array>
#include <cstdlib>
#include <vector>
#include <zlib.h>

static QByteArray be32(quint32 v)
{
    return QByteArray::fromHex(QByteArray::number(v, 16).rightJustified(8, '0'));
}

QByteArray PngChunk(const QByteArray& type, const QByteArray& data)
{
    const QByteArray typed = type + data;
    return be32(quint32(data.size())) + typed +
           be32(quint32(crc32(0, reinterpret_cast<const Bytef*>(typed.constData()), uInt(typed.size()))));
}

QByteArray TestPng::header() const
{
    return be32(quint32(width)) + be32(quint32(height)) + char(depth) + char(colourType) + '\0' + '\0' + char(interlaced);
}

QByteArray TestPng::imageData() const
{
    using Pass = std::array<int, 4>; // first column and row, steps between columns and rows
    const std::vector<Pass> passes = interlaced ? std::vector<Pass>{{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                                                    {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}}
                                                : std::vector<Pass>{{0, 0, 1, 1}};
    const int channels = colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
    const int bpp = std::max(1, channels * depth / 8), max = (1 << depth) - 1;
    const qint64 entries = palette.isEmpty() ? qint64(1) << depth : palette.size() / 3;
    z_stream z{};
    deflateInit(&z, Z_BEST_SPEED);
    QByteArray out;
    const auto pack = [&](QByteArray bytes, int flush) {
        std::array<char, 65536> buffer;
        z.next_in = reinterpret_cast<Bytef*>(bytes.data());
        z.avail_in = uInt(bytes.size());
        do {
            z.next_out = reinterpret_cast<Bytef*>(buffer.data());
            z.avail_out = uInt(buffer.size());
            deflate(&z, flush);
            out.append(buffer.data(), qsizetype(buffer.size() - z.avail_out));
        } while (z.avail_out == 0);
    };
    int turn = 0;
    for (const auto& [x0, y0, dx, dy] : passes) {
        const qint64 columns = width > x0 ? (width - x0 + dx - 1) / dx : 0;
        QByteArray above((columns * channels * depth + 7) / 8, '\0');
        for (qint64 y = y0; columns > 0 && y < height; y += dy) {
            QByteArray raw(above.size(), '\0');
            for (qint64 i = 0; i < columns * channels; ++i) {
                const qint64 x = x0 + i / channels * dx;
                const int c = int(i % channels);
                const int v = sample ? sample(x, y, c)
                              : colourType == 3 ? int((x + 3 * y) % entries)
                                                : int((x * 7919 + y * 31337 + c * 4099) & max);
                if (depth == 16)
                    qToBigEndian(quint16(v), raw.data() + 2 * i);
                else
                    raw[i * depth / 8] = char(raw[i * depth / 8] | (v & max) << (8 - depth - i * depth % 8));
            }
            const int f = filter >= 0 ? filter : turn++ % 5;
            QByteArray row(1, char(f));
            for (qsizetype k = 0; k < raw.size(); ++k) {
                const int a = k >= bpp ? uchar(raw[k - bpp]) : 0, b = uchar(above[k]), c = k >= bpp ? uchar(above[k - bpp]) : 0;
                const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
                const int predicted[] = {0, a, b, (a + b) / 2, pa <= pb && pa <= pc ? a : pb <= pc ? b : c, 0};
                row += char(uchar(raw[k]) - predicted[std::min(f, 5)]);
            }
            above = raw;
            pack(row, Z_SYNC_FLUSH);
        }
    }
    pack(QByteArray(), Z_FINISH);
    deflateEnd(&z);
    return out;
}

QByteArray TestPng::file() const
{
    QByteArray out = PngSignature() + PngChunk("IHDR", header());
    if (!palette.isEmpty())
        out += PngChunk("PLTE", palette);
    if (!transparency.isEmpty())
        out += PngChunk("tRNS", transparency);
    const QByteArray data = imageData();
    for (qsizetype at = 0; at < data.size(); at += idatSize)
        out += PngChunk("IDAT", data.mid(at, idatSize));
    return out + PngChunk("IEND", {});
}
