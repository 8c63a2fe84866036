// SPDX-License-Identifier: MIT
// Reading BMP files: the reference corpus, questionable and hostile input, pictures larger than
// a chip, paths that are not files, and files the program saves.
#include <QtTest>

#include "TestSupport.h"
#include "platform/BmpFile.h"
#include "platform/PictureData.h"

namespace {

constexpr int kChip = kMaxChipSide;

Bitmap pattern(int w, int h)
{
    Bitmap b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.setPixel(x, y, RGBColor(x * 7, y * 13, (x ^ y) * 5));
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
enum class Big { Rgb24BottomUp, Pal8TopDown, Rle8 };

int bigIndex(int x, int y) { return (x / 4 + 3 * y) % 256; }

QString writeBigPicture(const QTemporaryDir& dir, Big kind, int w, int h)
{
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
    void hostileFilesAreRefused_data();
    void hostileFilesAreRefused();
    void largePicturesOpenByTheirTopLeftBlock_data();
    void largePicturesOpenByTheirTopLeftBlock();
    void pathsThatAreNotFilesAreUnreadable_data();
    void pathsThatAreNotFilesAreUnreadable();
    void savedFilesLoadBackExactly_data();
    void savedFilesLoadBackExactly();
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
}

void BmpFileTest::hostileFilesAreRefused()
{
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const QString path = writeFile(dir, "hostile.bmp", bytes);
    QVERIFY(!path.isEmpty());
    Bitmap loaded(3, 3);
    QVERIFY(!ReadBmpFile(path, loaded, kChip, kChip));
    QCOMPARE(loaded.width(), 3); // untouched
    QVERIFY(!ReadBmpFile(dir.filePath("missing.bmp"), loaded, kChip, kChip));
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
}

void BmpFileTest::largePicturesOpenByTheirTopLeftBlock()
{
    QFETCH(int, kind);
    QFETCH(QSize, size);
    QTemporaryDir dir;
    const QString path = writeBigPicture(dir, Big(kind), size.width(), size.height());
    QVERIFY(!path.isEmpty());
    Bitmap loaded;
    QVERIFY(ReadBmpFile(path, loaded, kChip, kChip));
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
    QTest::newRow("32x32") << 32 << 32;
    QTest::newRow("odd width pads rows") << 13 << 5;
    QTest::newRow("256x256") << 256 << 256;
    QTest::newRow("1x1") << 1 << 1;
    QTest::newRow("no pixels") << 0 << 0;
    QTest::newRow("no columns") << 0 << 7;
    QTest::newRow("no rows") << 9 << 0;
}

void BmpFileTest::savedFilesLoadBackExactly()
{
    QFETCH(int, w);
    QFETCH(int, h);
    QTemporaryDir dir;
    const Bitmap chip = pattern(w, h);
    const QString path = dir.filePath("chip.bmp");
    WriteBmpFile(path, chip);
    Bitmap loaded(9, 9);
    QVERIFY(ReadBmpFile(path, loaded, kChip, kChip));
    QCOMPARE(loaded.width(), w);
    QCOMPARE(loaded.height(), h);
    QVERIFY(loaded == chip);
}

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
    QTemporaryDir dir;
    const Bitmap chip = pattern(13, 7);
    const QString path = dir.filePath("chip.bmp");
    WriteBmpFile(path, chip);
    QProcess pil;
    pil.start(python, {"-c",
                       "import sys; from PIL import Image\n"
                       "im = Image.open(sys.argv[1]).convert('RGB')\n"
                       "print(im.size[0], im.size[1])\n"
                       "for y in range(im.size[1]):\n"
                       "  print(' '.join('%02x%02x%02x' % im.getpixel((x, y)) for x in range(im.size[0])))",
                       path});
    QVERIFY(pil.waitForFinished(30000));
    QCOMPARE(pil.exitCode(), 0);
    const QStringList lines = QString::fromLatin1(pil.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.value(0), QStringLiteral("13 7"));
    for (int y = 0; y < 7; ++y) {
        const QStringList px = lines.value(y + 1).split(' ');
        for (int x = 0; x < 13; ++x) {
            const TColor c = chip.pixel(x, y);
            QCOMPARE(px.value(x), QString::asprintf("%02x%02x%02x", GetRValue(c), GetGValue(c), GetBValue(c)));
        }
    }
}

QTEST_GUILESS_MAIN(BmpFileTest)
#include "test_bmpfile.moc"
