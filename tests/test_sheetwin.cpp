// SPDX-License-Identifier: MIT
// The sheet window: its grid, the picture seen whole at a fraction of its memory, cells opened as
// chips with a click or a drag, and the open chips shown in their places until written back.
#include <QtTest>

#include "ShellTestSupport.h"
#include "TestPng.h"
#include "pictures/BmpFile.h"
#include "pictures/Errors.h"
#include "pictures/PictureFile.h"
#include "shell/USheetWin.h"
#include "tools/UIntEdit.h"

using namespace shell;

struct SheetWinProbe {
    static const QImage& overview(const TSheetWin& w) { return w.FView->FOverview; }
};

namespace {

// A picture whose every pixel differs from its neighbours, translucent in places.
Bitmap sheetPicture(int w, int h)
{
    Bitmap b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.setArgb(x, y, qRgba(x * 7 % 256, y * 13 % 256, (x + y) % 256, (x / 48 + y / 48) % 3 ? 255 : 128));
    return b;
}

// The view's colour at a picture point, the view being one view pixel per picture pixel.
QRgb shownAt(TSheetWin& sheet, int x, int y)
{
    return sheet.FView->grab().toImage().pixel(x, y);
}

} // namespace

class TestSheetWin : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void gridCells_data();
    void gridCells();
    void overviewKeepsEveryStepthPixel_data();
    void overviewKeepsEveryStepthPixel();
    void cellsOpenChips_data();
    void cellsOpenChips();
    void chipsShownUntilWrittenBack();
    void oneWindowPerFileAndTheLastGrid();

private:
    // A 768 by 768 sheet, its window's view sized to show it at one view pixel per picture pixel.
    TSheetWin* openSheet(const QString& name);
    QTemporaryDir dir;
};

void TestSheetWin::initTestCase()
{
    QVERIFY(dir.isValid());
    CreateMarloWindows();
    MainForm->show();
    activate(MainForm);
}

void TestSheetWin::cleanupTestCase()
{
    DestroyMarloWindows();
}

void TestSheetWin::cleanup()
{
    closeAllChips();
    for (TSheetWin* sheet : MainForm->findChildren<TSheetWin*>())
        delete sheet;
}

TSheetWin* TestSheetWin::openSheet(const QString& name)
{
    const QString path = dir.filePath(name);
    WritePictureFile(path, sheetPicture(768, 768));
    TSheetWin* sheet = MainForm->OpenSheet(path);
    sheet->setGrid(TSheetGrid{48, 48, 0, 0});
    const QSize extra = sheet->size() - sheet->FView->size();
    sheet->resize(extra.width() + 800, extra.height() + 768);
    QCoreApplication::processEvents();
    return sheet;
}

void TestSheetWin::gridCells_data()
{
    QTest::addColumn<TSheetGrid>("grid");
    QTest::addColumn<QPoint>("point");     // a point of a 480 by 256 picture
    QTest::addColumn<QPoint>("cell");      // the cell under it; (-1, -1) for none
    QTest::addColumn<QPoint>("dragTo");    // a drag from that cell to this one
    QTest::addColumn<QRect>("block");      // opens this block
    QTest::newRow("one cell of 16") << TSheetGrid{16, 16, 0, 0} << QPoint(50, 20) << QPoint(3, 1) << QPoint(3, 1)
                                    << QRect(48, 16, 16, 16);
    QTest::newRow("a drag right and down") << TSheetGrid{16, 16, 0, 0} << QPoint(0, 0) << QPoint(0, 0) << QPoint(2, 1)
                                           << QRect(0, 0, 48, 32);
    QTest::newRow("a drag up and left") << TSheetGrid{16, 16, 0, 0} << QPoint(40, 40) << QPoint(2, 2) << QPoint(0, 1)
                                        << QRect(0, 16, 48, 32);
    QTest::newRow("a drag past 256 stops at 256") << TSheetGrid{48, 48, 0, 0} << QPoint(0, 0) << QPoint(0, 0)
                                                  << QPoint(9, 0) << QRect(0, 0, 240, 48);
    QTest::newRow("leftwards past 256 keeps the first cell") << TSheetGrid{32, 32, 0, 0} << QPoint(470, 0)
                                                              << QPoint(14, 0) << QPoint(0, 0) << QRect(224, 0, 256, 32);
    QTest::newRow("margin and spacing") << TSheetGrid{16, 16, 1, 1} << QPoint(18, 35) << QPoint(1, 2) << QPoint(2, 2)
                                        << QRect(18, 35, 33, 16);
    QTest::newRow("in the margin") << TSheetGrid{16, 16, 4, 0} << QPoint(2, 30) << QPoint(-1, -1) << QPoint() << QRect();
    QTest::newRow("in a gap") << TSheetGrid{16, 16, 0, 2} << QPoint(17, 3) << QPoint(-1, -1) << QPoint() << QRect();
    QTest::newRow("past the last whole cell") << TSheetGrid{100, 100, 0, 0} << QPoint(470, 20) << QPoint(-1, -1)
                                              << QPoint() << QRect();
}

void TestSheetWin::gridCells()
{
    QFETCH(TSheetGrid, grid);
    QFETCH(QPoint, point);
    QFETCH(QPoint, cell);
    const std::optional<TPoint> found = grid.CellAt(point.x(), point.y(), 480, 256);
    QCOMPARE(found ? QPoint(found->X, found->Y) : QPoint(-1, -1), cell);
    if (!found)
        return;
    QFETCH(QPoint, dragTo);
    QFETCH(QRect, block);
    const TRect b = grid.Block(*found, TPoint{dragTo.x(), dragTo.y()}, kMaxChipSide);
    QCOMPARE(QRect(b.Left, b.Top, b.width(), b.height()), block);
}

void TestSheetWin::overviewKeepsEveryStepthPixel_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("file"); // empty: the sheet picture, written as the name says
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("step"); // -1: refused, with nothing held
    const auto png = [](TestPng p) { return p.file(); };
    QByteArray palette;
    for (int i = 0; i < 16; ++i)
        palette += QByteArray(1, char(i * 16)) + char(255 - i * 16) + char(i * 5);
    QTest::newRow("RGBA PNG") << "rgba.png" << QByteArray() << QSize(3000, 70) << 3;
    QTest::newRow("interlaced PNG") << "adam7.png" << png(TestPng{2050, 19, 8, 2, true}) << QSize(2050, 19) << 3;
    QTest::newRow("4-bit palette PNG") << "pal4.png"
                                       << png(TestPng{1030, 9, 4, 3, false, {}, -1, palette})
                                       << QSize(1030, 9) << 2;
    QTest::newRow("fits: step 1") << "small.png" << QByteArray() << QSize(700, 1000) << 1;
    QTest::newRow("32-bit BMP with alpha") << "alpha.bmp" << QByteArray() << QSize(70, 2100) << 3;
    QTest::newRow("run-length BMP") << "g/pal8rle.bmp" << QByteArray() << QSize() << 0;
    // A header's claim of rows of 72 MB each is refused before anything is held for them.
    QTest::newRow("rows beyond memory") << "wide.png"
                                        << PngSignature() + PngChunk("IHDR", TestPng{9000000, 2, 16, 6}.header())
                                               + PngChunk("IEND", {})
                                        << QSize(9000000, 2) << -1;
}

void TestSheetWin::overviewKeepsEveryStepthPixel()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, file);
    QFETCH(QSize, size);
    QString path = dir.filePath(QFileInfo(name).fileName());
    if (size.isEmpty()) {
        path = SharedPath(QStringLiteral("bmpsuite/") + name);
        if (path.isEmpty())
            QSKIP("the BMP Suite is not beside the project");
        size = QSize(127, 64);
    } else if (file.isEmpty()) {
        WritePictureFile(path, sheetPicture(size.width(), size.height()));
    } else {
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(file) == file.size());
    }
    QFETCH(int, step);
    // The run-length picture is read for 50 by 50 at most: every third pixel.
    const int most = size == QSize(127, 64) ? 50 : 1024;
    Bitmap overview;
    int taken = 0;
    QCOMPARE(ReadPictureOverview(path, most, most, overview, taken), step >= 0);
    if (step < 0) {
        QVERIFY(overview.isEmpty());
        return;
    }
    Bitmap whole;
    QVERIFY(ReadPictureBlock(path, TRect{0, 0, size.width(), size.height()}, whole));
    if (step == 0)
        step = 3;
    QCOMPARE(taken, step);
    QCOMPARE(QSize(overview.width(), overview.height()),
             QSize((size.width() + step - 1) / step, (size.height() + step - 1) / step));
    for (int y = 0; y < overview.height(); ++y)
        for (int x = 0; x < overview.width(); ++x)
            if (overview.argb(x, y) != whole.argb(x * step, y * step))
                QFAIL(qPrintable(QStringLiteral("(%1, %2) differs").arg(x).arg(y)));
}

void TestSheetWin::cellsOpenChips_data()
{
    QTest::addColumn<QPoint>("from"); // view points, one per picture pixel
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<QString>("caption"); // of the active chip afterwards; empty for none
    QTest::addColumn<int>("added"); // chip windows opened
    QTest::newRow("a click opens its cell") << QPoint(150, 250) << QPoint(150, 250) << "%1 (144,240 48×48)" << 1;
    QTest::newRow("a drag opens the cells' union") << QPoint(100, 10) << QPoint(150, 60) << "%1 (96,0 96×96)" << 1;
    QTest::newRow("a drag stops at 256") << QPoint(10, 100) << QPoint(700, 100) << "%1 (0,96 240×48)" << 1;
    QTest::newRow("an open cell comes to the front") << QPoint(30, 30) << QPoint(30, 30) << "%1 (0,0 48×48)" << 0;
    QTest::newRow("right of the picture opens nothing") << QPoint(790, 30) << QPoint(790, 30) << "" << 0;
}

void TestSheetWin::cellsOpenChips()
{
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    QFETCH(QString, caption);
    QFETCH(int, added);
    TSheetWin* sheet = openSheet(QStringLiteral("cells.png"));
    // Two chips are open already: the first cell, then one elsewhere, which is the active one.
    MainForm->OpenBlock(sheet->Path(), TRect{0, 0, 48, 48});
    MainForm->OpenBlock(sheet->Path(), TRect{480, 480, 528, 528});
    // Maximized, as a chip opened after it is: it must fill the area as well, whatever its size.
    MainForm->ActiveChipWindow()->showMaximized();
    QTest::mousePress(sheet->FView, Qt::LeftButton, {}, from);
    QTest::mouseMove(sheet->FView, to);
    QTest::mouseRelease(sheet->FView, Qt::LeftButton, {}, to);
    QCOMPARE(MainForm->mdiArea()->subWindowList().size(), 2 + added);
    QCOMPARE(MainForm->ActiveChipWindow()->size(), MainForm->mdiArea()->viewport()->size());
    if (!caption.isEmpty())
        QCOMPARE(MainForm->ActiveChipWindow()->windowTitle(), caption.arg(sheet->Path()));
    else
        QCOMPARE(MainForm->ActiveChip()->SourceBlock(), (TRect{480, 480, 528, 528}));
}

void TestSheetWin::chipsShownUntilWrittenBack()
{
    TSheetWin* sheet = openSheet(QStringLiteral("shown.png"));
    MainForm->OpenBlock(sheet->Path(), TRect{96, 48, 144, 96});
    TMDIChild* chip = MainForm->ActiveChip();
    chip->FChipBmp.setArgb(10, 20, qRgb(1, 2, 3));
    sheet->RefreshChips();
    // The chip's pixel in its place, framed as not yet written back.
    QCOMPARE(shownAt(*sheet, 106, 68), qRgb(1, 2, 3));
    const QRgb orange = shownAt(*sheet, 96, 70);
    QCOMPARE(orange, qRgb(255, 140, 0));

    MainForm->ActFileSave->trigger();
    runIdle();
    sheet->RefreshChips();
    QCOMPARE(shownAt(*sheet, 96, 70), qRgb(0, 120, 215));
    // Written back, the pixel is the file's: it stays when the chip goes.
    closeAllChips();
    sheet->RefreshChips();
    QCOMPARE(shownAt(*sheet, 106, 68), qRgb(1, 2, 3));
    QCOMPARE(SheetWinProbe::overview(*sheet).pixel(106, 68), qRgb(1, 2, 3));
}

void TestSheetWin::oneWindowPerFileAndTheLastGrid()
{
    TSheetWin* first = openSheet(QStringLiteral("a.png"));
    first->FEditCellWidth->setFocus();
    first->FEditCellWidth->selectAll();
    QTest::keyClicks(first->FEditCellWidth, QStringLiteral("24"));
    QCOMPARE(first->Grid().CellWidth, 24);
    QCOMPARE(MainForm->OpenSheet(first->Path()), first);

    const QString other = dir.filePath(QStringLiteral("b.bmp"));
    WriteBmpFile(other, sheetPicture(64, 64));
    TSheetWin* second = MainForm->OpenSheet(other);
    QVERIFY(second != first);
    QCOMPARE(second->Grid(), (TSheetGrid{24, 48, 0, 0}));
    QCOMPARE(second->windowTitle(), QStringLiteral("タイルシート - b.bmp"));

    QVERIFY_THROWS_EXCEPTION(EMarloError, MainForm->OpenSheet(dir.filePath(QStringLiteral("missing.png"))));
}

QTEST_MAIN(TestSheetWin)
#include "test_sheetwin.moc"
