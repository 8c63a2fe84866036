// SPDX-License-Identifier: MIT
// Reading pictures larger than a chip: a BMP file is read for its top-left 256 by 256 in the same
// time and memory whatever its size, and a clipboard PNG within a small multiple of its decoded
// size. peak_growth_MB is how far the process's resident memory rose while reading.
#include "BenchSupport.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include "platform/BmpFile.h"
#include "platform/PictureData.h"

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

// BMP files of side range(0), read for a chip's 256 by 256.
void BM_ReadBmpCorner(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = writeBmp(dir, int(state.range(0)));
    Bitmap out;
    const PeakGrowth growth;
    for (auto _ : state) {
        if (!ReadBmpFile(path, out, 256, 256)) {
            state.SkipWithError("the file was not read");
            return;
        }
        benchmark::DoNotOptimize(out.scanLine(0));
    }
    state.counters["peak_growth_MB"] = growth.megabytes();
}
BENCHMARK(BM_ReadBmpCorner)->Arg(256)->Arg(8200)->Unit(benchmark::kMillisecond);

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
