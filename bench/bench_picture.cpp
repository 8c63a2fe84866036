// SPDX-License-Identifier: MIT
// Reading pictures larger than a chip: a BMP or PNG file is read for its top-left 256 by 256 in
// the same time and memory whatever its size, and a clipboard PNG within a small multiple of its
// decoded size. peak_growth_MB is how far the process's resident memory rose while reading. Saving
// a chip as PNG beside saving it as BMP. Writing a chip back into a sheet of any size, and the
// sheet seen whole, beside reading the chip's block of it.
#include "BenchSupport.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtEndian>
#include <algorithm>
#include <vector>

#include <zlib.h>

#include "pictures/BmpFile.h"
#include "pictures/PictureData.h"
#include "pictures/PictureFile.h"
#include "pictures/WriteBack.h"

namespace {

// The process's resident memory now, or at its highest since the last resetPeak(), in megabytes
// (Linux's VmRSS and VmHWM).
double residentMegabytes(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').first().toDouble() / 1024.0;
    return -1;
}

void resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// How far the memory rose above what it was at the start, over everything measured since.
class PeakGrowth {
public:
    PeakGrowth() : start_((resetPeak(), residentMegabytes("VmRSS:"))) {}
    double megabytes() const { return residentMegabytes("VmHWM:") - start_; }

private:
    double start_;
};

// A side by side 24-bit BMP, written sparsely: only the headers and the top rows hold data.
QString writeBmp(const QTemporaryDir& dir, int side)
{
    const qint64 rowBytes = (qint64(side) * 3 + 3) & ~qint64(3);
    QByteArray header(54, '\0');
    uchar* p = reinterpret_cast<uchar*>(header.data());
    p[0] = 'B';
    p[1] = 'M';
    qToLittleEndian<quint32>(54, p + 10);
    qToLittleEndian<quint32>(40, p + 14);
    qToLittleEndian<qint32>(side, p + 18);
    qToLittleEndian<qint32>(side, p + 22);
    qToLittleEndian<quint16>(1, p + 26);
    qToLittleEndian<quint16>(24, p + 28);
    const QString path = dir.filePath(QStringLiteral("big.bmp"));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(header);
    f.resize(54 + rowBytes * side);
    return path;
}

// The file at path, opened for a chip's 256 by 256 as the open command reads it.
void readCorner(benchmark::State& state, const QString& path)
{
    Bitmap out;
    const PeakGrowth growth;
    for (auto _ : state) {
        if (!ReadPictureFile(path, out, 256, 256)) {
            state.SkipWithError("the file was not read");
            return;
        }
        benchmark::DoNotOptimize(out.scanLine(0));
    }
    state.counters["file_MB"] = double(QFileInfo(path).size()) / (1024 * 1024);
    state.counters["peak_growth_MB"] = growth.megabytes();
}

// BMP files of side range(0).
void BM_ReadBmpCorner(benchmark::State& state)
{
    QTemporaryDir dir;
    readCorner(state, writeBmp(dir, int(state.range(0))));
}
BENCHMARK(BM_ReadBmpCorner)->Arg(256)->Arg(8200)->Arg(16384)->Unit(benchmark::kMillisecond);

QByteArray pngChunk(const char* type, const QByteArray& data)
{
    QByteArray chunk(4, '\0');
    qToBigEndian<quint32>(quint32(data.size()), chunk.data());
    chunk += QByteArray(type) + data;
    QByteArray crc(4, '\0');
    qToBigEndian<quint32>(quint32(crc32(0, reinterpret_cast<const Bytef*>(chunk.constData() + 4), uInt(chunk.size() - 4))), crc.data());
    return chunk + crc;
}

// A side by side PNG of 8-bit RGB colour, as the BMP above: a pattern in the top 256 rows, black
// below. Written row by row through zlib, since Qt cannot hold a picture of 16384 x 16384.
QString writePng(const QTemporaryDir& dir, int side)
{
    QByteArray header(13, '\0');
    qToBigEndian<quint32>(quint32(side), header.data());
    qToBigEndian<quint32>(quint32(side), header.data() + 4);
    header[8] = 8;
    header[9] = 2;
    const QString path = dir.filePath(QStringLiteral("big.png"));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(QByteArray("\x89PNG\r\n\x1a\n") + pngChunk("IHDR", header));
    z_stream z{};
    deflateInit(&z, Z_DEFAULT_COMPRESSION);
    std::vector<uchar> row(size_t(side) * 3 + 1);
    QByteArray out(1 << 20, '\0');
    for (int y = 0; y <= side; ++y) {
        for (int x = 0; y < 256 && x < side; ++x)
            for (int c = 0; c < 3; ++c)
                row[size_t(1 + 3 * x + c)] = uchar(x * (c + 1) + y);
        if (y == 256)
            std::fill(row.begin(), row.end(), uchar(0));
        z.next_in = row.data();
        z.avail_in = y < side ? uInt(row.size()) : 0;
        do {
            z.next_out = reinterpret_cast<Bytef*>(out.data());
            z.avail_out = uInt(out.size());
            deflate(&z, y < side ? Z_NO_FLUSH : Z_FINISH);
            if (out.size() > qsizetype(z.avail_out))
                f.write(pngChunk("IDAT", out.left(out.size() - z.avail_out)));
        } while (z.avail_out == 0);
    }
    deflateEnd(&z);
    f.write(pngChunk("IEND", QByteArray()));
    return path;
}

// PNG files of side range(0): to compare with BM_ReadBmpCorner.
void BM_ReadPngCorner(benchmark::State& state)
{
    QTemporaryDir dir;
    readCorner(state, writePng(dir, int(state.range(0))));
}
BENCHMARK(BM_ReadPngCorner)->Arg(256)->Arg(16384)->Unit(benchmark::kMillisecond);

// A 256 by 256 chip saved as BMP (range(0) 0) and as PNG (1), flush to the disk included.
void BM_SaveChip(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(state.range(0) == 0 ? QStringLiteral("chip.bmp") : QStringLiteral("chip.png"));
    Bitmap chip(256, 256);
    FillPattern(chip);
    for (auto _ : state)
        WritePictureFile(path, chip);
    state.counters["file_KB"] = double(QFileInfo(path).size()) / 1024;
}
BENCHMARK(BM_SaveChip)->ArgName("png")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A sheet of side range(1) as PNG (range(0) 1) or 24-bit BMP (0), at its path in dir.
QString writeSheet(const QTemporaryDir& dir, const benchmark::State& state)
{
    return state.range(0) == 1 ? writePng(dir, int(state.range(1))) : writeBmp(dir, int(state.range(1)));
}

const TRect kSheetBlock{64, 64, 128, 128};

// A 64 by 64 chip written back into its block of a sheet: the whole file is streamed through,
// a few rows at a time, so memory stays that of the chip whatever the sheet's size.
void BM_WriteBackBlock(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = writeSheet(dir, state);
    Bitmap chip(kSheetBlock.width(), kSheetBlock.height());
    FillPattern(chip);
    const PeakGrowth growth;
    for (auto _ : state)
        if (WritePictureBack(path, kSheetBlock, chip, TWriteBackConsent{}).kind != TWriteBackResult::Written) {
            state.SkipWithError("the block was not written back");
            return;
        }
    state.counters["file_MB"] = double(QFileInfo(path).size()) / (1024 * 1024);
    state.counters["peak_growth_MB"] = growth.megabytes();
}
BENCHMARK(BM_WriteBackBlock)->ArgNames({"png", "side"})->Args({1, 1024})->Args({1, 8192})->Args({1, 16384})
    ->Args({0, 8192})->Unit(benchmark::kMillisecond)->Iterations(2);

// Baseline: the same block of the same sheets read, as the sheet window opens it.
void BM_ReadBlock(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = writeSheet(dir, state);
    Bitmap out;
    const PeakGrowth growth;
    for (auto _ : state)
        if (!ReadPictureBlock(path, kSheetBlock, out)) {
            state.SkipWithError("the block was not read");
            return;
        }
    state.counters["peak_growth_MB"] = growth.megabytes();
}
BENCHMARK(BM_ReadBlock)->ArgNames({"png", "side"})->Args({1, 1024})->Args({1, 8192})->Args({1, 16384})
    ->Args({0, 8192})->Unit(benchmark::kMillisecond);

// The whole sheet seen from afar, as the sheet window shows it: 1024 by 1024 at most.
void BM_ReadOverview(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = writeSheet(dir, state);
    Bitmap out;
    int step = 0;
    const PeakGrowth growth;
    for (auto _ : state)
        if (!ReadPictureOverview(path, 1024, 1024, out, step)) {
            state.SkipWithError("the sheet was not read");
            return;
        }
    state.counters["step"] = step;
    state.counters["peak_growth_MB"] = growth.megabytes();
}
BENCHMARK(BM_ReadOverview)->ArgNames({"png", "side"})->Args({1, 1024})->Args({1, 8192})->Args({1, 16384})
    ->Args({0, 8192})->Unit(benchmark::kMillisecond)->Iterations(2);

// An 8000 by 8000 screenshot offered as PNG (256 MB decoded), read for a 256 by 256 chip.
void BM_DecodeClipboardPng(benchmark::State& state)
{
    QImage image(8000, 8000, QImage::Format_RGB32);
    image.fill(qRgb(10, 20, 30));
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
    }
    image = QImage();
    Bitmap out;
    const PeakGrowth growth;
    for (auto _ : state) {
        if (!DecodePictureData(QStringLiteral("image/png"), png, 256, 256, out)) {
            state.SkipWithError("the picture was not read");
            return;
        }
        benchmark::DoNotOptimize(out.scanLine(0));
    }
    state.counters["decoded_MB"] = 8000.0 * 8000.0 * 4 / (1024 * 1024);
    state.counters["peak_growth_MB"] = growth.megabytes();
}
BENCHMARK(BM_DecodeClipboardPng)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
