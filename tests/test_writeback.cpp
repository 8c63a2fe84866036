// SPDX-License-Identifier: MIT
// Writing a chip back into its block of a picture file: the block holds the chip afterwards, every
// other pixel and every piece of the file that holds no pixels are as they were, and a chip the
// file cannot hold is refused, or asked about, before anything is written.
#include <QtTest>

#include "TestSupport.h"
#include "pictures/BmpReader.h"
#include "pictures/BmpWriter.h"
#include "pictures/PictureData.h"
#include "pictures/PngReader.h"
#include "pictures/WriteBack.h"

namespace {

// A chip pixel changed after reading, and what the file reads back there once written.
struct Edit {
    int x = 0, y = 0;
    QRgb argb = 0, readsAs = 0;
};
Edit set(int x, int y, QRgb argb) { return {x, y, argb, argb}; }

QByteArray be16(quint16 v) { return QByteArray(1, char(v >> 8)) + char(v); }

// The whole picture, as our reader reads it.
bool decodeWhole(QByteArray bytes, const QString& suffix, Bitmap& out)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    qint64 w, h;
    if (suffix != "png")
        return ReadBmpSize(buffer, w, h) && buffer.seek(0) && DecodeBmpBlock(buffer, TRect{0, 0, int(w), int(h)}, out);
    return ReadPngSize(buffer, w, h) && buffer.seek(0) && DecodePngBlock(buffer, TRect{0, 0, int(w), int(h)}, out);
}

// The chunks of a PNG file in order, each whole, but for its image data.
QList<QByteArray> chunksOf(const QByteArray& file, const QStringList& leftOut)
{
    QList<QByteArray> chunks;
    for (qsizetype at = 8; at + 12 <= file.size();) {
        const qsizetype size = 12 + qFromBigEndian<quint32>(file.constData() + at);
        if (!leftOut.contains(QString::fromLatin1(file.mid(at + 4, 4))))
            chunks << file.mid(at, size);
        at += size;
    }
    return chunks;
}

QByteArray chunkData(const QByteArray& file, const char* type)
{
    const QList<QByteArray> all = chunksOf(file, {});
    for (const QByteArray& c : all)
        if (c.mid(4, 4) == type)
            return c.mid(8, c.size() - 12);
    return {};
}

} // namespace

Q_DECLARE_METATYPE(Edit)
Q_DECLARE_METATYPE(TWriteBackConsent)

class WriteBackTest : public QObject {
    Q_OBJECT
private slots:
    void writeBack_data();
    void writeBack();
};

void WriteBackTest::writeBack_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QRect>("block");
    QTest::addColumn<QList<Edit>>("edits"); // in the chip's coordinates
    QTest::addColumn<TWriteBackConsent>("consent");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("count");
    using R = TWriteBackResult;
    const TWriteBackConsent none, addColours{.addColours = true}, dropAlpha{.dropAlpha = true};
    const auto row = [&](const char* name, const TestPng& png, QRect block, QList<Edit> edits,
                         TWriteBackConsent consent = {}, R::Kind kind = R::Written, int count = 0) {
        QTest::newRow(name) << png.file() << "png" << block << edits << consent << int(kind) << count;
    };
    const QRect corner(0, 0, 4, 4), inside(3, 2, 6, 5);

    row("RGB 8, opaque", {.width = 13, .height = 9}, inside, {set(0, 0, 0xFF102030), set(5, 4, 0xFFFFFFFF)});
    row("RGBA 8, translucent", {.width = 13, .height = 9, .colourType = 6}, inside,
        {set(1, 1, 0x80102030), set(2, 1, 0x00ABCDEF), set(5, 0, 0xFF000000)});
    row("RGBA 16, unchanged pixels keep their samples", {.width = 13, .height = 9, .depth = 16, .colourType = 6},
        inside, {set(2, 3, 0x7F00FF80)});
    row("RGBA 16, chip as read", {.width = 9, .height = 9, .depth = 16, .colourType = 6, .interlaced = true}, inside, {});
    row("grey 2 bits, representable", {.width = 13, .height = 9, .depth = 2, .colourType = 0}, inside,
        {set(0, 0, 0xFF555555), set(3, 3, 0xFFAAAAAA)});
    row("grey 2 bits, not representable", {.width = 13, .height = 9, .depth = 2, .colourType = 0}, inside,
        {set(0, 0, 0xFF404040), set(1, 0, 0xFF5555AA), set(2, 0, 0xFFFFFFFF)}, none, R::ColoursNotHeld, 2);
    row("grey and alpha 16, not grey", {.width = 13, .height = 9, .depth = 16, .colourType = 4}, inside,
        {set(4, 4, 0x80102030)}, none, R::ColoursNotHeld, 1);

    const QByteArray palette = QByteArray::fromHex("102030405060708090102030a0b0c0");
    const TestPng indexed{.width = 13, .height = 9, .depth = 4, .colourType = 3, .palette = palette};
    row("palette, colours it holds", indexed, inside, {set(0, 0, 0xFF102030), set(1, 0, 0xFFA0B0C0)});
    const QList<Edit> twoNew{set(0, 0, 0xFF010203), set(1, 1, 0x80040506), set(2, 2, 0xFF010203)};
    row("palette, colours it lacks", indexed, inside, twoNew, none, R::MissingColours, 2);
    row("palette, colours added", indexed, inside, twoNew, addColours);
    TestPng translucent = indexed;
    translucent.transparency = "\x80";
    row("palette with alphas, colours added", translucent, inside, {set(5, 4, 0xFF010203), set(4, 4, 0x00000000)}, addColours);
    const TestPng full{.width = 13, .height = 9, .depth = 2, .colourType = 3, .palette = palette.left(12)};
    row("palette full", full, inside, twoNew, addColours, R::NoRoomForColours, 2);

    // The default pattern's pixel (0, 0) is the key colour, (0, 3, 6).
    const TestPng keyed{.width = 13, .height = 9, .transparency = be16(0) + be16(3) + be16(6)};
    row("RGB with tRNS, transparent pixel", keyed, corner, {{1, 1, 0x00ABCDEF, 0x00000306}, set(0, 0, 0xFF0A0B0C)});
    row("RGB with tRNS, opaque key colour", keyed, corner, {set(1, 1, 0xFF000306)}, none, R::ColoursNotHeld, 1);
    const TestPng keyed16{.width = 13, .height = 9, .depth = 16, .transparency = be16(1285) + be16(1285) + be16(1285)};
    row("RGB 16 with tRNS, opaque key colour", keyed16, corner, {set(1, 1, 0xFF050505), {2, 1, 0x00000000, 0x00050505}});
    const QList<Edit> seeThrough{set(1, 1, 0x00112233), set(2, 1, 0x80112233)};
    row("RGB, transparent pixels", {.width = 13, .height = 9}, inside, seeThrough, none, R::AlphaNotHeld, 2);
    row("RGB, transparent pixels made opaque", {.width = 13, .height = 9}, inside,
        {{1, 1, 0x00112233, 0xFF112233}, {2, 1, 0x80112233, 0xFF112233}}, dropAlpha);
    row("interlaced", {.width = 13, .height = 11, .colourType = 6, .interlaced = true}, QRect(3, 2, 8, 7),
        {set(0, 0, 0x11223344), set(7, 6, 0xFFFFFFFF), set(4, 3, 0x00000000)});
    row("many rows and IDAT chunks", {.width = 300, .height = 200, .colourType = 6, .idatSize = 70000},
        QRect(250, 190, 50, 10), {set(49, 9, 0x12345678)});
    row("block outside", {.width = 13, .height = 9}, QRect(10, 0, 4, 4), {}, none, R::BlockOutside);
    const QByteArray huge = PngSignature() + PngChunk("IHDR", TestPng{.width = 0x7fffffff, .height = 2, .depth = 16, .colourType = 6}.header()) +
                            PngChunk("IDAT", TestPng{}.imageData()) + PngChunk("IEND", {});
    QTest::newRow("huge rows") << huge << "png" << QRect(0, 0, 2, 2) << QList<Edit>{} << none << int(R::Unsupported) << 0;

    const TestPng plain{.width = 13, .height = 9};
    const QByteArray ancillary = PngSignature() + PngChunk("IHDR", plain.header()) + PngChunk("tEXt", "Title\0chips") +
                                 PngChunk("pHYs", QByteArray::fromHex("00000b1300000b1301")) + PngChunk("prVt", "mine") +
                                 PngChunk("IDAT", plain.imageData()) + PngChunk("tEXt", QByteArray("After\0it", 8));
    const QByteArray end = PngChunk("prVt", "last") + PngChunk("IEND", {});
    QTest::newRow("ancillary chunks kept") << ancillary + end << "png" << inside << QList<Edit>{set(0, 0, 0xFF000000)}
                                           << none << int(R::Written) << 0;
    QByteArray damaged = ancillary + end;
    damaged[damaged.size() - end.size() - 1] ^= 1; // the CRC of the last tEXt
    QTest::newRow("damaged after the image data") << damaged << "png" << inside << QList<Edit>{} << none
                                                  << int(R::Unreadable) << 0;

    const auto bmp = [&](const char* name, const QByteArray& file, QRect block, QList<Edit> edits,
                         TWriteBackConsent consent = {}, R::Kind kind = R::Written, int count = 0) {
        QTest::newRow(name) << file << "bmp" << block << edits << consent << int(kind) << count;
    };
    const QByteArray rgb = BmpFileOfDib(DibOfBitmap(NumberedBitmap(13, 9)));
    bmp("BMP 24 bits", rgb, inside, {set(0, 0, 0xFF102030), set(5, 4, 0xFFFFFFFF)});
    bmp("BMP 24 bits, transparent pixels", rgb, inside, seeThrough, none, R::AlphaNotHeld, 2);
    bmp("BMP 24 bits, transparent pixels made opaque", rgb, inside,
        {{1, 1, 0x00112233, 0xFF112233}, {2, 1, 0x80112233, 0xFF112233}}, dropAlpha);
    Bitmap sprite = NumberedBitmap(13, 9);
    sprite.setArgb(12, 8, 0x40FFFFFF);
    const QByteArray withAlpha = BmpFileOfDib(DibOfBitmap(sprite));
    bmp("BMP 32 bits with alpha", withAlpha, QRect(7, 4, 6, 5), {set(0, 0, 0x00102030), set(1, 1, 0x80FFFFFF)});
    QImage paletted(13, 9, QImage::Format_Indexed8);
    paletted.setColorTable({0xFF102030, 0xFF405060, 0xFFA0B0C0});
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 13; ++x)
            paletted.setPixel(x, y, uint((x + y) % 3));
    const QByteArray fourBits = EncodedPicture(paletted, "BMP"); // Qt takes 4 bits for 3 colours
    bmp("BMP 4 bits, colours it holds", fourBits, inside, {set(0, 0, 0xFFA0B0C0), set(5, 4, 0xFF102030)});
    bmp("BMP 4 bits, colours it lacks", fourBits, inside, twoNew, none, R::ColoursNotHeld, 3);
    QImage mono = paletted.convertToFormat(QImage::Format_Mono, {0xFF000000, 0xFFFFFFFF});
    bmp("BMP 1 bit, block off the byte boundary", EncodedPicture(mono, "BMP"), QRect(3, 2, 7, 5),
        {set(0, 0, 0xFFFFFFFF), set(6, 4, 0xFF000000), set(3, 2, 0xFFFFFFFF)});
    QByteArray rle = fourBits.left(qFromLittleEndian<quint32>(fourBits.constData() + 10));
    rle[30] = 2;                  // compression: 4-bit runs
    rle += QByteArray("\0\1", 2); // the end of the picture
    bmp("BMP with runs", rle, inside, {}, none, R::Unsupported);
    bmp("BMP, block outside", rgb, QRect(0, 6, 4, 4), {}, none, R::BlockOutside);
}

void WriteBackTest::writeBack()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, suffix);
    QFETCH(QRect, block);
    QFETCH(QList<Edit>, edits);
    QFETCH(TWriteBackConsent, consent);
    QFETCH(int, kind);
    QFETCH(int, count);
    const bool png = suffix == "png";
    // Qt 6.4 shifts the channels of 16-bit RGB with tRNS by one, neighbours' into a pixel's.
    const QByteArray header = png ? chunkData(file, "IHDR") : QByteArray();
    const bool qtShifts = header.size() == 13 && header[8] == 16 && header[9] == 2 && file.contains("tRNS");
    const TRect rect{block.left(), block.top(), block.right() + 1, block.bottom() + 1};
    QBuffer source(&file);
    QVERIFY(source.open(QIODevice::ReadOnly));

    // The chip as the program reads it, which is the block as Qt reads it too.
    Bitmap chip(block.width(), block.height()), before;
    if (kind == TWriteBackResult::BlockOutside) {
        QVERIFY(png ? !DecodePngBlock(source, rect, chip) : !DecodeBmpBlock(source, rect, chip));
        QCOMPARE(chip.width(), block.width()); // untouched
    } else if (kind != TWriteBackResult::Unsupported) {
        QVERIFY(decodeWhole(file, suffix, before));
        chip.copyRect(0, 0, before, rect);
        if (!qtShifts) {
            QVERIFY(png ? DecodePngBlock(source, rect, chip) : DecodeBmpBlock(source, rect, chip));
            const QString fromQt = FirstDifference(chip, Bitmap::fromImage(QImage::fromData(file).copy(block)));
            QVERIFY2(fromQt.isEmpty(), qPrintable(fromQt));
        }
    }
    for (const Edit& e : edits)
        chip.setArgb(e.x, e.y, e.argb);

    QByteArray written;
    const TByteSink sink = [&](const char* data, qint64 size) { written.append(data, size); };
    const TWriteBackResult result = png ? WritePngBack(source, rect, chip, consent, sink)
                                        : WriteBmpBack(source, rect, chip, consent, sink);
    QCOMPARE(int(result.kind), kind);
    QCOMPARE(result.count, count);
    if (kind != TWriteBackResult::Written) {
        // Whatever asks or tells the user is known before a byte is sent.
        if (kind != TWriteBackResult::Unreadable)
            QVERIFY(written.isEmpty());
        return;
    }

    Bitmap after;
    QVERIFY(decodeWhole(written, suffix, after));
    Bitmap expected = before;
    for (const Edit& e : edits)
        expected.setArgb(block.left() + e.x, block.top() + e.y, e.readsAs);
    const QString difference = FirstDifference(after, expected);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
    // Samples finer than the chip's, in pixels left as they were, are as they were.
    const QImage fine = QImage::fromData(file).convertToFormat(QImage::Format_RGBA64);
    QImage fineAfter = QImage::fromData(written).convertToFormat(QImage::Format_RGBA64);
    for (const Edit& e : edits)
        fineAfter.setPixelColor(block.topLeft() + QPoint(e.x, e.y), fine.pixelColor(block.topLeft() + QPoint(e.x, e.y)));
    if (!qtShifts)
        QVERIFY(fineAfter == fine);
    if (!png)
        return;

    QStringList rewritten{"IDAT"};
    if (consent.addColours) {
        rewritten << "PLTE" << "tRNS";
        QVERIFY(chunkData(written, "PLTE").startsWith(chunkData(file, "PLTE")));
        QVERIFY(chunkData(written, "PLTE").size() > chunkData(file, "PLTE").size());
    }
    QCOMPARE(chunksOf(written, rewritten), chunksOf(file, rewritten));
}

QTEST_GUILESS_MAIN(WriteBackTest)
#include "test_writeback.moc"
