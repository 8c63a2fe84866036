// SPDX-License-Identifier: MIT
// The clipboard is the system's: pictures go to and come from another program on a real X
// server, or through Wine's bridge between the Windows clipboard and X's. xclip plays the other
// program, in both directions, as image/png.
#include <QtTest>

#include <QClipboard>
#include <QMimeData>
#include <QTemporaryDir>
#include <memory>

#include "TestSupport.h"
#include "pictures/Errors.h"
#include "tools/UEditerData.h"

namespace {

// xclip serving one file until another program takes the clipboard.
std::unique_ptr<X11Tool> serveClipboard(const QString& file, const QString& type = QStringLiteral("image/png"))
{
    return std::make_unique<X11Tool>(QStringLiteral("xclip"),
                                     QStringList{"-selection", "clipboard", "-t", type, "-i", file, "-quiet"});
}

bool clipboardOffersAPicture()
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data && data->hasImage() && !QGuiApplication::clipboard()->ownsClipboard();
}

// Windows names the formats its own way (Wine hands a BMP on as the device-independent bitmap):
// there any picture from another program counts.
bool clipboardOffers(const QString& type)
{
#ifdef Q_OS_WIN
    Q_UNUSED(type);
    return clipboardOffersAPicture();
#else
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data && data->formats().contains(type) && !QGuiApplication::clipboard()->ownsClipboard();
#endif
}

// Whether other programs on the X server are offered the clipboard as that type: Wine hands a
// Windows program's clipboard on to X a moment after the program has set it.
bool xOffers(const QString& type)
{
    X11Tool targets(QStringLiteral("xclip"), {"-selection", "clipboard", "-t", "TARGETS", "-o"});
    return QTest::qWaitFor([&] { return targets.finished(); }, 5000) && targets.output().split('\n').contains(type.toLatin1());
}

} // namespace

class X11ClipboardTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init()
    {
        ResetToolData();
        QGuiApplication::clipboard()->clear();
    }

    void pictureFromAnotherProgramPastes_data();
    void pictureFromAnotherProgramPastes();
    void bytesFromAnotherProgramAreReadOrReported_data();
    void bytesFromAnotherProgramAreReadOrReported();
    void copiedPicturePastesInAnotherProgram_data();
    void copiedPicturePastesInAnotherProgram();
};

void X11ClipboardTest::initTestCase()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb") && QGuiApplication::platformName() != QLatin1String("windows"))
        QSKIP("needs a real X server, or Windows");
    if (!X11Tool::installed(QStringLiteral("xclip")))
        QSKIP("xclip is not installed");
}

void X11ClipboardTest::pictureFromAnotherProgramPastes_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<bool>("alpha");
    QTest::addColumn<QSize>("chip");
    QTest::newRow("opaque, smaller than the chip") << QSize(10, 6) << false << QSize(16, 16);
    QTest::newRow("opaque, larger than the chip") << QSize(300, 200) << false << QSize(32, 32);
    QTest::newRow("translucent") << QSize(8, 4) << true << QSize(16, 16);
}

void X11ClipboardTest::pictureFromAnotherProgramPastes()
{
    QFETCH(QSize, picture);
    QFETCH(bool, alpha);
    QFETCH(QSize, chip);
    QImage source(picture, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            source.setPixel(x, y, qRgba(255 - x % 256, (x * y) % 256, y % 256, alpha ? (x * 37) % 256 : 255));
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("picture.png"));
    QVERIFY(source.save(file, "PNG"));
    QCOMPARE(QImage(file).convertToFormat(source.format()), source);

    auto c = MakeChip(chip.width(), chip.height(), 1, ChipFill::Numbered, true);
    ChildwinProbe p(*c);
    const Bitmap before = p.chip();
    const auto xclip = serveClipboard(file);
    QVERIFY(xclip->started());
    QTRY_VERIFY_WITH_TIMEOUT(clipboardOffersAPicture(), 10000);

    c->PasteFromClipboard();
    const QString mismatch = PasteMismatch(p.chip(), source, before);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    const int w = std::min(picture.width(), chip.width()), h = std::min(picture.height(), chip.height());
    QCOMPARE(p.selRect(), (TRect{0, 0, w, h}));
    QCOMPARE(ToolData->FTool, ToolMove);
    QVERIFY(ToolData->FFloating);
}

// Another program's bytes in one format: our own reader takes a BMP, and what cannot be read is
// reported with the error box's text instead of being ignored.
void X11ClipboardTest::bytesFromAnotherProgramAreReadOrReported_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("readable");
    QImage white(20, 10, QImage::Format_RGB32);
    white.fill(Qt::white);
    const QByteArray png = EncodedPicture(white, "PNG");
    const QByteArray white16 = WhiteSixteenBitBmp();
    QTest::newRow("16-bit bmp") << "image/bmp" << white16 << true;
    QTest::newRow("truncated png") << "image/png" << png.left(png.size() / 2) << false;
    QTest::newRow("empty png") << "image/png" << QByteArray() << false;
    QTest::newRow("truncated bmp") << "image/bmp" << white16.left(40) << false;
}

void X11ClipboardTest::bytesFromAnotherProgramAreReadOrReported()
{
    QFETCH(QString, type);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, readable);
#ifdef Q_OS_WIN
    if (type == QLatin1String("image/bmp") && !readable)
        QSKIP("Wine's bridge turns a damaged BMP into a picture of its own (read past the data's end) before "
              "a Windows program sees it; damaged bitmaps of Windows programs are read offscreen");
#endif
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("offered")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    auto c = MakeChip(8, 8, 1, ChipFill::Numbered, true);
    ChildwinProbe p(*c);
    const Bitmap before = p.chip();
    const auto xclip = serveClipboard(file.fileName(), type);
    QVERIFY(xclip->started());
    QTRY_VERIFY_WITH_TIMEOUT(clipboardOffers(type), 10000);

    QString error;
    try {
        c->PasteFromClipboard();
    } catch (const EMarloError& e) {
        error = e.message();
    }
    if (readable) {
        QCOMPARE(error, QString());
        QCOMPARE(p.chip().pixel(0, 0), ClrWhite);
        QCOMPARE(p.selRect(), (TRect{0, 0, 1, 1}));
    } else {
        QCOMPARE(error, QStringLiteral("クリップボードの画像を読み込むことができません"));
        QCOMPARE(p.chip(), before);
        QVERIFY(!ToolData->FFloating);
    }
}

void X11ClipboardTest::copiedPicturePastesInAnotherProgram_data()
{
    QTest::addColumn<bool>("selected");
    QTest::addColumn<QRect>("block");
    QTest::addColumn<bool>("alpha"); // pixels of every alpha, which the other program gets
    QTest::newRow("whole chip") << false << QRect(0, 0, 24, 20) << false;
    QTest::newRow("selection") << true << QRect(2, 3, 4, 2) << false;
    QTest::newRow("whole chip with alpha") << false << QRect(0, 0, 24, 20) << true;
}

void X11ClipboardTest::copiedPicturePastesInAnotherProgram()
{
    QFETCH(bool, selected);
    QFETCH(QRect, block);
    QFETCH(bool, alpha);
    auto c = MakeChip(24, 20, 1, ChipFill::Numbered, true);
    ChildwinProbe p(*c);
    for (int i = 0; alpha && i < 24 * 20; ++i)
        p.chip().setArgb(i % 24, i / 24, (p.chip().argb(i % 24, i / 24) & 0xFFFFFFu) | QRgb(i * 13 % 256) << 24);
    p.selected() = selected;
    p.selRect() = TRect{block.left(), block.top(), block.left() + block.width(), block.top() + block.height()};
    // X grants the clipboard only to a request stamped later than the previous owner's, and Qt
    // stamps it with the time of the last X event it saw. A person's copy comes with the key or
    // click that asked for it; here the window's mapping has to bring a fresh time first.
    QVERIFY(QTest::qWaitForWindowExposed(c.get(), kWindowEventTimeout));
    c->CopyToClipboard();
    for (int i = 0; i < 50 && !QGuiApplication::clipboard()->ownsClipboard(); ++i) {
        QTest::qWait(20);
        c->CopyToClipboard();
    }
    QVERIFY(QGuiApplication::clipboard()->ownsClipboard());
    QTRY_VERIFY_WITH_TIMEOUT(xOffers(QStringLiteral("image/png")), 10000);

    // Marlo must answer xclip's request while it waits, so the event loop keeps running.
    X11Tool reader(QStringLiteral("xclip"), {"-selection", "clipboard", "-t", "image/png", "-o"});
    QVERIFY(reader.started());
    QTRY_VERIFY_WITH_TIMEOUT(reader.finished(), 15000);
    QCOMPARE(reader.exitCode(), 0);
    const QImage pasted = QImage::fromData(reader.output(), "PNG").convertToFormat(QImage::Format_ARGB32);
    QVERIFY(!pasted.isNull());
    QCOMPARE(pasted.size(), block.size());
    for (int y = 0; y < pasted.height(); ++y)
        for (int x = 0; x < pasted.width(); ++x)
            QCOMPARE(pasted.pixel(x, y), p.chip().argb(block.left() + x, block.top() + y));
}

QTEST_MAIN(X11ClipboardTest)
#include "x11_clipboard.moc"
