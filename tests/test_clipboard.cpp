// SPDX-License-Identifier: MIT
// Copy and paste through the clipboard: what goes out, where a pasted picture lands, and the
// floating move that follows a paste.
#include <QtTest>

#include <QClipboard>
#include <QImageReader>
#include <QMimeData>
#include <memory>

#include "TestSupport.h"
#include "document/ChipHost.h"
#include "pictures/BmpWriter.h"
#include "pictures/Errors.h"
#include "pictures/PictureData.h"
#include "tools/UEditerData.h"

namespace {

// A picture unlike any chip: its colours say where each pixel came from.
QImage sourcePicture(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x)
            row[x] = qRgb(255 - x % 256, 7, y % 256);
    }
    return image;
}

// A picture as another program offers it: bytes in one or more formats.
using Offer = QList<std::pair<QString, QByteArray>>;

void offer(const Offer& formats)
{
    auto* data = new QMimeData;
    for (const auto& [format, bytes] : formats)
        data->setData(format, bytes);
    QGuiApplication::clipboard()->setMimeData(data);
}

quint32 pngCrc(const QByteArray& bytes)
{
    quint32 c = 0xFFFFFFFFu;
    for (const char b : bytes) {
        c ^= uchar(b);
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

QByteArray pngChunk(const char* type, const QByteArray& body)
{
    QByteArray chunk(4, '\0');
    qToBigEndian<quint32>(quint32(body.size()), chunk.data());
    const QByteArray typed = type + body;
    QByteArray crc(4, '\0');
    qToBigEndian<quint32>(pngCrc(typed), crc.data());
    return chunk + typed + crc;
}

// A PNG made by hand from its rows of samples, each row led by its filter byte: large pictures
// are made fast, compressed at the lowest level.
QByteArray handMadePng(int w, int h, char bitDepth, char colourType, const QByteArray& rows)
{
    QByteArray header(13, '\0');
    qToBigEndian<quint32>(quint32(w), header.data());
    qToBigEndian<quint32>(quint32(h), header.data() + 4);
    header[8] = bitDepth;
    header[9] = colourType;
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) +
           pngChunk("IDAT", qCompress(rows, 1).mid(4)) + pngChunk("IEND", {});
}

// A screenshot of a size Qt's own limit refuses, yet no rare one: one colour, with the source
// picture's colours in its top-left 64 by 64.
QByteArray largePng(int w, int h)
{
    const qsizetype rowBytes = 1 + 3 * qsizetype(w);
    QByteArray row(rowBytes, '\0');
    for (qsizetype i = 1; i < rowBytes; i += 3) {
        row[i] = 10;
        row[i + 1] = 20;
        row[i + 2] = 30;
    }
    QByteArray rows(rowBytes * h, Qt::Uninitialized);
    const QImage corner = sourcePicture(64, 64);
    for (int y = 0; y < h; ++y) {
        char* r = rows.data() + y * rowBytes;
        std::copy_n(row.constData(), rowBytes, r);
        for (int x = 0; y < 64 && x < 64; ++x) {
            const QRgb c = corner.pixel(x, y);
            r[1 + 3 * x] = char(qRed(c));
            r[2 + 3 * x] = char(qGreen(c));
            r[3 + 3 * x] = char(qBlue(c));
        }
    }
    return handMadePng(w, h, 8, 2, rows);
}

// A valid black 1-bit PNG, side pixels square: small to hold, beyond any screen to show.
QByteArray blackPng(int side)
{
    return handMadePng(side, side, 1, 0, QByteArray(qsizetype(side) * (1 + (side + 7) / 8), '\0'));
}

// Stands in for the main window: its move-tool command reaches the chip window.
class FakeHost : public TChipHost {
public:
    explicit FakeHost(TMDIChild& c) : child(c) { SetChipHost(this); }
    ~FakeHost() override { SetChipHost(nullptr); }
    void UpdateFromToolData() override {}
    void ChangeToolMove() override
    {
        ++moveCommands;
        child.ChangeTool(ToolMove);
    }
    TMDIChild& child;
    int moveCommands = 0;
};

} // namespace

// Found by QCOMPARE through argument-dependent lookup, so failures show the rectangle.
char* toString(const TRect& r)
{
    return qstrdup(QStringLiteral("TRect(%1, %2, %3, %4)").arg(r.Left).arg(r.Top).arg(r.Right).arg(r.Bottom).toUtf8());
}

class ClipboardTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        ResetToolData();
        QGuiApplication::clipboard()->clear();
    }

    void copyTakesTheSelectionOrTheWholeChip_data();
    void copyTakesTheSelectionOrTheWholeChip();
    void pasteStampsTheTopLeftCornerCutToTheChip_data();
    void pasteStampsTheTopLeftCornerCutToTheChip();
    void dragAfterPasteUncoversTheChipAsItWas();
    void pasteWithoutAMoveTakesNoSnapshot_data();
    void pasteWithoutAMoveTakesNoSnapshot();
    void undoAfterAPasteIsNotRevertedByTheNextDrag_data();
    void undoAfterAPasteIsNotRevertedByTheNextDrag();
    void nothingHappensWhileAnOperationIsUnderWay_data();
    void nothingHappensWhileAnOperationIsUnderWay();
    void pasteWithoutAPictureDoesNothing();
    void offeredFormatsAreTakenInOrderOfPreference_data();
    void offeredFormatsAreTakenInOrderOfPreference();
    void unreadablePicturesEndThePasteWithAnError_data();
    void unreadablePicturesEndThePasteWithAnError();
    void pasteRunsTheMainWindowsMoveCommand();
    void picturesPasteWithTheirAlpha_data();
    void picturesPasteWithTheirAlpha();
    void copyInOneChipPastesInAnother();
};

void ClipboardTest::copyTakesTheSelectionOrTheWholeChip_data()
{
    QTest::addColumn<bool>("selected");
    QTest::addColumn<QRect>("selection"); // Left, Top, width, height
    QTest::addColumn<QRect>("expected");  // the chip block that must arrive on the clipboard
    QTest::addColumn<bool>("alpha");      // the chip has pixels of every alpha, which go out with it
    QTest::newRow("no selection") << false << QRect() << QRect(0, 0, 16, 12) << false;
    QTest::newRow("block 2,3 to 6,5") << true << QRect(2, 3, 4, 2) << QRect(2, 3, 4, 2) << false;
    QTest::newRow("one pixel") << true << QRect(15, 11, 1, 1) << QRect(15, 11, 1, 1) << false;
    // Left over from a larger chip (an undo can change the chip's size): the selection's size,
    // white where the chip has no pixels.
    QTest::newRow("reaching past the chip") << true << QRect(10, 8, 100, 100) << QRect(10, 8, 100, 100) << false;
    QTest::newRow("no selection, with alpha") << false << QRect() << QRect(0, 0, 16, 12) << true;
    QTest::newRow("block with alpha") << true << QRect(2, 3, 4, 2) << QRect(2, 3, 4, 2) << true;
}

void ClipboardTest::copyTakesTheSelectionOrTheWholeChip()
{
    QFETCH(bool, selected);
    QFETCH(QRect, selection);
    QFETCH(QRect, expected);
    QFETCH(bool, alpha);
    auto c = MakeChip(16, 12, 1, ChipFill::Numbered, true);
    ChildwinProbe p(*c);
    for (int i = 0; alpha && i < 16 * 12; ++i)
        p.chip().setArgb(i % 16, i / 16, (p.chip().argb(i % 16, i / 16) & 0xFFFFFFu) | QRgb(i * 11 % 256) << 24);
    const Bitmap before = p.chip();
    p.selected() = selected;
    p.selRect() = TRect{selection.left(), selection.top(), selection.left() + selection.width(),
                        selection.top() + selection.height()};
    c->CopyToClipboard();
    const QImage copied = QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(copied.size(), expected.size());
    for (int y = 0; y < copied.height(); ++y)
        for (int x = 0; x < copied.width(); ++x) {
            const QPoint at = expected.topLeft() + QPoint(x, y);
            const QRgb chipPixel = p.chip().contains(at.x(), at.y()) ? p.chip().argb(at.x(), at.y()) : ColorToQRgb(ClrWhite);
            QCOMPARE(copied.pixel(x, y), chipPixel);
        }
    QCOMPARE(p.chip(), before); // cut runs the copy too; the chip stays as it is
}

void ClipboardTest::pasteStampsTheTopLeftCornerCutToTheChip_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QSize>("chip");
    QTest::newRow("100x50 into 32x32") << QSize(100, 50) << QSize(32, 32);
    QTest::newRow("10x8 into 32x32") << QSize(10, 8) << QSize(32, 32);
    QTest::newRow("10x6 into 16x16") << QSize(10, 6) << QSize(16, 16);
    QTest::newRow("wide and short") << QSize(300, 3) << QSize(16, 16);
    QTest::newRow("4000x3000 into 1x1") << QSize(4000, 3000) << QSize(1, 1);
    QTest::newRow("into a chip without pixels") << QSize(5, 5) << QSize(0, 4);
}

void ClipboardTest::pasteStampsTheTopLeftCornerCutToTheChip()
{
    QFETCH(QSize, picture);
    QFETCH(QSize, chip);
    auto c = MakeChip(chip.width(), chip.height(), 2, ChipFill::Numbered, true);
    ChildwinProbe p(*c);
    const Bitmap before = p.chip();
    const size_t snapshots = p.undoCount();
    const QImage source = sourcePicture(picture.width(), picture.height());
    QGuiApplication::clipboard()->setImage(source);
    c->PasteFromClipboard();

    const QString mismatch = PasteMismatch(p.chip(), source, before);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    QVERIFY(p.selected());
    const int w = std::min(picture.width(), chip.width()), h = std::min(picture.height(), chip.height());
    QCOMPARE(p.selRect(), (TRect{0, 0, w, h}));
    QCOMPARE(ToolData->FTool, ToolMove);
    QVERIFY(ToolData->FFloating);
    QVERIFY(!ToolData->FBusy);
    QCOMPARE(p.back(), before);
    QCOMPARE(p.floating().width(), w);
    QCOMPARE(p.floating().height(), h);
    QCOMPARE(p.undoCount(), snapshots);
    // The view shows the pasted picture at once.
    if (w > 0 && h > 0)
        QCOMPARE(p.painted().pixel(3, 3), p.chip().pixel(1, 1));
    VERIFY_VIEW_SHOWS_CHIP(*c);
}

void ClipboardTest::dragAfterPasteUncoversTheChipAsItWas()
{
    auto c = MakeChip(32, 32, 2, ChipFill::Numbered, true);
    ChildwinProbe p(*c);
    p.chip().setPixel(3, 2, ClrBlack); // the last pen stroke, never recorded by a snapshot
    const Bitmap before = p.chip();
    const size_t snapshots = p.undoCount();
    const QImage source = sourcePicture(10, 8);
    QGuiApplication::clipboard()->setImage(source);
    c->PasteFromClipboard();

    Drag(*c, QPoint(5, 5), {QPoint(5 + 2 * 12, 5 + 2 * 9)}); // by (12, 9)
    QVERIFY(ToolData->FBusy);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const bool inPicture = x >= 12 && x < 22 && y >= 9 && y < 17;
            const TColor expected = inPicture ? QRgbToColor(source.pixel(x - 12, y - 9)) : before.pixel(x, y);
            QCOMPARE(p.chip().pixel(x, y), expected);
        }
    QCOMPARE(p.selRect(), (TRect{0, 0, 10, 8}));
    const Bitmap shown = p.chip();
    c->ConfirmTool();
    QCOMPARE(p.chip(), shown);
    QCOMPARE(p.undoCount(), snapshots + 1);
    QCOMPARE(p.undoBitmap(p.undoCount() - 1), shown);
    QVERIFY(!ToolData->FFloating);

    // A move after the commit takes the chip as it now is, not the pasted picture.
    Drag(*c, QPoint(5, 5), {QPoint(7, 5)});
    QCOMPARE(p.back(), shown);
    c->ConfirmTool();
}

void ClipboardTest::pasteWithoutAMoveTakesNoSnapshot_data()
{
    QTest::addColumn<QString>("trigger");
    QTest::newRow("confirm") << "confirm";
    QTest::newRow("change to the pen") << "pen";
    QTest::newRow("another window becomes current") << "deactivate";
}

void ClipboardTest::pasteWithoutAMoveTakesNoSnapshot()
{
    QFETCH(QString, trigger);
    auto c = MakeChip(16, 16, 1, ChipFill::Numbered, true);
    ChildwinProbe p(*c);
    const Bitmap older = p.undoBitmap(p.undoCount() - 2);
    const size_t snapshots = p.undoCount();
    QGuiApplication::clipboard()->setImage(sourcePicture(4, 4));
    c->PasteFromClipboard();
    const Bitmap pasted = p.chip();
    if (trigger == "confirm")
        c->ConfirmTool();
    else if (trigger == "pen")
        c->ChangeTool(ToolPen);
    else
        c->FormDeactivate();
    QCOMPARE(p.undoCount(), snapshots);
    QCOMPARE(p.chip(), pasted);
    // Only a confirm or a tool change drops the paste; in a window that is no longer current it
    // waits to be dragged when the user comes back.
    QCOMPARE(ToolData->FFloating, trigger == "deactivate");
    QVERIFY(!ToolData->FBusy);
    // The next undo goes past the paste and the last recorded step together.
    QVERIFY(c->CanUndo());
    c->Undo();
    QCOMPARE(p.chip(), older);
}

void ClipboardTest::undoAfterAPasteIsNotRevertedByTheNextDrag_data()
{
    QTest::addColumn<bool>("redo");
    QTest::newRow("undo") << false;
    QTest::newRow("redo") << true;
}

// The pasted picture floats over the chip as it was before the paste. After an undo or redo the
// chip is another picture: a drag must move a block of that picture, not bring the paste and the
// undone step back.
void ClipboardTest::undoAfterAPasteIsNotRevertedByTheNextDrag()
{
    QFETCH(bool, redo);
    auto c = MakeChip(16, 16, 1, ChipFill::Numbered, true);
    ChildwinProbe p(*c);
    p.chip().fillRect(TRect{8, 8, 12, 12}, ClrBlack);
    c->PushUndo();
    if (redo)
        c->Undo();
    QGuiApplication::clipboard()->setImage(sourcePicture(5, 4));
    c->PasteFromClipboard();
    if (redo)
        c->Redo();
    else
        c->Undo();
    const Bitmap restored = p.chip();
    QCOMPARE(restored, p.undoBitmap(size_t(p.undoIndex())));
    Drag(*c, QPoint(1, 1), {QPoint(4, 2)});
    Bitmap expected = restored;
    expected.copyRect(3, 1, restored, TRect{0, 0, 5, 4});
    QCOMPARE(p.chip(), expected);
    c->ConfirmTool();
    QCOMPARE(p.chip(), expected);
}

void ClipboardTest::nothingHappensWhileAnOperationIsUnderWay_data()
{
    QTest::addColumn<QString>("operation");
    QTest::newRow("pending move") << "move";
    QTest::newRow("selection drag") << "select";
    QTest::newRow("pen stroke") << "pen";
}

void ClipboardTest::nothingHappensWhileAnOperationIsUnderWay()
{
    QFETCH(QString, operation);
    auto c = MakeChip(16, 16, 1, ChipFill::Numbered, true);
    ChildwinProbe p(*c);
    QImage marker(3, 3, QImage::Format_RGB32);
    marker.fill(qRgb(1, 2, 3));
    QGuiApplication::clipboard()->setImage(marker);

    bool held = false;
    if (operation == "move") {
        c->ChangeTool(ToolMove);
        Drag(*c, QPoint(2, 2), {QPoint(5, 4)});
    } else {
        c->ChangeTool(operation == "select" ? ToolMask : ToolPen);
        Press(*c, QPoint(2, 2));
        Motion(*c, QPoint(4, 4));
        held = true;
    }
    QVERIFY(ToolData->FBusy);
    const Bitmap chip = p.chip();
    const uint8_t tool = ToolData->FTool;
    const bool selected = p.selected();
    const TRect selRect = p.selRect();

    c->CopyToClipboard();
    QCOMPARE(QGuiApplication::clipboard()->image().size(), QSize(3, 3));
    c->PasteFromClipboard();
    QCOMPARE(p.chip(), chip);
    QCOMPARE(ToolData->FTool, tool);
    QCOMPARE(p.selected(), selected);
    QCOMPARE(p.selRect(), selRect);
    QVERIFY(ToolData->FBusy);
    if (held)
        Release(*c, QPoint(4, 4));
}

void ClipboardTest::pasteWithoutAPictureDoesNothing()
{
    auto c = MakeChip(16, 16, 1, ChipFill::Numbered, true);
    ChildwinProbe p(*c);
    const Bitmap before = p.chip();
    QGuiApplication::clipboard()->setText(QStringLiteral("文字だけ"));
    c->PasteFromClipboard();
    QCOMPARE(p.chip(), before);
    QCOMPARE(ToolData->FTool, ToolPen);
    QVERIFY(!ToolData->FFloating);
    QVERIFY(!p.selected());
    QGuiApplication::clipboard()->clear();
    c->PasteFromClipboard();
    QCOMPARE(p.chip(), before);
    QVERIFY(!ToolData->FFloating);
}

// PNG first, then BMP through our own reader, then Qt's other formats; a format that cannot be
// read gives way to the next.
void ClipboardTest::offeredFormatsAreTakenInOrderOfPreference_data()
{
    QTest::addColumn<Offer>("offered");
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<TColor>("corner");
    const auto plain = [](QRgb c) {
        QImage image(3, 2, QImage::Format_RGB32);
        image.fill(c);
        return image;
    };
    const QByteArray red = EncodedPicture(plain(qRgb(255, 0, 0)), "PNG");
    const QByteArray blue = EncodedPicture(plain(qRgb(0, 0, 255)), "BMP");
    const QByteArray green = EncodedPicture(plain(qRgb(0, 255, 0)), "PPM");
    QTest::newRow("png before bmp") << Offer{{"image/bmp", blue}, {"image/png", red}} << QSize(3, 2) << RGBColor(255, 0, 0);
    QTest::newRow("bmp before other types") << Offer{{"image/x-portable-pixmap", green}, {"image/bmp", blue}}
                                            << QSize(3, 2) << RGBColor(0, 0, 255);
    QTest::newRow("other types") << Offer{{"image/x-portable-pixmap", green}} << QSize(3, 2) << RGBColor(0, 255, 0);
    QTest::newRow("bmp read by our reader") << Offer{{"image/bmp", WhiteSixteenBitBmp()}} << QSize(1, 1) << ClrWhite;
    QTest::newRow("bad png gives way to bmp") << Offer{{"image/png", red.left(30)}, {"image/bmp", blue}}
                                              << QSize(3, 2) << RGBColor(0, 0, 255);
    QTest::newRow("8000 x 8000 screenshot") << Offer{{"image/png", largePng(8000, 8000)}} << QSize(8000, 8000)
                                            << QRgbToColor(sourcePicture(1, 1).pixel(0, 0));
}

void ClipboardTest::offeredFormatsAreTakenInOrderOfPreference()
{
    QFETCH(Offer, offered);
    QFETCH(QSize, picture);
    QFETCH(TColor, corner);
    auto c = MakeChip(32, 32, 1, ChipFill::Numbered, true);
    ChildwinProbe p(*c);
    offer(offered);
    c->PasteFromClipboard();
    const int w = std::min(32, picture.width()), h = std::min(32, picture.height());
    QCOMPARE(p.selRect(), (TRect{0, 0, w, h}));
    QCOMPARE(p.chip().pixel(0, 0), corner);
    if (picture.width() > 64) { // the large ones: their corner is the source picture's
        const QImage source = sourcePicture(32, 32);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                QCOMPARE(p.chip().pixel(x, y), QRgbToColor(source.pixel(x, y)));
    }
    QVERIFY(ToolData->FFloating);
}

// Data offered as a picture that cannot be read ends the command with the error report, before
// anything changes.
void ClipboardTest::unreadablePicturesEndThePasteWithAnError_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray png = EncodedPicture(sourcePicture(40, 30), "PNG");
    QByteArray corrupt = png;
    for (qsizetype i = png.size() / 2; i < png.size() / 2 + 16; ++i)
        corrupt[i] = char(~corrupt[i]);
    const QByteArray bmp = EncodedPicture(sourcePicture(40, 30), "BMP");
    QTest::newRow("corrupt png") << "image/png" << corrupt;
    QTest::newRow("truncated png") << "image/png" << png.left(png.size() - 40);
    QTest::newRow("empty png") << "image/png" << QByteArray();
    QTest::newRow("png beyond any screen") << "image/png" << blackPng(16385);
    QTest::newRow("truncated bmp") << "image/bmp" << bmp.left(bmp.size() / 2);
    QTest::newRow("bmp of 30 bytes") << "image/bmp" << HeaderOnlyBmp();
    QTest::newRow("not a bmp") << "image/bmp" << png;
    // Where Qt reads JPEG (a Qt without it takes image/jpeg for no picture at all).
    if (QImageReader::supportedMimeTypes().contains("image/jpeg"))
        QTest::newRow("not a jpeg") << "image/jpeg" << QByteArray("\xff\xd8 not a picture");
}

void ClipboardTest::unreadablePicturesEndThePasteWithAnError()
{
    QFETCH(QString, format);
    QFETCH(QByteArray, bytes);
    auto c = MakeChip(16, 16, 1, ChipFill::Numbered, true);
    ChildwinProbe p(*c);
    const Bitmap before = p.chip();
    offer({{format, bytes}});
    QString error;
    try {
        c->PasteFromClipboard();
    } catch (const EMarloError& e) {
        error = e.message();
    }
    QCOMPARE(error, QStringLiteral("クリップボードの画像を読み込むことができません"));
    QCOMPARE(p.chip(), before);
    QVERIFY(!p.selected());
    QCOMPARE(ToolData->FTool, ToolPen);
    QVERIFY(!ToolData->FFloating);
}

// The paste switches tools through the main window's command, which also refreshes the tool box.
void ClipboardTest::pasteRunsTheMainWindowsMoveCommand()
{
    auto c = MakeChip(16, 16, 1, ChipFill::Numbered, true);
    FakeHost host(*c);
    QGuiApplication::clipboard()->setImage(sourcePicture(5, 5));
    c->PasteFromClipboard();
    QCOMPARE(host.moveCommands, 1);
    QCOMPARE(ToolData->FTool, ToolMove);
    QVERIFY(ToolData->FFloating);
}

// Alpha is dropped: what arrives is each pixel's colour values, not a blend over anything.
void ClipboardTest::picturesPasteWithTheirAlpha_data()
{
    QTest::addColumn<Offer>("offered");
    QTest::addColumn<QList<QRgb>>("pasted");
    QImage image(4, 1, QImage::Format_ARGB32);
    const QList<QRgb> pixels{qRgba(200, 100, 50, 0), qRgba(10, 20, 30, 128), qRgba(255, 255, 255, 1), qRgba(0, 0, 0, 255)};
    for (int x = 0; x < 4; ++x)
        image.setPixel(x, 0, pixels[x]);
    QList<QRgb> opaque;
    for (const QRgb c : pixels)
        opaque << (c | 0xFF000000u);
    QTest::newRow("PNG with alpha") << Offer{{"image/png", EncodedPicture(image, "PNG")}} << pixels;
    QTest::newRow("BMP with alpha's mask") << Offer{{"image/bmp", BmpFileOfDib(DibOfBitmap(Bitmap::fromImage(image)))}}
                                           << pixels;
    QTest::newRow("PNG without alpha") << Offer{{"image/png", EncodedPicture(image.convertToFormat(QImage::Format_RGB32), "PNG")}}
                                       << opaque;
    QTest::newRow("BMP without alpha") << Offer{{"image/bmp", EncodedPicture(image.convertToFormat(QImage::Format_RGB32), "BMP")}}
                                       << opaque;
    QTest::newRow("Qt's image, within the program") << Offer{} << pixels;
}

// A picture keeps the alpha it comes with, whatever its format; one without alpha is opaque.
void ClipboardTest::picturesPasteWithTheirAlpha()
{
    QFETCH(Offer, offered);
    QFETCH(QList<QRgb>, pasted);
    auto c = MakeChip(4, 1, 1, ChipFill::Numbered, true);
    ChildwinProbe p(*c);
    if (offered.isEmpty()) {
        QImage image(4, 1, QImage::Format_ARGB32);
        for (int x = 0; x < 4; ++x)
            image.setPixel(x, 0, pasted[x]);
        auto* data = new QMimeData;
        data->setImageData(image);
        QGuiApplication::clipboard()->setMimeData(data);
    } else {
        offer(offered);
    }
    c->PasteFromClipboard();
    for (int x = 0; x < 4; ++x)
        QCOMPARE(p.chip().argb(x, 0), pasted[x]);
}

void ClipboardTest::copyInOneChipPastesInAnother()
{
    auto a = MakeChip(16, 16, 1, ChipFill::Numbered, true);
    auto b = MakeChip(8, 8, 1, ChipFill::Numbered, true);
    ChildwinProbe pa(*a), pb(*b);
    pb.chip().fill(ClrWhite);
    pa.selected() = true;
    pa.selRect() = TRect{5, 6, 9, 8};
    a->CopyToClipboard();
    b->PasteFromClipboard();
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            QCOMPARE(pb.chip().pixel(x, y), (x < 4 && y < 2) ? pa.chip().pixel(5 + x, 6 + y) : ClrWhite);
    QCOMPARE(pb.selRect(), (TRect{0, 0, 4, 2}));
}

QTEST_MAIN(ClipboardTest)
#include "test_clipboard.moc"
