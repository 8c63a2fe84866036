// SPDX-License-Identifier: MIT
// A chip window's life: new and loaded chips, saving, tool changes, the zoomed view and the
// undo history.
#include <QMessageBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QtTest>

#include <climits>

#include "TestSupport.h"
#include "pictures/BmpFile.h"
#include "pictures/Errors.h"
#include "tools/UEditerData.h"

namespace {

Bitmap pattern(int w, int h)
{
    Bitmap b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.setPixel(x, y, RGBColor(x, y, 99));
    return b;
}

bool allWhite(const Bitmap& b)
{
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            if (b.pixel(x, y) != ClrWhite)
                return false;
    return true;
}

// Paints one pixel and records it as a finished edit, as a pen stroke's release does.
void edit(TMDIChild& c, int x, int y, TColor color)
{
    ChildwinProbe p(c);
    p.chip().setPixel(x, y, color);
    c.PushUndo();
}

} // namespace

class ChipDocumentTest : public QObject {
    Q_OBJECT
private slots:
    void init() { ResetToolData(); }

    void newChipIsWhiteAtZoomOne_data();
    void newChipIsWhiteAtZoomOne();
    void loadCutsThePictureTo256_data();
    void loadCutsThePictureTo256();
    void failedLoadLeavesTheWindowAsItWas();
    void undoAfterOpenShowsTheBlankChip();
    void saveKeepsCaptionAndHistory();
    void saveToAnUnwritablePlaceRaises();
    void toolChangeIsRefusedWhileAButtonIsHeld();
    void toolChangeKeepsTheSelectionOnlyForTheMoveTool_data();
    void toolChangeKeepsTheSelectionOnlyForTheMoveTool();
    void closingWithAnOperationUnderwayFreesTheToolState();

    void zoomIsClampedAndShown_data();
    void zoomIsClampedAndShown();
    void viewIsTheChipStretched_data();
    void viewIsTheChipStretched();
    void cursorPositionTruncatesTowardZero_data();
    void cursorPositionTruncatesTowardZero();
    void selectionFrameIsAClosedOutline_data();
    void selectionFrameIsAClosedOutline();

    void historyIsCappedAtTwenty();
    void trimmingComesBeforeTheRedoBranchIsDropped();
    void undoAndRedoWalkTheHistory();
    void newEditDropsTheRedoBranch();
    void undoAndRedoAreOffWhileBusy();
    void undoKeepsSelectionZoomAndWindowSize();
    void lostSnapshotIsReportedAndRepaired();
    void lostSnapshotWithASingleSnapshotNeverReadsBeforeTheFirst();
};

void ChipDocumentTest::newChipIsWhiteAtZoomOne_data()
{
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::newRow("32x32") << 32 << 32;
    QTest::newRow("256x256") << 256 << 256;
    QTest::newRow("no width") << 0 << 16;
    QTest::newRow("no height") << 16 << 0;
    QTest::newRow("nothing") << 0 << 0;
}

void ChipDocumentTest::newChipIsWhiteAtZoomOne()
{
    QFETCH(int, w);
    QFETCH(int, h);
    TMDIChild c;
    c.NewChip("NONAME1", w, h);
    ChildwinProbe p(c);
    QCOMPARE(c.windowTitle(), QStringLiteral("NONAME1"));
    QCOMPARE(p.chip().width(), w);
    QCOMPARE(p.chip().height(), h);
    QVERIFY(allWhite(p.chip()));
    QCOMPARE(c.getZoom(), 1);
    QCOMPARE(p.panel0(), QStringLiteral("×1"));
    QCOMPARE(p.panel1(), QString());
    QCOMPARE(p.front()->size(), QSize(w, h));
    QCOMPARE(p.painted().width(), w);
    QCOMPARE(p.undoCount(), size_t(1));
    QCOMPARE(p.undoIndex(), 0);
    QVERIFY(!c.CanUndo());
    QVERIFY(!c.CanRedo());
    // Nothing on an empty chip may crash: every operation of the view runs on it.
    c.setZoom(16);
    c.ShowCursorPos(0, 0);
    QCOMPARE(p.panel1(), (w > 0 && h > 0) ? QStringLiteral("(0,0)") : QString());
    c.RenderView();
}

void ChipDocumentTest::loadCutsThePictureTo256_data()
{
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::addColumn<int>("chipW");
    QTest::addColumn<int>("chipH");
    QTest::newRow("300x200") << 300 << 200 << 256 << 200;
    QTest::newRow("16x16") << 16 << 16 << 16 << 16;
    QTest::newRow("100x400") << 100 << 400 << 100 << 256;
}

void ChipDocumentTest::loadCutsThePictureTo256()
{
    QFETCH(int, w);
    QFETCH(int, h);
    QFETCH(int, chipW);
    QFETCH(int, chipH);
    QTemporaryDir dir;
    const QString path = dir.filePath("picture.bmp");
    const Bitmap picture = pattern(w, h);
    WriteBmpFile(path, picture);

    TMDIChild c;
    c.NewChip(path, 256, 256);
    c.setZoom(3);
    c.LoadFromFile(path);
    ChildwinProbe p(c);
    QCOMPARE(c.windowTitle(), path);
    QCOMPARE(p.chip().width(), chipW);
    QCOMPARE(p.chip().height(), chipH);
    for (int y = 0; y < chipH; ++y)
        for (int x = 0; x < chipW; ++x)
            QCOMPARE(p.chip().pixel(x, y), picture.pixel(x, y));
    QCOMPARE(c.getZoom(), 1);
    QCOMPARE(c.sizeHint(), QSize(chipW, chipH)); // the client area follows the chip
    QCOMPARE(p.undoCount(), size_t(2));
    QCOMPARE(p.undoIndex(), 1);
}

void ChipDocumentTest::failedLoadLeavesTheWindowAsItWas()
{
    QTemporaryDir dir;
    QFile png(dir.filePath("looks.bmp"));
    QVERIFY(png.open(QIODevice::WriteOnly));
    QImage(8, 8, QImage::Format_RGB32).save(&png, "PNG");
    png.close();
    // A named pipe would hold the program until someone wrote to it.
    const NamedPipe pipe(dir.path());
    QVERIFY(!pipe.path().isEmpty());
    for (const QString& path : {png.fileName(), dir.filePath("missing.bmp"), pipe.path()}) {
        TMDIChild c;
        c.NewChip(path, 256, 256);
        c.setZoom(2);
        c.LoadFromFile(path);
        ChildwinProbe p(c);
        QCOMPARE(c.windowTitle(), path);
        QCOMPARE(p.chip().width(), 256);
        QVERIFY(allWhite(p.chip()));
        QCOMPARE(c.getZoom(), 2);
        QCOMPARE(p.undoCount(), size_t(1));
    }
}

void ChipDocumentTest::undoAfterOpenShowsTheBlankChip()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("small.bmp");
    WriteBmpFile(path, pattern(16, 16));
    TMDIChild c;
    c.NewChip(path, 256, 256);
    c.LoadFromFile(path);
    ChildwinProbe p(c);
    const QSize windowSize = c.sizeHint();
    c.Undo();
    QCOMPARE(p.chip().width(), 256);
    QVERIFY(allWhite(p.chip()));
    QCOMPARE(p.painted().width(), 256); // the view follows the chip...
    QCOMPARE(c.sizeHint(), windowSize); // ...the window does not
    c.Redo();
    QVERIFY(p.chip() == pattern(16, 16));
}

void ChipDocumentTest::saveKeepsCaptionAndHistory()
{
    QTemporaryDir dir;
    TMDIChild c;
    c.NewChip("NONAME1", 4, 3);
    edit(c, 1, 1, RGBColor(10, 20, 30));
    c.SaveToFile(dir.filePath("saved.bmp"));
    ChildwinProbe p(c);
    QCOMPARE(c.windowTitle(), QStringLiteral("NONAME1"));
    QCOMPARE(p.undoCount(), size_t(2));
    Bitmap loaded;
    QVERIFY(ReadBmpFile(dir.filePath("saved.bmp"), loaded, kMaxChipSide, kMaxChipSide));
    QVERIFY(loaded == p.chip());
}

void ChipDocumentTest::saveToAnUnwritablePlaceRaises()
{
    QTemporaryDir dir;
    TMDIChild c;
    c.NewChip("NONAME1", 4, 3);
    const QString path = dir.filePath("missing/folder/x.bmp");
    QVERIFY_THROWS_EXCEPTION(EMarloError, c.SaveToFile(path));
    QCOMPARE(ChildwinProbe(c).undoCount(), size_t(1));
}

void ChipDocumentTest::toolChangeIsRefusedWhileAButtonIsHeld()
{
    TMDIChild c;
    c.NewChip("NONAME1", 8, 8);
    ChildwinProbe p(c);
    p.dragging() = true;
    c.ChangeTool(ToolMask);
    QCOMPARE(ToolData->FTool, ToolPen);
    p.dragging() = false;
    ToolData->FBusy = true; // an operation elsewhere that is not a pending move
    c.ChangeTool(ToolMask);
    QCOMPARE(ToolData->FTool, ToolPen);
    ToolData->FBusy = false;
    c.ChangeTool(ToolMask);
    QCOMPARE(ToolData->FTool, ToolMask);
}

void ChipDocumentTest::toolChangeKeepsTheSelectionOnlyForTheMoveTool_data()
{
    QTest::addColumn<int>("tool");
    QTest::addColumn<bool>("keeps");
    QTest::newRow("move") << int(ToolMove) << true;
    QTest::newRow("pen") << int(ToolPen) << false;
    QTest::newRow("mask") << int(ToolMask) << false;
}

void ChipDocumentTest::toolChangeKeepsTheSelectionOnlyForTheMoveTool()
{
    QFETCH(int, tool);
    QFETCH(bool, keeps);
    TMDIChild c;
    c.NewChip("NONAME1", 8, 8);
    ChildwinProbe p(c);
    p.selected() = true;
    p.selRect() = TRect{1, 1, 3, 3};
    c.RenderView();
    QCOMPARE(p.painted().pixel(1, 1), ClrBlack);
    ToolData->FFloating = true;
    c.ChangeTool(uint8_t(tool));
    QCOMPARE(ToolData->FTool, uint8_t(tool));
    QCOMPARE(p.selected(), keeps);
    QCOMPARE(p.painted().pixel(1, 1), keeps ? ClrBlack : ClrWhite); // the frame goes with it
    QVERIFY(!ToolData->FFloating);
}

void ChipDocumentTest::closingWithAnOperationUnderwayFreesTheToolState()
{
    auto* c = new TMDIChild;
    c->NewChip("NONAME1", 8, 8);
    c->FFrontImgMouseDown(TMouseButton::mbLeft, ssLeft, 2, 2);
    QVERIFY(ToolData->FBusy);
    delete c;
    QVERIFY(!ToolData->FBusy);
    QVERIFY(!ToolData->FFloating);
    TMDIChild other;
    other.NewChip("NONAME2", 8, 8);
    edit(other, 0, 0, ClrBlack);
    QVERIFY(other.CanUndo());
}

void ChipDocumentTest::zoomIsClampedAndShown_data()
{
    QTest::addColumn<int>("asked");
    QTest::addColumn<int>("zoom");
    QTest::newRow("0") << 0 << 1;
    QTest::newRow("-5") << -5 << 1;
    QTest::newRow("1") << 1 << 1;
    QTest::newRow("7") << 7 << 7;
    QTest::newRow("16") << 16 << 16;
    QTest::newRow("17") << 17 << 16;
    QTest::newRow("INT_MAX") << INT32_MAX << 16;
}

void ChipDocumentTest::zoomIsClampedAndShown()
{
    QFETCH(int, asked);
    QFETCH(int, zoom);
    TMDIChild c;
    c.NewChip("NONAME1", 10, 6);
    c.setZoom(asked);
    ChildwinProbe p(c);
    QCOMPARE(c.getZoom(), zoom);
    QCOMPARE(p.panel0(), QStringLiteral("×%1").arg(zoom));
    QCOMPARE(p.front()->size(), QSize(10 * zoom, 6 * zoom));
    QCOMPARE(c.sizeHint(), QSize(10, 6)); // the window keeps its size
}

void ChipDocumentTest::viewIsTheChipStretched_data()
{
    QTest::addColumn<int>("zoom");
    QTest::addColumn<QPoint>("scroll");
    QTest::addColumn<bool>("selected");
    QTest::addColumn<TRect>("sel");
    QTest::addColumn<int>("pixelRatio");
    QTest::addColumn<bool>("dark"); // the interface in a dark colour scheme
    QTest::addColumn<bool>("seeThrough"); // pixels of every alpha, over the checkerboard
    const QPoint far(INT_MAX, INT_MAX); // scrolled to the end
    QTest::newRow("zoom 1") << 1 << QPoint() << false << TRect{} << 1 << false << false;
    QTest::newRow("zoom 3, scrolled, inner block") << 3 << QPoint(17, 9) << true << TRect{1, 2, 4, 5} << 1 << false
                                                   << false;
    QTest::newRow("zoom 7, block at the right and bottom edges") << 7 << far << true << TRect{20, 10, 40, 30} << 1
                                                                 << false << false;
    QTest::newRow("zoom 16, whole chip, scrolled to the middle") << 16 << QPoint(301, 207) << true
                                                                 << TRect{0, 0, 40, 30} << 1 << false << false;
    QTest::newRow("zoom 5, one pixel selected") << 5 << QPoint(0, 33) << true << TRect{39, 0, 40, 1} << 1 << false
                                                << false;
    QTest::newRow("zoom 1, device pixel ratio 2") << 1 << QPoint() << true << TRect{2, 3, 9, 8} << 2 << false << false;
    QTest::newRow("zoom 4, device pixel ratio 2") << 4 << QPoint() << true << TRect{30, 20, 40, 30} << 2 << false
                                                  << false;
    QTest::newRow("zoom 6, dark scheme") << 6 << QPoint(9, 9) << true << TRect{3, 4, 12, 10} << 1 << true << false;
    QTest::newRow("zoom 1, see-through") << 1 << QPoint() << false << TRect{} << 1 << false << true;
    QTest::newRow("zoom 5, see-through, scrolled") << 5 << QPoint(13, 7) << true << TRect{1, 2, 9, 6} << 1 << false
                                                   << true;
    QTest::newRow("zoom 3, see-through, device pixel ratio 2") << 3 << QPoint() << false << TRect{} << 2 << false
                                                               << true;
}

// What the control paints, and what a shown window has on screen after scrolling, is the chip
// enlarged with the frame on top, pixel for pixel, whatever the colour scheme, see-through pixels
// over a checkerboard of light greys fixed to the view; at a device pixel ratio of 2 every view
// pixel is a crisp 2 by 2 block.
void ChipDocumentTest::viewIsTheChipStretched()
{
    QFETCH(int, zoom);
    QFETCH(QPoint, scroll);
    QFETCH(bool, selected);
    QFETCH(TRect, sel);
    QFETCH(int, pixelRatio);
    QFETCH(bool, dark);
    QFETCH(bool, seeThrough);
    TMDIChild c;
    if (dark) // as Windows 11's dark scheme colours Qt's windows11 style
        c.setPalette(QPalette(QColor(0x2d, 0x2d, 0x2d), QColor(0x20, 0x20, 0x20)));
    c.NewChip("NONAME1", 40, 30);
    ChildwinProbe p(c);
    p.chip().assign(pattern(40, 30));
    for (int i = 0; seeThrough && i < 40 * 30; ++i) {
        const QRgb alpha = QRgb(i % 3 == 0 ? 0 : i * 7 % 256) << 24;
        p.chip().setArgb(i % 40, i / 40, (p.chip().argb(i % 40, i / 40) & 0xFFFFFFu) | alpha);
    }
    p.selected() = selected;
    p.selRect() = sel;
    c.setZoom(zoom);
    c.resize(170, 130);
    c.show();
    QVERIFY(QTest::qWaitForWindowExposed(&c));
    p.scrollBox()->horizontalScrollBar()->setValue(scroll.x());
    p.scrollBox()->verticalScrollBar()->setValue(scroll.y());
    QCoreApplication::processEvents(); // what the scroll uncovers is painted

    const Bitmap expected = ReferenceView(p.chip(), zoom, selected ? std::optional<TRect>(sel) : std::nullopt);
    QCOMPARE(p.front()->size(), QSize(40 * zoom, 30 * zoom));
    const Bitmap painted = p.painted(pixelRatio);
    const QString paintedDifference = FirstDifference(painted, ReferenceView(expected, pixelRatio, std::nullopt));
    QVERIFY2(paintedDifference.isEmpty(), qPrintable(paintedDifference));
    QCOMPARE(painted.width(), 40 * zoom * pixelRatio);
    if (seeThrough && zoom == 1 && pixelRatio == 1) {
        // Chip pixel (0, 0) is transparent, (9, 0) too: the two greys, never the colour kept under them.
        QCOMPARE(painted.argb(0, 0), 0xFFEEEEEEu);
        QCOMPARE(painted.argb(9, 0), 0xFFCCCCCCu);
    }

    // Then a small scroll, which moves what is on screen and paints only the strips it uncovers:
    // they start inside a view pixel.
    for (const QPoint by : {QPoint(0, 0), QPoint(-5, -3)}) {
        QScrollBar* h = p.scrollBox()->horizontalScrollBar();
        QScrollBar* v = p.scrollBox()->verticalScrollBar();
        h->setValue(h->value() + by.x());
        v->setValue(v->value() + by.y());
        QCoreApplication::processEvents();
        const ChildwinProbe::Shown shown = p.shown();
        QCOMPARE(shown.area.topLeft(), QPoint(h->value(), v->value()));
        QVERIFY(!shown.area.isEmpty());
        QCOMPARE(shown.pixels.width(), shown.area.width());
        QCOMPARE(shown.pixels.height(), shown.area.height());
        const QString shownDifference = FirstDifference(shown.pixels, expected, shown.area.topLeft());
        QVERIFY2(shownDifference.isEmpty(), qPrintable(shownDifference));
    }
}

void ChipDocumentTest::cursorPositionTruncatesTowardZero_data()
{
    QTest::addColumn<int>("zoom");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<QString>("shown");
    QTest::newRow("zoom 4 inside") << 4 << 7 << 13 << "(1,3)";
    QTest::newRow("zoom 4 left of the view") << 4 << -3 << 5 << "(0,1)";
    QTest::newRow("zoom 2 right edge") << 2 << 64 << 0 << "";
    QTest::newRow("zoom 2 last column") << 2 << 63 << 63 << "(31,31)";
    QTest::newRow("zoom 1 far outside") << 1 << -40 << 5 << "";
    QTest::newRow("zoom 16 huge") << 16 << INT32_MAX << INT32_MIN << "";
}

void ChipDocumentTest::cursorPositionTruncatesTowardZero()
{
    QFETCH(int, zoom);
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(QString, shown);
    TMDIChild c;
    c.NewChip("NONAME1", 32, 32);
    c.setZoom(zoom);
    c.ShowCursorPos(x, y);
    QCOMPARE(ChildwinProbe(c).panel1(), shown);
}

void ChipDocumentTest::selectionFrameIsAClosedOutline_data()
{
    QTest::addColumn<TRect>("sel");
    QTest::addColumn<int>("zoom");
    QTest::newRow("inside zoom 1") << TRect{1, 2, 4, 5} << 1;
    QTest::newRow("inside zoom 3") << TRect{1, 2, 4, 5} << 3;
    QTest::newRow("whole chip") << TRect{0, 0, 8, 8} << 2;
    QTest::newRow("right edge") << TRect{5, 0, 8, 3} << 1;
}

void ChipDocumentTest::selectionFrameIsAClosedOutline()
{
    QFETCH(TRect, sel);
    QFETCH(int, zoom);
    TMDIChild c;
    c.NewChip("NONAME1", 8, 8);
    ChildwinProbe p(c);
    p.selected() = true;
    p.selRect() = sel;
    c.setZoom(zoom);
    const int l = sel.Left * zoom, t = sel.Top * zoom, r = sel.Right * zoom, b = sel.Bottom * zoom;
    for (int y = 0; y < 8 * zoom; ++y)
        for (int x = 0; x < 8 * zoom; ++x) {
            const bool onVertical = (x == l || x == r) && y >= t && y <= b;
            const bool onHorizontal = (y == t || y == b) && x >= l && x <= r;
            QCOMPARE(p.painted().pixel(x, y), (onVertical || onHorizontal) ? ClrBlack : ClrWhite);
        }
}

void ChipDocumentTest::historyIsCappedAtTwenty()
{
    TMDIChild c;
    c.NewChip("NONAME1", 32, 32);
    for (int i = 0; i < 25; ++i)
        edit(c, i, 0, ClrBlack);
    ChildwinProbe p(c);
    QCOMPARE(p.undoCount(), size_t(20));
    QCOMPARE(p.undoIndex(), 19);
    int undos = 0;
    while (c.CanUndo()) {
        c.Undo();
        ++undos;
    }
    QCOMPARE(undos, 19);
    // The blank chip fell out of the history: the oldest left has the first six pixels painted.
    for (int x = 0; x < 6; ++x)
        QCOMPARE(p.chip().pixel(x, 0), ClrBlack);
    QCOMPARE(p.chip().pixel(6, 0), ClrWhite);
}

void ChipDocumentTest::trimmingComesBeforeTheRedoBranchIsDropped()
{
    TMDIChild c;
    c.NewChip("NONAME1", 32, 32);
    for (int i = 0; i < 19; ++i)
        edit(c, i, 0, ClrBlack);
    ChildwinProbe p(c);
    QCOMPARE(p.undoCount(), size_t(20));
    for (int i = 0; i < 9; ++i)
        c.Undo();
    QCOMPARE(p.undoIndex(), 10);
    edit(c, 31, 31, ClrBlack);
    QCOMPARE(p.undoCount(), size_t(11));
    QCOMPARE(p.undoIndex(), 10);
    QVERIFY(!c.CanRedo());
}

void ChipDocumentTest::undoAndRedoWalkTheHistory()
{
    TMDIChild c;
    c.NewChip("NONAME1", 4, 4);
    edit(c, 1, 1, ClrBlack);
    ChildwinProbe p(c);
    QCOMPARE(p.undoCount(), size_t(2));
    QVERIFY(c.CanUndo());
    QVERIFY(!c.CanRedo());
    c.Undo();
    QVERIFY(allWhite(p.chip()));
    QCOMPARE(p.painted().pixel(1, 1), ClrWhite);
    QVERIFY(c.CanRedo());
    QVERIFY(!c.CanUndo());
    c.Undo(); // nothing older: no change, no crash
    QCOMPARE(p.undoIndex(), 0);
    c.Redo();
    QCOMPARE(p.chip().pixel(1, 1), ClrBlack);
    QCOMPARE(p.painted().pixel(1, 1), ClrBlack);
    c.Redo();
    QCOMPARE(p.undoIndex(), 1);
}

void ChipDocumentTest::newEditDropsTheRedoBranch()
{
    TMDIChild c;
    c.NewChip("NONAME1", 4, 4);
    edit(c, 0, 0, ClrBlack);
    edit(c, 1, 0, ClrBlack);
    c.Undo();
    c.Undo();
    edit(c, 3, 3, ClrBlack);
    ChildwinProbe p(c);
    QCOMPARE(p.undoCount(), size_t(2));
    QVERIFY(!c.CanRedo());
    c.Undo();
    QVERIFY(allWhite(p.chip()));
}

void ChipDocumentTest::undoAndRedoAreOffWhileBusy()
{
    TMDIChild c;
    c.NewChip("NONAME1", 4, 4);
    edit(c, 0, 0, ClrBlack);
    c.Undo();
    ToolData->FBusy = true;
    QVERIFY(!c.CanUndo());
    QVERIFY(!c.CanRedo());
    c.Redo();
    QCOMPARE(ChildwinProbe(c).chip().pixel(0, 0), ClrWhite);
}

void ChipDocumentTest::undoKeepsSelectionZoomAndWindowSize()
{
    TMDIChild c;
    c.NewChip("NONAME1", 8, 8);
    edit(c, 0, 0, ClrBlack);
    ChildwinProbe p(c);
    p.selected() = true;
    p.selRect() = TRect{1, 1, 3, 3};
    c.setZoom(2);
    c.Undo();
    QVERIFY(p.selected());
    QCOMPARE(p.selRect(), (TRect{1, 1, 3, 3}));
    QCOMPARE(c.getZoom(), 2);
    QCOMPARE(p.painted().pixel(2, 2), ClrBlack); // the frame is drawn again
    QCOMPARE(c.sizeHint(), QSize(8, 8));
}

void ChipDocumentTest::lostSnapshotIsReportedAndRepaired()
{
    TMDIChild c;
    c.NewChip("NONAME1", 4, 4);
    edit(c, 0, 0, ClrBlack);
    edit(c, 1, 0, ClrBlack);
    ChildwinProbe p(c);
    p.undoIndex() = 3; // as after a snapshot that could not be made
    MessageBoxCatcher boxes;
    c.Undo();
    QCOMPARE(boxes.boxes().size(), 1);
    QCOMPARE(boxes.boxes()[0].title, QStringLiteral("エラー"));
    QCOMPARE(boxes.boxes()[0].text, QStringLiteral("Undoのつじつまがあいません"));
    QCOMPARE(boxes.boxes()[0].icon, int(QMessageBox::Critical));
    QCOMPARE(boxes.boxes()[0].buttons, QStringList{"OK"});
    QCOMPARE(p.undoIndex(), 1);
    QCOMPARE(p.chip().pixel(0, 0), ClrBlack);
    QCOMPARE(p.chip().pixel(1, 0), ClrWhite);
}

void ChipDocumentTest::lostSnapshotWithASingleSnapshotNeverReadsBeforeTheFirst()
{
    TMDIChild c;
    c.NewChip("NONAME1", 4, 4);
    ChildwinProbe p(c);
    p.chip().setPixel(0, 0, ClrBlack);
    p.undoIndex() = 1;
    MessageBoxCatcher boxes;
    c.Undo();
    QCOMPARE(boxes.boxes().size(), 1);
    QCOMPARE(p.undoIndex(), 0);
    QCOMPARE(p.chip().pixel(0, 0), ClrBlack);
}

QTEST_MAIN(ChipDocumentTest)
#include "test_chipdocument.moc"
