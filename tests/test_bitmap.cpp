// SPDX-License-Identifier: MIT
// The bitmap every part of the program paints on: clipping, resizing and scaling.
#include <QtTest>

#include "TestSupport.h"
#include "pictures/Bitmap.h"

class BitmapTest : public QObject {
    Q_OBJECT
private slots:
    void newPixelsAreWhiteAndOldOnesStay_data();
    void newPixelsAreWhiteAndOldOnesStay();
    void readsOutsideAreInvalidAndWritesOutsideDoNothing();
    void blockCopyIsClippedForAnyOffset_data();
    void blockCopyIsClippedForAnyOffset();
    void stretchRepeatsEveryPixelAsASquare_data();
    void stretchRepeatsEveryPixelAsASquare();
    void stretchOfABlockTouchesOnlyThatBlock();
    void linesStopOnePixelShortOfTheirEnd();
    void colourValuesSurviveQtConversions();
};

void BitmapTest::newPixelsAreWhiteAndOldOnesStay_data()
{
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::newRow("grow both") << 12 << 9;
    QTest::newRow("grow rows only") << 5 << 9;
    QTest::newRow("shrink") << 3 << 2;
    QTest::newRow("to nothing") << 0 << 0;
    QTest::newRow("zero width") << 0 << 4;
}

void BitmapTest::newPixelsAreWhiteAndOldOnesStay()
{
    QFETCH(int, w);
    QFETCH(int, h);
    const Bitmap before = NumberedBitmap(5, 4);
    Bitmap b = before;
    b.setSize(w, h);
    QCOMPARE(b.width(), w);
    QCOMPARE(b.height(), h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            QCOMPARE(b.pixel(x, y), (x < 5 && y < 4) ? before.pixel(x, y) : ClrWhite);
}

void BitmapTest::readsOutsideAreInvalidAndWritesOutsideDoNothing()
{
    Bitmap b(3, 2);
    const Bitmap before = b;
    for (auto [x, y] : {std::pair{-1, 0}, {0, -1}, {3, 0}, {0, 2}, {INT32_MIN, INT32_MIN}, {INT32_MAX, 1}}) {
        QCOMPARE(b.pixel(x, y), CLR_INVALID);
        b.setPixel(x, y, ClrBlack);
    }
    QVERIFY(b == before);
    Bitmap empty;
    QCOMPARE(empty.pixel(0, 0), CLR_INVALID);
    empty.setPixel(0, 0, ClrBlack);
    QVERIFY(empty.isEmpty());
}

void BitmapTest::blockCopyIsClippedForAnyOffset_data()
{
    QTest::addColumn<int>("dx");
    QTest::addColumn<int>("dy");
    QTest::newRow("inside") << 1 << 1;
    QTest::newRow("past the right") << 6 << 0;
    QTest::newRow("past the top left") << -3 << -2;
    QTest::newRow("far away") << INT32_MAX - 2 << INT32_MIN + 2;
    QTest::newRow("far negative") << INT32_MIN << INT32_MIN;
}

void BitmapTest::blockCopyIsClippedForAnyOffset()
{
    QFETCH(int, dx);
    QFETCH(int, dy);
    const Bitmap src = NumberedBitmap(4, 3);
    Bitmap dst(8, 5);
    dst.draw(src, dx, dy);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 8; ++x) {
            const int64_t sx = int64_t(x) - dx, sy = int64_t(y) - dy;
            const bool covered = sx >= 0 && sx < 4 && sy >= 0 && sy < 3;
            QCOMPARE(dst.pixel(x, y), covered ? src.pixel(int(sx), int(sy)) : ClrWhite);
        }
}

void BitmapTest::stretchRepeatsEveryPixelAsASquare_data()
{
    QTest::addColumn<int>("factor");
    for (int f : {1, 2, 3, 16})
        QTest::newRow(qPrintable(QString::number(f))) << f;
}

void BitmapTest::stretchRepeatsEveryPixelAsASquare()
{
    QFETCH(int, factor);
    const Bitmap src = NumberedBitmap(5, 3);
    Bitmap view;
    view.stretchFrom(src, factor);
    QCOMPARE(view.width(), 5 * factor);
    QCOMPARE(view.height(), 3 * factor);
    for (int y = 0; y < view.height(); ++y)
        for (int x = 0; x < view.width(); ++x)
            QCOMPARE(view.pixel(x, y), src.pixel(x / factor, y / factor));
}

void BitmapTest::stretchOfABlockTouchesOnlyThatBlock()
{
    const Bitmap src = NumberedBitmap(6, 6);
    Bitmap view(24, 24);
    view.fill(ClrBlack);
    view.stretchBlockFrom(src, TRect{2, 1, 4, 3}, 4);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x) {
            const bool inBlock = x >= 8 && x < 16 && y >= 4 && y < 12;
            QCOMPARE(view.pixel(x, y), inBlock ? src.pixel(x / 4, y / 4) : ClrBlack);
        }
    // Blocks partly or wholly outside the source or the destination are clipped.
    view.stretchBlockFrom(src, TRect{-100, -100, 100, 100}, 4);
    view.stretchBlockFrom(src, TRect{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, 16);
    QCOMPARE(view.pixel(23, 23), src.pixel(1, 1));
}

void BitmapTest::linesStopOnePixelShortOfTheirEnd()
{
    Bitmap b(6, 6);
    b.drawLineTo(1, 1, 1, 4, ClrBlack); // down: rows 1..3
    b.drawLineTo(4, 4, 2, 4, ClrBlack); // left: columns 4..3
    QCOMPARE(b.pixel(1, 1), ClrBlack);
    QCOMPARE(b.pixel(1, 3), ClrBlack);
    QCOMPARE(b.pixel(1, 4), ClrWhite);
    QCOMPARE(b.pixel(4, 4), ClrBlack);
    QCOMPARE(b.pixel(3, 4), ClrBlack);
    QCOMPARE(b.pixel(2, 4), ClrWhite);
    b.drawLineTo(-5, 9, 20, 9, ClrBlack); // wholly outside
    b.drawLineTo(-5, 0, 20, 0, ClrBlack); // clipped
    QCOMPARE(b.pixel(5, 0), ClrBlack);
}

void BitmapTest::colourValuesSurviveQtConversions()
{
    Bitmap b(2, 1);
    b.setPixel(0, 0, RGBColor(1, 2, 3));
    b.setPixel(1, 0, RGBColor(254, 0, 128));
    const QImage image = b.toImage();
    QCOMPARE(image.pixel(0, 0), qRgb(1, 2, 3));
    QCOMPARE(Bitmap::fromImage(image), b);
    // Translucent pixels keep their colour values: nothing is blended.
    QImage argb(1, 1, QImage::Format_ARGB32);
    argb.setPixel(0, 0, qRgba(200, 100, 50, 10));
    QCOMPARE(Bitmap::fromImage(argb).pixel(0, 0), RGBColor(200, 100, 50));
}

QTEST_GUILESS_MAIN(BitmapTest)
#include "test_bitmap.moc"
