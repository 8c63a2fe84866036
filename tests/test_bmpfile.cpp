// SPDX-License-Identifier: MIT
// Reading BMP files: the reference corpus, questionable and hostile input, pictures larger than
// a chip, paths that are not files, and files the program saves.
#include <QImageReader>
#include <QtTest>
#include <span>

#include "TestSupport.h"
#include "pictures/BmpFile.h"
#include "pictures/Errors.h"
#include "pictures/PictureData.h"
#include "pictures/PictureFile.h"

namespace {

constexpr int kChip = kMaxChipSide;

// Every pixel a colour of its own; with alpha, every pixel an alpha of its own too, 0 and
// translucent ones among them, whose colours must be kept as they are.
Bitmap pattern(int w, int h, bool alpha = false)
{
    Bitmap b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.setArgb(x, y, qRgba(x * 7, y * 13, (x ^ y) * 5, alpha ? (x * 31 + y * 17) % 256 : 255));
    return b;
}

void put16(QByteArray& d, int at, quint16 v) { qToLittleEndian<quint16>(v, d.data() + at); }
void put32(QByteArray& d, int at, quint32 v) { qToLittleEndian<quint32>(v, d.data() + at); }

// File and info headers of a Windows BMP, or of an OS/2 2 one when headerSize is not 40.
QByteArray bmpHeader(int32_t w, int32_t h, uint16_t bits, uint32_t dataOffset = 54, uint32_t compression = 0,
                     uint32_t headerSize = 40)
{
    QByteArray d(int(14 + headerSize), '\0');
    d[0] = 'B';
    d[1] = 'M';
    put32(d, 10, dataOffset);
    put32(d, 14, headerSize);
    put32(d, 18, quint32(w));
    put32(d, 22, quint32(h));
    put16(d, 26, 1);
    put16(d, 28, bits);
    if (headerSize >= 20)
        put32(d, 30, compression);
    return d;
}

QByteArray greyPalette(int entries)
{
    QByteArray p;
    for (int i = 0; i < entries; ++i)
        p += QByteArray(3, char(i)) + '\0';
    return p;
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return QString();
    return path;
}

// RGB entries of a PNG palette, colours far apart.
QByteArray pngPalette(int entries)
{
    QByteArray p;
    for (int i = 0; i < entries; ++i)
        p += QByteArray(1, char(i * 37)) + char(i * 91 + 7) + char(i * 13 + 100);
    return p;
}

QByteArray be16(quint16 v) { return QByteArray(1, char(v >> 8)) + char(v); }

// A top-down BMP of 32-bit bit fields with alpha's mask, in a header of 56 bytes or after one of
// 40 (compression 6).
QByteArray alphaBmp(int width, const QList<quint32>& pixels, uint32_t compression = 3, uint32_t headerSize = 56)
{
    const int offset = int(14 + headerSize) + (headerSize == 40 ? 16 : 0);
    QByteArray d = bmpHeader(width, -int(pixels.size()) / width, 32, offset, compression, headerSize);
    d += QByteArray(offset + 4 * pixels.size() - d.size(), '\0');
    const quint32 masks[] = {0xFF0000u, 0xFF00u, 0xFFu, 0xFF000000u};
    for (int k = 0; k < 4; ++k)
        put32(d, 54 + 4 * k, masks[k]);
    for (int i = 0; i < pixels.size(); ++i)
        put32(d, offset + 4 * i, pixels[i]);
    return d;
}

// The first difference between a picture and its reference rendering, or empty. Pixels the
// reference leaves fully transparent have no colour to compare. With a tolerance of 1, each
// channel may be one step off: files whose channels are wider than 8 bits were made from finer
// colours than their 8-bit reference holds.
QString differenceFromReference(const Bitmap& loaded, const QString& reference, int tolerance = 0)
{
    const QImage expected = QImage(reference).convertToFormat(QImage::Format_ARGB32);
    if (expected.isNull())
        return QStringLiteral("no reference %1").arg(reference);
    if (loaded.width() != expected.width() || loaded.height() != expected.height())
        return QStringLiteral("size %1x%2, expected %3x%4")
            .arg(loaded.width()).arg(loaded.height()).arg(expected.width()).arg(expected.height());
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x) {
            const QRgb e = expected.pixel(x, y);
            const TColor got = loaded.pixel(x, y), want = QRgbToColor(e);
            const bool close = std::abs(GetRValue(got) - GetRValue(want)) <= tolerance &&
                               std::abs(GetGValue(got) - GetGValue(want)) <= tolerance &&
                               std::abs(GetBValue(got) - GetBValue(want)) <= tolerance;
            if (qAlpha(e) != 0 && !close)
                return QStringLiteral("pixel (%1,%2) is %3, expected %4")
                    .arg(x).arg(y).arg(got, 6, 16, QChar('0')).arg(want, 6, 16, QChar('0'));
        }
    return QString();
}

// A picture far larger than a chip, written sparsely: only the rows the chip takes hold data.
// Its pixel (x, y) has colour index (x / 4 + 3 * y) % 256 of a grey palette, or that grey itself.
enum class Big { Rgb24BottomUp, Pal8TopDown, Rle8, PngGreyCutAfterTheBlock };

int bigIndex(int x, int y) { return (x / 4 + 3 * y) % 256; }

QString writeBigPicture(const QTemporaryDir& dir, Big kind, int w, int h)
{
    if (kind == Big::PngGreyCutAfterTheBlock) {
        // A PNG has no sparse rows: every pixel is written, and the last 40 % of the file cut off.
        TestPng png{.width = w, .height = h, .colourType = 0};
        png.sample = [](qint64 x, qint64 y, int) { return bigIndex(int(x), int(y)); };
        const QByteArray bytes = png.file();
        return writeFile(dir, "big.png", bytes.left(bytes.size() * 3 / 5));
    }
    const QString path = dir.filePath(QStringLiteral("big.bmp"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return QString();
    const int bits = kind == Big::Rgb24BottomUp ? 24 : 8;
    const uint32_t offset = bits == 8 ? 54 + 1024 : 54;
    f.write(bmpHeader(w, kind == Big::Pal8TopDown ? -h : h, uint16_t(bits), offset, kind == Big::Rle8 ? 1 : 0));
    if (bits == 8)
        f.write(greyPalette(256));
    if (kind == Big::Rle8) {
        // Runs of 4 across the chip's part of a row, runs of 255 elsewhere; bottom row first.
        for (int y = h - 1; y >= 0; --y) {
            QByteArray row;
            int x = 0;
            for (; x < std::min(w, kChip) && y < kChip; x += 4)
                row += QByteArray{"\x04"} + char(bigIndex(x, y));
            for (; x < w; x += 255)
                row += char(std::min(255, w - x)) + QByteArray(1, '\x01');
            f.write(row + QByteArray("\0\0", 2));
        }
        f.write(QByteArray("\0\1", 2));
        return path;
    }
    const qint64 rowBytes = (qint64(w) * bits + 31) / 32 * 4;
    for (int y = 0; y < std::min(h, kChip); ++y) {
        QByteArray row;
        for (int x = 0; x < std::min(w, kChip); ++x)
            row += bits == 8 ? QByteArray(1, char(bigIndex(x, y))) : QByteArray(3, char(bigIndex(x, y)));
        const qint64 fileRow = kind == Big::Pal8TopDown ? y : h - 1 - y;
        f.seek(offset + fileRow * rowBytes);
        f.write(row);
    }
    f.resize(offset + rowBytes * h);
    return path;
}

} // namespace

class BmpFileTest : public QObject {
    Q_OBJECT
private slots:
    void validFilesMatchTheirReferencePixelForPixel_data();
    void validFilesMatchTheirReferencePixelForPixel();
    void questionableAndBadFilesGetTheirChosenReading_data();
    void questionableAndBadFilesGetTheirChosenReading();
    void picturesOfEveryKindReadAsQtReadsThem_data();
    void picturesOfEveryKindReadAsQtReadsThem();
    void hostileFilesAreRefused_data();
    void hostileFilesAreRefused();
    void largePicturesOpenByTheirTopLeftBlock_data();
    void largePicturesOpenByTheirTopLeftBlock();
    void pathsThatAreNotFilesAreUnreadable_data();
    void pathsThatAreNotFilesAreUnreadable();
    void savedFilesLoadBackExactly_data();
    void savedFilesLoadBackExactly();
    void savedFilesOpenInAnotherReader_data();
    void savedFilesOpenInAnotherReader();
};

void BmpFileTest::validFilesMatchTheirReferencePixelForPixel_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("reference");
    const QString table = SharedPath("bmpsuite/expected.tsv");
    if (table.isEmpty())
        QSKIP("the BMP corpus is not beside the project");
    QFile f(table);
    QVERIFY(f.open(QIODevice::ReadOnly | QIODevice::Text));
    while (!f.atEnd()) {
        const QString line = QString::fromUtf8(f.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QStringList cols = line.split('\t');
        QCOMPARE(cols.size(), 2);
        QTest::newRow(qPrintable(cols[0])) << SharedPath("bmpsuite/" + cols[0])
                                           << SharedPath("bmpsuite/reference/" + cols[1]);
    }
}

void BmpFileTest::validFilesMatchTheirReferencePixelForPixel()
{
    QFETCH(QString, file);
    QFETCH(QString, reference);
    Bitmap loaded;
    QVERIFY(ReadBmpFile(file, loaded, kChip, kChip));
    const QString difference = differenceFromReference(loaded, reference);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));

    // The same bitmap as Windows' clipboard holds it, without its file header, reads the same.
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    Bitmap fromClipboard;
    QVERIFY(DecodePictureData("image/bmp", BmpFileOfDib(f.readAll().mid(14)), kChip, kChip, fromClipboard));
    QVERIFY(fromClipboard == loaded);
}

// What the reader makes of each questionable and bad file of the corpus: a reference rendering
// it must match ("~" for one step off at most), "decoded" where the corpus has no rendering of
// what the file holds, or "refused". Colour profiles are not applied (q/rgb24prof2.bmp), and the
// 24-bit run-length sample holds other colours than rgb24.png.
void BmpFileTest::questionableAndBadFilesGetTheirChosenReading_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("reading");
    if (SharedPath("bmpsuite").isEmpty())
        QSKIP("the BMP corpus is not beside the project");
    static const char* const readings[][2] = {
        {"q/pal1huffmsb.bmp", "refused"},         {"q/pal1p1.bmp", "pal1p1.png"},
        {"q/pal2.bmp", "pal2.png"},               {"q/pal2color.bmp", "pal2color.png"},
        {"q/pal4rlecut.bmp", "pal4rlecut-0.png"}, {"q/pal4rletrns.bmp", "pal4rletrns-0.png"},
        {"q/pal8offs.bmp", "pal8.png"},           {"q/pal8os2-hs.bmp", "pal8.png"},
        {"q/pal8os2-sz.bmp", "pal8.png"},         {"q/pal8os2sp.bmp", "pal8.png"},
        {"q/pal8os2v2-16.bmp", "pal8.png"},       {"q/pal8os2v2-40sz.bmp", "pal8.png"},
        {"q/pal8os2v2-sz.bmp", "pal8.png"},       {"q/pal8os2v2.bmp", "pal8.png"},
        {"q/pal8oversizepal.bmp", "pal8.png"},    {"q/pal8rlecut.bmp", "pal8rlecut-0.png"},
        {"q/pal8rletrns.bmp", "pal8rletrns-0.png"}, {"q/rgb16-231.bmp", "rgb16-231.png"},
        {"q/rgb16-3103.bmp", "rgb16-3103.png"},   {"q/rgb16faketrns.bmp", "rgb16.png"},
        {"q/rgb24jpeg.bmp", "refused"},           {"q/rgb24largepal.bmp", "rgb24.png"},
        {"q/rgb24lprof.bmp", "rgb24.png"},        {"q/rgb24png.bmp", "refused"},
        {"q/rgb24prof.bmp", "rgb24.png"},         {"q/rgb24prof2.bmp", "decoded"},
        {"q/rgb24rle24.bmp", "decoded"},        {"q/rgb32-111110.bmp", "~rgb24.png"},
        {"q/rgb32-7187.bmp", "rgb32-7187.png"},   {"q/rgb32-xbgr.bmp", "rgb24.png"},
        {"q/rgb32fakealpha.bmp", "rgb24.png"},    {"q/rgb32h52.bmp", "rgb24.png"},
        {"q/rgba16-1924.bmp", "rgba16-1924.png"}, {"q/rgba16-4444.bmp", "rgba16-4444.png"},
        {"q/rgba16-5551.bmp", "rgba16-5551.png"}, {"q/rgba32-1.bmp", "rgba32.png"},
        {"q/rgba32-1010102.bmp", "rgba32-1010102.png"}, {"q/rgba32-2.bmp", "rgba32.png"},
        {"q/rgba32-61754.bmp", "rgba32-61754.png"}, {"q/rgba32-81284.bmp", "rgba32-81284.png"},
        {"q/rgba32abf.bmp", "rgba32.png"},        {"q/rgba32h56.bmp", "rgba32.png"},
        {"q/rgba64.bmp", "refused"},
        {"b/badbitcount.bmp", "refused"},         {"b/badbitssize.bmp", "pal1.png"},
        {"b/baddens1.bmp", "pal1.png"},           {"b/baddens2.bmp", "pal1.png"},
        {"b/badfilesize.bmp", "pal1.png"},        {"b/badheadersize.bmp", "refused"},
        {"b/badpalettesize.bmp", "pal8.png"},     {"b/badplanes.bmp", "refused"},
        {"b/badrle.bmp", "decoded"},              {"b/badrle4.bmp", "decoded"},
        {"b/badrle4bis.bmp", "decoded"},          {"b/badrle4ter.bmp", "decoded"},
        {"b/badrlebis.bmp", "decoded"},           {"b/badrleter.bmp", "decoded"},
        {"b/badwidth.bmp", "refused"},            {"b/pal8badindex.bmp", "decoded"},
        {"b/reallybig.bmp", "refused"},           {"b/rgb16-880.bmp", "rgb16-880.png"},
        {"b/rletopdown.bmp", "refused"},          {"b/shortfile.bmp", "refused"},
    };
    QStringList listed;
    for (const auto& r : readings) {
        QTest::newRow(r[0]) << SharedPath(QStringLiteral("bmpsuite/") + r[0]) << QString::fromLatin1(r[1]);
        listed << QString::fromLatin1(r[0]);
    }
    // A file added to the corpus needs a reading of its own.
    for (const QString folder : {"q", "b"})
        for (const QString& name : QDir(SharedPath("bmpsuite/" + folder)).entryList({"*.bmp"}, QDir::Files))
            QVERIFY2(listed.contains(folder + "/" + name), qPrintable(folder + "/" + name));
}

void BmpFileTest::questionableAndBadFilesGetTheirChosenReading()
{
    QFETCH(QString, file);
    QFETCH(QString, reading);
    QVERIFY(!file.isEmpty());
    Bitmap loaded(3, 3);
    const bool read = ReadBmpFile(file, loaded, kChip, kChip);
    if (reading == "refused") {
        QVERIFY(!read);
        QCOMPARE(loaded.width(), 3); // untouched
    } else if (reading == "decoded") {
        QVERIFY(read);
        QCOMPARE(loaded.width(), 127);
        QCOMPARE(loaded.height(), 64);
    } else {
        QVERIFY(read);
        const bool near = reading.startsWith('~');
        const QString reference = SharedPath("bmpsuite/reference/" + reading.mid(near ? 1 : 0));
        const QString difference = differenceFromReference(loaded, reference, near ? 1 : 0);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
    }
}

// PNG kinds Qt writes, made by Qt, and the others made byte by byte; each read by our reader and
// by Qt's, which must agree pixel for pixel over the chip's block, alpha included, and whether it
// is see-through. Only alpha that the file declares, in pixels the chip keeps, counts; a BMP's
// alpha channel that is 0 everywhere was never filled in.
void BmpFileTest::picturesOfEveryKindReadAsQtReadsThem_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("transparent");
    // What Qt reads for the same pixels; none for the BMPs, whose colours the reference corpus checks.
    QTest::addColumn<QByteArray>("reference");
    // Made of a picture in which neighbours differ at 16 bits a channel, alpha included.
    const QImage translucent = QImage::fromData(TestPng{.width = 37, .height = 23, .depth = 16, .colourType = 6}.file());
    for (const auto& [name, format, seeThrough] :
         {std::tuple{"Qt palette, 1 bit", QImage::Format_Mono, false}, {"Qt palette with alpha", QImage::Format_Indexed8, true},
          {"Qt grey, 16 bits", QImage::Format_Grayscale16, false}, {"Qt RGB, 8 bits", QImage::Format_RGB32, false},
          {"Qt RGBA, 8 bits, opaque", QImage::Format_ARGB32, false}, {"Qt RGBA, 16 bits", QImage::Format_RGBA64, true}}) {
        const QImage source = seeThrough ? translucent : translucent.convertToFormat(QImage::Format_RGBX64);
        const QByteArray bytes = EncodedPicture(source.convertToFormat(format), "PNG");
        QTest::newRow(name) << bytes << seeThrough << bytes;
    }
    // Pixel (0, 0) of the default pattern is 0 in every channel but RGB's green (3, or 4099 at 16
    // bits) and blue (6, or 8198); tRNS makes it, or palette entries 0 and 1, see-through.
    for (const bool interlaced : {false, true}) {
        const char* in = interlaced ? "interlaced " : "";
        for (const auto& [colourType, depth] : {std::pair{0, 1}, {0, 2}, {0, 4}, {0, 8}, {0, 16}, {2, 8}, {2, 16}, {3, 1},
                                                {3, 2}, {3, 4}, {3, 8}, {4, 8}, {4, 16}, {6, 8}, {6, 16}}) {
            TestPng png{.width = 37, .height = 23, .depth = depth, .colourType = colourType, .interlaced = interlaced};
            if (colourType == 3)
                png.palette = pngPalette(1 << depth);
            const QByteArray opaque = png.file();
            QTest::addRow("%stype %d, %d bits", in, colourType, depth) << opaque << (colourType >= 4) << opaque;
            if (colourType >= 4)
                continue;
            png.transparency = colourType == 3 ? QByteArray("\x00\x80\xff", 3).left(1 << depth) : colourType == 0 ? be16(0)
                               : depth == 8    ? be16(0) + be16(3) + be16(6)
                                               : be16(0) + be16(4099) + be16(8198);
            // Qt 6.4 shifts the channels of 16-bit RGB with tRNS by one (ImageMagick and PIL read
            // them as here): it is shown the same pixels without tRNS.
            QTest::addRow("%stype %d, %d bits, tRNS", in, colourType, depth)
                << png.file() << true << (colourType == 2 && depth == 16 ? opaque : png.file());
        }
        TestPng png{.width = 37, .height = 23, .colourType = 0, .interlaced = interlaced, .transparency = be16(255)};
        png.sample = [](qint64 x, qint64 y, int) { return int(x + y); };
        QTest::addRow("%stRNS of no pixel", in) << png.file() << false << png.file();
        png = TestPng{.width = 37, .height = 23, .colourType = 3, .interlaced = interlaced, .palette = pngPalette(256),
                      .transparency = QByteArray(256, '\xff')};
        QTest::addRow("%stRNS all opaque", in) << png.file() << false << png.file();
        png = TestPng{.width = 37, .height = 23, .colourType = 6, .interlaced = interlaced, .idatSize = 1};
        QTest::addRow("%san IDAT a byte", in) << png.file() << true << png.file();
        for (const QSize size : {QSize(1, 1), QSize(5, 3), QSize(3, 9), QSize(300, 270), QSize(100000, 3)}) {
            png = TestPng{.width = size.width(), .height = size.height(), .interlaced = interlaced};
            QTest::addRow("%s%d x %d", in, size.width(), size.height()) << png.file() << false << png.file();
        }
    }
    const quint32 opaque = 0xFF123456u, clear = 0x00123456u, half = 0x80123456u;
    QList<quint32> rightOfTheBlock(300, opaque);
    rightOfTheBlock[280] = clear;
    QTest::newRow("BMP, alpha all opaque") << alphaBmp(2, {opaque, opaque, opaque, opaque}) << false << QByteArray();
    QTest::newRow("BMP, alpha 0 everywhere") << alphaBmp(2, {clear, clear, clear, clear}) << false << QByteArray();
    QTest::newRow("BMP, alpha 0 and opaque") << alphaBmp(2, {opaque, clear, opaque, opaque}) << true << QByteArray();
    QTest::newRow("BMP, one translucent pixel") << alphaBmp(2, {opaque, opaque, opaque, half}) << true << QByteArray();
    QTest::newRow("BMP, alpha's mask after the header") << alphaBmp(2, {opaque, half}, 6, 40) << true << QByteArray();
    QTest::newRow("BMP, plain pixels: no alpha") << alphaBmp(2, {opaque, half}, 0) << false << QByteArray();
    QTest::newRow("BMP, translucent right of the block") << alphaBmp(300, rightOfTheBlock) << false << QByteArray();
    const auto clearFrom = [](qint64 from) {
        return [from](qint64 x, qint64 y, int channel) { return channel < 3 || x + y < from ? 255 : 0; };
    };
    for (const auto& [name, w, h, from, transparent] :
         {std::tuple{"PNG, translucent right of the block", 300, 1, kChip, false},
          {"PNG, translucent below the block", 1, 300, kChip, false},
          {"PNG, translucent in the block's last pixel", 300, 300, 2 * kChip - 2, true}}) {
        const QByteArray bytes = TestPng{.width = w, .height = h, .colourType = 6, .sample = clearFrom(from)}.file();
        QTest::newRow(name) << bytes << transparent << bytes;
    }
}

void BmpFileTest::picturesOfEveryKindReadAsQtReadsThem()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, transparent);
    QTemporaryDir dir;
    const QString path = writeFile(dir, bytes.startsWith("BM") ? "kind.bmp" : "kind.png", bytes);
    Bitmap loaded;
    QVERIFY(ReadPictureFile(path, loaded, kChip, kChip));
    QCOMPARE(!loaded.isOpaque(), transparent);
    QFETCH(QByteArray, reference);
    if (reference.isEmpty())
        return;
    QBuffer buffer(&reference);
    QImageReader reader(&buffer, "png");
    QImage qt = reader.read();
    QVERIFY2(!qt.isNull(), qPrintable(reader.errorString()));
    const Bitmap expected = Bitmap::fromImage(qt.copy(0, 0, std::min(qt.width(), kChip), std::min(qt.height(), kChip)));
    // Where Qt is shown the file without its tRNS (above), only the colours can agree.
    if (transparent && expected.isOpaque())
        for (int y = 0; y < loaded.height(); ++y)
            for (QRgb& p : std::span(loaded.scanLine(y), size_t(loaded.width())))
                p |= 0xFF000000u;
    QCOMPARE(loaded.width(), expected.width());
    QCOMPARE(loaded.height(), expected.height());
    const QString difference = FirstDifference(loaded, expected);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

void BmpFileTest::hostileFilesAreRefused_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QImage(4, 4, QImage::Format_RGB32).save(&buffer, "PNG");
    }
    const QByteArray pal8 = bmpHeader(4, 4, 8, 54 + 1024) + greyPalette(256);
    const QByteArray rle8 = bmpHeader(4, 4, 8, 54 + 1024, 1) + greyPalette(256);
    QTest::newRow("png named bmp") << png;
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("text") << QByteArray("BM this is not a bitmap at all");
    QTest::newRow("header only") << bmpHeader(16, 16, 24);
    QTest::newRow("huge picture") << bmpHeader(100000, 100000, 24) + QByteArray(64, '\x7f');
    QTest::newRow("overflowing size") << bmpHeader(0x7fffffff, 0x7fffffff, 32) + QByteArray(64, '\x7f');
    QTest::newRow("negative width") << bmpHeader(-16, 16, 24) + QByteArray(16 * 16 * 3, '\0');
    QTest::newRow("truncated rows") << bmpHeader(64, 64, 24) + QByteArray(100, '\0');
    QTest::newRow("data offset past the end") << bmpHeader(2, 2, 24, 0x7ffffff0) + QByteArray(16, '\0');
    QTest::newRow("unusual header, no pixels") << HeaderOnlyBmp();
    QTest::newRow("OS/2 2 header, no pixels") << bmpHeader(16, 16, 24, 30, 0, 16);
    QTest::newRow("pixels inside the header") << bmpHeader(2, 2, 24, 20) + QByteArray(16, '\0');
    QTest::newRow("no palette") << bmpHeader(4, 4, 8) + QByteArray(16, '\0');
    QTest::newRow("palette cut short") << bmpHeader(4, 4, 8, 54 + 1024) + greyPalette(10);
    QTest::newRow("64 bits a pixel") << bmpHeader(2, 2, 64) + QByteArray(32, '\0');
    QTest::newRow("bit fields without masks") << bmpHeader(2, 2, 32, 66, 3) + QByteArray(28, '\0');
    QTest::newRow("bit field beyond the pixel") << bmpHeader(2, 2, 16, 66, 3) + QByteArray::fromHex("0000ff00e0070000f8000000") + QByteArray(8, '\0');
    QTest::newRow("bit field with a gap") << bmpHeader(2, 2, 32, 66, 3) + QByteArray::fromHex("0f0f0000f00000000f000000") + QByteArray(16, '\0');
    QTest::newRow("top-down run-length") << bmpHeader(4, -4, 8, 54 + 1024, 1) + greyPalette(256) + QByteArray("\4\1\0\1", 4);
    QTest::newRow("run-length ends early") << rle8 + QByteArray("\4\1\0\0\4\1", 6);
    QTest::newRow("run-length cut in a block") << rle8 + QByteArray("\0\4\1\2", 4);
    QTest::newRow("run-length delta cut") << rle8 + QByteArray("\0\2\1", 3);
    QTest::newRow("eight bits, rows cut") << pal8 + QByteArray(15, '\0');
    // Windows' clipboard bitmaps, cut short or promising more than they hold, made files.
    const QByteArray dib = EncodedPicture(QImage(7, 5, QImage::Format_RGB32), "BMP").mid(14);
    QByteArray hugePalette = dib;
    qToLittleEndian<quint32>(0x40000000, hugePalette.data() + 32);
    QTest::newRow("clipboard bitmap, empty") << BmpFileOfDib(QByteArray());
    QTest::newRow("clipboard bitmap, header cut short") << BmpFileOfDib(dib.left(30));
    QTest::newRow("clipboard bitmap, pixels cut short") << BmpFileOfDib(dib.left(dib.size() - 1));
    QTest::newRow("clipboard bitmap, palette past the end") << BmpFileOfDib(hugePalette);

    // PNG files, damaged piece by piece; every other piece is sound.
    // Rows named "PNG: ..." are files named .png; the others are named .bmp.
    const auto hostilePng = [](const char* name, const QByteArray& bytes) { QTest::newRow(name) << bytes; };
    const TestPng rgb{.width = 4, .height = 4}, palette{.width = 4, .height = 4, .depth = 2, .colourType = 3, .palette = "abcdef"};
    const QByteArray good = rgb.file(), end = PngChunk("IEND", {}), data = PngChunk("IDAT", rgb.imageData());
    const QByteArray header = PngSignature() + PngChunk("IHDR", rgb.header());
    // The header's own pixels, unless it promises more than a test can make.
    const auto withHeader = [&](const TestPng& h, const QByteArray& rest, const QByteArray& pixels = {}) {
        return PngSignature() + PngChunk("IHDR", h.header()) + rest + PngChunk("IDAT", pixels.isNull() ? h.imageData() : pixels) + end;
    };
    const auto changed = [](QByteArray bytes, qsizetype at, char to) { return bytes.replace(at, 1, QByteArray(1, to)); };
    TestPng shortPalette = palette;
    shortPalette.sample = [](qint64 x, qint64, int) { return int(x); };
    hostilePng("PNG: a BMP named png", EncodedPicture(QImage(4, 4, QImage::Format_RGB32), "BMP"));
    hostilePng("PNG: signature only", PngSignature());
    hostilePng("PNG: IDAT before IHDR", PngSignature() + data + PngChunk("IHDR", rgb.header()) + end);
    hostilePng("PNG: IHDR's CRC wrong", changed(good, 8 + 8 + 13, 'x'));
    hostilePng("PNG: IDAT's CRC wrong", changed(good, good.size() - end.size() - 1, 'x'));
    hostilePng("PNG: huge, no data", withHeader({.width = 0x7fffffff, .height = 0x7fffffff}, {}, rgb.imageData()));
    hostilePng("PNG: huge interlaced, no data",
               withHeader({.width = 0x7fffffff, .height = 0x7fffffff, .depth = 16, .colourType = 6, .interlaced = true}, {}, rgb.imageData()));
    hostilePng("PNG: width 0", withHeader({.width = 0, .height = 4}, {}));
    hostilePng("PNG: width past 2^31-1", withHeader({.width = 0x80000000, .height = 4}, {}, rgb.imageData()));
    hostilePng("PNG: RGB of 4 bits", withHeader({.width = 4, .height = 4, .depth = 4}, {}));
    hostilePng("PNG: interlace method 2", PngSignature() + PngChunk("IHDR", changed(rgb.header(), 12, 2)) + data + end);
    hostilePng("PNG: chunk longer than 2^31-1", header + QByteArray::fromHex("80000000") + "tEXt");
    hostilePng("PNG: ancillary chunk past the end", header + QByteArray::fromHex("00001000") + "tEXtabc");
    hostilePng("PNG: unknown critical chunk", header + PngChunk("ABCD", "x") + data + end);
    hostilePng("PNG: IEND before IDAT", header + end + data + end);
    hostilePng("PNG: zlib header wrong", header + PngChunk("IDAT", "\x12\x34 not zlib") + end);
    hostilePng("PNG: zlib data wrong", header + PngChunk("IDAT", "\x78\x9c" + QByteArray(40, '\xff')) + end);
    hostilePng("PNG: zlib checksum wrong", header + PngChunk("IDAT", changed(rgb.imageData(), rgb.imageData().size() - 1, 0)) + end);
    hostilePng("PNG: data ends before the rows", header + PngChunk("IDAT", TestPng{.width = 4, .height = 3}.imageData()) + end);
    hostilePng("PNG: more data than the rows", header + PngChunk("IDAT", TestPng{.width = 4, .height = 5}.imageData()) + end);
    hostilePng("PNG: cut in the image data", good.left(header.size() + data.size() / 2));
    hostilePng("PNG: IDAT chunks apart", header + PngChunk("IDAT", rgb.imageData().left(10)) + PngChunk("tEXt", "a") +
                                             PngChunk("IDAT", rgb.imageData().mid(10)) + end);
    hostilePng("PNG: filter byte 5", TestPng{.width = 4, .height = 4, .filter = 5}.file());
    hostilePng("PNG: palette missing", TestPng{.width = 4, .height = 4, .depth = 2, .colourType = 3}.file());
    hostilePng("PNG: palette too short for its indexes", shortPalette.file());
    hostilePng("PNG: palette longer than the depth allows", withHeader({.width = 4, .height = 4, .depth = 1, .colourType = 3}, PngChunk("PLTE", "abcdefghi")));
    hostilePng("PNG: palette in a grey picture", withHeader({.width = 4, .height = 4, .colourType = 0}, PngChunk("PLTE", "abc")));
    hostilePng("PNG: two palettes", withHeader(palette, PngChunk("PLTE", "abcdef") + PngChunk("PLTE", "abcdef")));
    hostilePng("PNG: tRNS before PLTE", withHeader(palette, PngChunk("tRNS", {}) + PngChunk("PLTE", "abcdef")));
    hostilePng("PNG: tRNS longer than the palette", withHeader(palette, PngChunk("PLTE", "abcdef") + PngChunk("tRNS", "xyz")));
    hostilePng("PNG: tRNS in RGBA", TestPng{.width = 4, .height = 4, .colourType = 6, .transparency = "ab"}.file());
    hostilePng("PNG: tRNS of RGB cut short", TestPng{.width = 4, .height = 4, .transparency = "abcd"}.file());
}

void BmpFileTest::hostileFilesAreRefused()
{
    QFETCH(QByteArray, bytes);
    const QString name = QString(QTest::currentDataTag()).startsWith("PNG: ") ? "hostile.png" : "hostile.bmp";
    QTemporaryDir dir;
    const QString path = writeFile(dir, name, bytes);
    QVERIFY(!path.isEmpty());
    Bitmap loaded(3, 3);
    QVERIFY(!ReadPictureFile(path, loaded, kChip, kChip));
    QCOMPARE(loaded.width(), 3); // untouched
    QVERIFY(!ReadPictureFile(dir.filePath("missing-" + name), loaded, kChip, kChip));
}

void BmpFileTest::largePicturesOpenByTheirTopLeftBlock_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QSize>("size");
    QTest::newRow("8200 x 8200, 24 bits") << int(Big::Rgb24BottomUp) << QSize(8200, 8200);
    QTest::newRow("8200 x 8200, 8 bits, top-down") << int(Big::Pal8TopDown) << QSize(8200, 8200);
    QTest::newRow("8200 x 8200, run-length") << int(Big::Rle8) << QSize(8200, 8200);
    QTest::newRow("300 x 200") << int(Big::Rgb24BottomUp) << QSize(300, 200);
    QTest::newRow("30000 x 3, run-length") << int(Big::Rle8) << QSize(30000, 3);
    QTest::newRow("PNG 1000 x 1000, cut short after the block") << int(Big::PngGreyCutAfterTheBlock) << QSize(1000, 1000);
}

void BmpFileTest::largePicturesOpenByTheirTopLeftBlock()
{
    QFETCH(int, kind);
    QFETCH(QSize, size);
    QTemporaryDir dir;
    const QString path = writeBigPicture(dir, Big(kind), size.width(), size.height());
    QVERIFY(!path.isEmpty());
    Bitmap loaded;
    QVERIFY(ReadPictureFile(path, loaded, kChip, kChip));
    QCOMPARE(loaded.width(), std::min(size.width(), kChip));
    QCOMPARE(loaded.height(), std::min(size.height(), kChip));
    for (int y = 0; y < loaded.height(); ++y)
        for (int x = 0; x < loaded.width(); ++x) {
            const int grey = bigIndex(x, y);
            if (loaded.pixel(x, y) != RGBColor(grey, grey, grey))
                QFAIL(qPrintable(QStringLiteral("pixel (%1,%2) is %3").arg(x).arg(y).arg(loaded.pixel(x, y), 6, 16)));
        }
}

// Opening a pipe would wait for a writer, and a device may never end: neither is opened.
void BmpFileTest::pathsThatAreNotFilesAreUnreadable_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("named pipe") << "fifo";
    QTest::newRow("folder") << "folder";
#ifdef Q_OS_WIN
    // Reading the console waits for the user.
    QTest::newRow("console") << "CON";
    QTest::newRow("null device") << "NUL";
#else
    QTest::newRow("device") << "/dev/zero";
    QTest::newRow("link to a pipe") << "link";
#endif
}

void BmpFileTest::pathsThatAreNotFilesAreUnreadable()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    QString path = kind.startsWith('/') || kind.isUpper() ? kind : dir.filePath("chip.bmp");
    const NamedPipe pipe(dir.path());
    QVERIFY(!pipe.path().isEmpty());
    if (kind == "fifo")
        path = pipe.path();
    else if (kind == "link")
        QVERIFY(QFile::link(pipe.path(), path));
    else if (kind == "folder")
        QVERIFY(QDir(dir.path()).mkdir("chip.bmp"));
    Bitmap loaded(3, 3);
    QVERIFY(!ReadBmpFile(path, loaded, kChip, kChip));
    QCOMPARE(loaded.width(), 3);
}

void BmpFileTest::savedFilesLoadBackExactly_data()
{
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::addColumn<bool>("alpha");
    QTest::newRow("32x32") << 32 << 32 << false;
    QTest::newRow("odd width pads rows") << 13 << 5 << false;
    QTest::newRow("256x256") << 256 << 256 << false;
    QTest::newRow("1x1") << 1 << 1 << false;
    QTest::newRow("no pixels") << 0 << 0 << false;
    QTest::newRow("no columns") << 0 << 7 << false;
    QTest::newRow("no rows") << 9 << 0 << false;
    QTest::newRow("32x32 with alpha") << 32 << 32 << true;
    QTest::newRow("odd width with alpha") << 13 << 5 << true;
}

// Loaded again by our readers and by Qt's, a saved chip is the same, alpha included; an opaque
// chip is written as 24-bit BMP and 8-bit RGB PNG, one with alpha as a 32-bit BMP with alpha's
// mask in a V5 header and 8-bit RGBA PNG.
void BmpFileTest::savedFilesLoadBackExactly()
{
    QFETCH(int, w);
    QFETCH(int, h);
    QFETCH(bool, alpha);
    QTemporaryDir dir;
    const Bitmap chip = pattern(w, h, alpha);
    for (const QString name : {"chip.bmp", "chip.png", "CHIP.PNG"}) {
        const QString path = dir.filePath(name);
        if (IsPngFileName(name) && chip.isEmpty()) {
            // A PNG cannot hold a picture without pixels: the save says so and writes nothing.
            QVERIFY_THROWS_EXCEPTION(EMarloError, WritePictureFile(path, chip));
            QVERIFY(!QFileInfo::exists(path));
            continue;
        }
        WritePictureFile(path, chip);
        QFile written(path);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QByteArray head = written.read(58);
        if (IsPngFileName(name))
            QCOMPARE(head.left(8) + head.mid(24, 2), PngSignature() + QByteArray(alpha ? "\x08\x06" : "\x08\x02"));
        else
            QCOMPARE(head.mid(14, 1) + head.mid(28, 1) + head.mid(30, 1), alpha ? QByteArray("\x7c\x20\x03", 3)
                                                                               : QByteArray("\x28\x18\x00", 3));
        Bitmap loaded(9, 9);
        QVERIFY(ReadPictureFile(path, loaded, kChip, kChip));
        QCOMPARE(loaded.width(), w);
        QCOMPARE(loaded.height(), h);
        QVERIFY(loaded == chip);
        if (chip.isEmpty())
            continue;
        const QString byQt = FirstDifference(Bitmap::fromImage(QImage(path, IsPngFileName(name) ? "PNG" : "BMP")), chip);
        QVERIFY2(byQt.isEmpty(), qPrintable(byQt));
    }
}

void BmpFileTest::savedFilesOpenInAnotherReader_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("alpha");
    QTest::newRow("BMP") << "chip.bmp" << false;
    QTest::newRow("BMP with alpha") << "chip.bmp" << true;
    QTest::newRow("PNG with alpha") << "chip.png" << true;
}

// Python's Pillow reads every pixel as it was saved, alpha included.
void BmpFileTest::savedFilesOpenInAnotherReader()
{
    // Debian's own interpreter, which is the one that python3-pil serves.
    QString python = QStandardPaths::findExecutable("python3", {"/usr/bin"});
    if (python.isEmpty())
        python = QStandardPaths::findExecutable("python3");
    if (python.isEmpty())
        QSKIP("no python3");
    QProcess probe;
    probe.start(python, {"-c", "import PIL"});
    probe.waitForFinished();
    if (probe.exitCode() != 0)
        QSKIP("Python PIL is not installed");
    QFETCH(QString, name);
    QFETCH(bool, alpha);
    QTemporaryDir dir;
    const Bitmap chip = pattern(13, 7, alpha);
    const QString path = dir.filePath(name);
    WritePictureFile(path, chip);
    QProcess pil;
    pil.start(python, {"-c",
                       "import sys; from PIL import Image\n"
                       "im = Image.open(sys.argv[1]).convert('RGBA')\n"
                       "print(im.size[0], im.size[1])\n"
                       "for y in range(im.size[1]):\n"
                       "  print(' '.join('%02x%02x%02x%02x' % im.getpixel((x, y)) for x in range(im.size[0])))",
                       path});
    QVERIFY(pil.waitForFinished(30000));
    QCOMPARE(pil.exitCode(), 0);
    const QStringList lines = QString::fromLatin1(pil.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.value(0), QStringLiteral("13 7"));
    for (int y = 0; y < 7; ++y) {
        const QStringList px = lines.value(y + 1).split(' ');
        for (int x = 0; x < 13; ++x) {
            const QRgb c = chip.argb(x, y);
            QCOMPARE(px.value(x), QString::asprintf("%02x%02x%02x%02x", qRed(c), qGreen(c), qBlue(c), qAlpha(c)));
        }
    }
}

QTEST_GUILESS_MAIN(BmpFileTest)
#include "test_bmpfile.moc"
