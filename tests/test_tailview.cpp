// SPDX-License-Identifier: MIT
// The tile preview: where the tiles land, how the copy is kept apart from the chip, and what
// redraws the view (only a preview request or a zoom change).
#include <QtTest>

#include <QComboBox>

#include "TestSupport.h"
#include "platform/Checkerboard.h"
#include "platform/ImageControl.h"
#include "shell/UTailViewWin.h"

struct TailViewProbe {
    explicit TailViewProbe(TTailViewWin& w) : win(w) {}
    TTailViewWin& win;
    const Bitmap& snapshot() const { return win.FSnapshot; }
};

namespace {

// The view the tiling must give, pixel by pixel from its definition: see-through pixels over
// the checkerboard of the view.
Bitmap expectedTiles(const Bitmap& chip, int factor, int viewW, int viewH)
{
    Bitmap out(viewW, viewH);
    const int tileW = chip.width() * factor, tileH = chip.height() * factor;
    for (int y = 0; y < viewH; ++y)
        for (int x = 0; x < viewW; ++x)
            out.setArgb(x, y, OverChecker(chip.argb((x % tileW) / factor, (y % tileH) / factor), x, y));
    return out;
}

// A shown preview window whose view control is exactly viewW by viewH.
std::unique_ptr<TTailViewWin> makeWindow(int viewW, int viewH)
{
    auto w = std::make_unique<TTailViewWin>();
    w->show();
    const QSize extra = w->size() - w->FImgView->size();
    w->resize(viewW + extra.width(), viewH + extra.height());
    QCoreApplication::processEvents();
    return w;
}

void chooseZoom(TTailViewWin& w, int index)
{
    // The list is driven with the keyboard, as a user without the popup would.
    w.FCmbBoxZoom->setFocus();
    while (w.FCmbBoxZoom->currentIndex() < index)
        QTest::keyClick(w.FCmbBoxZoom, Qt::Key_Down);
    while (w.FCmbBoxZoom->currentIndex() > index)
        QTest::keyClick(w.FCmbBoxZoom, Qt::Key_Up);
}

} // namespace

class TestTailView : public QObject {
    Q_OBJECT
private slots:
    void createdHiddenWithZoomOne();
    void firstPreviewFillsTheShownWindow();
    void tilesFromTopLeft_data();
    void tilesFromTopLeft();
    void sixteenAtTwoInHundredWideView();
    void emptyChipDrawsNoTiles_data();
    void emptyChipDrawsNoTiles();
    void noPictureKeepsEverything();
    void zoomChangeBeforeAnyPreviewDoesNothing();
    void laterEditsDoNotReachThePreview();
    void resizingDoesNotRedraw();
    void closingOnlyHides();
};

void TestTailView::createdHiddenWithZoomOne()
{
    TTailViewWin w;
    QVERIFY(w.isHidden());
    QCOMPARE(w.windowTitle(), QStringLiteral("TailViewWin"));
    QVERIFY(!(w.windowFlags() & Qt::WindowStaysOnTopHint));
    QVERIFY(!(w.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QCOMPARE(w.FCmbBoxZoom->count(), 3);
    QCOMPARE(w.FCmbBoxZoom->itemText(0), QStringLiteral("×1"));
    QCOMPARE(w.FCmbBoxZoom->itemText(1), QStringLiteral("×2"));
    QCOMPARE(w.FCmbBoxZoom->itemText(2), QStringLiteral("×4"));
    QCOMPARE(w.FCmbBoxZoom->currentIndex(), 0);
    QVERIFY(!w.FCmbBoxZoom->isEditable());
    QCOMPARE(w.ZoomFactor(), 1);
    QVERIFY(TailViewProbe(w).snapshot().isEmpty());
}

void TestTailView::firstPreviewFillsTheShownWindow()
{
    // The main window shows the window and previews at once, before any event is processed.
    TTailViewWin w;
    w.show();
    const Bitmap chip = NumberedBitmap(5, 4);
    w.ShowTiled(&chip, true);
    const QSize view(w.width() - 2, w.height() - 41 - 2);
    QCOMPARE(w.FImgView->size(), view);
    QVERIFY(w.FImgView->picture() == expectedTiles(chip, 1, view.width(), view.height()));
}

void TestTailView::tilesFromTopLeft_data()
{
    QTest::addColumn<int>("chipW");
    QTest::addColumn<int>("chipH");
    QTest::addColumn<int>("zoomIndex");
    QTest::addColumn<int>("viewW");
    QTest::addColumn<int>("viewH");
    QTest::addColumn<bool>("alpha"); // pixels of every alpha

    QTest::newRow("1x1 at x1") << 1 << 1 << 0 << 61 << 37 << false;
    QTest::newRow("3x5 at x4, cut both ways") << 3 << 5 << 2 << 37 << 23 << false;
    QTest::newRow("7x1 at x2") << 7 << 1 << 1 << 50 << 9 << false;
    QTest::newRow("tile exactly fills the view") << 10 << 10 << 1 << 40 << 60 << false;
    QTest::newRow("one tile larger than the view") << 256 << 256 << 2 << 300 << 200 << false;
    QTest::newRow("tall thin chip") << 1 << 256 << 0 << 33 << 300 << false;
    QTest::newRow("see-through 3x5 at x2") << 3 << 5 << 1 << 37 << 23 << true;
}

void TestTailView::tilesFromTopLeft()
{
    QFETCH(int, chipW);
    QFETCH(int, chipH);
    QFETCH(int, zoomIndex);
    QFETCH(int, viewW);
    QFETCH(int, viewH);
    QFETCH(bool, alpha);
    auto w = makeWindow(viewW, viewH);
    QCOMPARE(w->FImgView->size(), QSize(viewW, viewH));
    chooseZoom(*w, zoomIndex);

    Bitmap chip = NumberedBitmap(chipW, chipH);
    for (int i = 0; alpha && i < chipW * chipH; ++i)
        chip.setArgb(i % chipW, i / chipW, (chip.argb(i % chipW, i / chipW) & 0xFFFFFFu) | QRgb(i * 53 % 256) << 24);
    w->ShowTiled(&chip, true);

    const int factor = zoomIndex == 0 ? 1 : zoomIndex == 1 ? 2 : 4;
    QCOMPARE(w->ZoomFactor(), factor);
    const QString difference = FirstDifference(w->FImgView->picture(), expectedTiles(chip, factor, viewW, viewH));
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
    // What the user sees is the view picture itself, unscaled from the top-left corner.
    const QImage shown = w->FImgView->grab().toImage();
    QCOMPARE(QRgbToColor(shown.pixel(viewW - 1, viewH - 1)), w->FImgView->picture().pixel(viewW - 1, viewH - 1));
}

void TestTailView::sixteenAtTwoInHundredWideView()
{
    auto w = makeWindow(100, 40);
    chooseZoom(*w, 1);
    const Bitmap chip = NumberedBitmap(16, 16);
    w->ShowTiled(&chip, true);
    const Bitmap& view = w->FImgView->picture();
    // Tiles of 32 at x = 0, 32, 64 and 96; the last keeps only its first 4 columns (chip columns 0 and 1).
    for (int tileX : {0, 32, 64, 96}) {
        QCOMPARE(view.pixel(tileX, 0), chip.pixel(0, 0));
        QCOMPARE(view.pixel(tileX + 1, 1), chip.pixel(0, 0));
        QCOMPARE(view.pixel(tileX + 2, 0), chip.pixel(1, 0));
    }
    QCOMPARE(view.pixel(31, 0), chip.pixel(15, 0));
    QCOMPARE(view.pixel(99, 0), chip.pixel(1, 0));
    QCOMPARE(view.pixel(99, 33), chip.pixel(1, 0));
    QCOMPARE(view.pixel(100, 0), CLR_INVALID);
}

void TestTailView::emptyChipDrawsNoTiles_data()
{
    QTest::addColumn<int>("chipW");
    QTest::addColumn<int>("chipH");
    QTest::newRow("width 0") << 0 << 16;
    QTest::newRow("height 0") << 16 << 0;
    QTest::newRow("both 0") << 0 << 0;
}

void TestTailView::emptyChipDrawsNoTiles()
{
    QFETCH(int, chipW);
    QFETCH(int, chipH);
    auto w = makeWindow(80, 50);
    const Bitmap before = NumberedBitmap(5, 5);
    w->ShowTiled(&before, true);

    const Bitmap empty(chipW, chipH);
    w->ShowTiled(&empty, true);
    QCOMPARE(TailViewProbe(*w).snapshot().width(), chipW);
    QCOMPARE(TailViewProbe(*w).snapshot().height(), chipH);
    // No tile, and none of the previous chip's either.
    Bitmap white(80, 50);
    white.fill(ClrWhite);
    QVERIFY(w->FImgView->picture() == white);

    // With an empty snapshot a zoom change has nothing to redraw.
    chooseZoom(*w, 2);
    QVERIFY(w->FImgView->picture() == white);
}

void TestTailView::noPictureKeepsEverything()
{
    auto w = makeWindow(40, 30);
    const Bitmap chip = NumberedBitmap(3, 3);
    w->ShowTiled(&chip, true);
    const Bitmap view = w->FImgView->picture();
    w->ShowTiled(nullptr, true);
    QVERIFY(TailViewProbe(*w).snapshot() == chip);
    QVERIFY(w->FImgView->picture() == view);
}

void TestTailView::zoomChangeBeforeAnyPreviewDoesNothing()
{
    auto w = makeWindow(40, 30);
    chooseZoom(*w, 1);
    chooseZoom(*w, 2);
    QVERIFY(w->FImgView->picture().isEmpty());
}

void TestTailView::laterEditsDoNotReachThePreview()
{
    auto w = makeWindow(64, 48);
    Bitmap chip = NumberedBitmap(8, 6);
    const Bitmap original = chip;
    w->ShowTiled(&chip, true);
    chip.fill(ClrBlack);
    QVERIFY(w->FImgView->picture() == expectedTiles(original, 1, 64, 48));

    chooseZoom(*w, 2);
    QVERIFY(w->FImgView->picture() == expectedTiles(original, 4, 64, 48));
    chooseZoom(*w, 1);
    QVERIFY(w->FImgView->picture() == expectedTiles(original, 2, 64, 48));

    // A new request takes a new copy.
    w->ShowTiled(&chip, true);
    QVERIFY(w->FImgView->picture() == expectedTiles(chip, 2, 64, 48));
}

void TestTailView::resizingDoesNotRedraw()
{
    auto w = makeWindow(60, 40);
    const Bitmap chip = NumberedBitmap(7, 3);
    w->ShowTiled(&chip, true);
    const Bitmap drawn = w->FImgView->picture();

    w->resize(w->width() + 50, w->height() + 30);
    QCoreApplication::processEvents();
    QCOMPARE(w->FImgView->size(), QSize(110, 70));
    QVERIFY(w->FImgView->picture() == drawn);
    // The margin beyond the view picture is left empty, not filled with tiles.
    const QImage shown = w->FImgView->grab().toImage();
    QVERIFY(QRgbToColor(shown.pixel(100, 50)) != chip.pixel(100 % 7, 50 % 3));

    // The next zoom change fills the new size.
    chooseZoom(*w, 1);
    QVERIFY(w->FImgView->picture() == expectedTiles(chip, 2, 110, 70));
}

void TestTailView::closingOnlyHides()
{
    QPointer<TTailViewWin> w = makeWindow(40, 30).release();
    const Bitmap chip = NumberedBitmap(2, 2);
    w->ShowTiled(&chip, true);
    QVERIFY(w->close());
    QCoreApplication::processEvents();
    QVERIFY(w);
    QVERIFY(w->isHidden());
    w->show();
    QVERIFY(w->FImgView->picture() == expectedTiles(chip, 1, 40, 30));
    delete w.data();
}

QTEST_MAIN(TestTailView)
#include "test_tailview.moc"
