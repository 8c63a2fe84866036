// SPDX-License-Identifier: MIT
// The palette and the opacity window on a real X server with a window manager: the range
// message takes the activation away and gives it back, clicks come from a real pointer, and the
// opacity reaches the tool state when another window is clicked. With MARLO_SCREENSHOT_DIR set
// it also saves pictures of the three windows there.
#include <QtTest>

#include <QComboBox>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QStandardPaths>

#include "TestSupport.h"
#include "platform/ImageControl.h"
#include "shell/UTailViewWin.h"
#include "tools/UAlphaDlg.h"
#include "tools/UColorPaletteDlg.h"
#include "tools/UEditerData.h"
#include "tools/UIntEdit.h"

namespace {

void xdotool(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("xdotool"), args);
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitCode(), 0);
}

// A real click at the centre of w, through the X server.
void clickOn(QWidget* w)
{
    const QPoint at = w->mapToGlobal(w->rect().center());
    xdotool({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y())});
    QTest::qWait(30);
    xdotool({QStringLiteral("click"), QStringLiteral("1")});
}

// A busy machine may leave the window manager behind; ask it again through the X server.
void activate(QWidget* w)
{
    w->show();
    w->raise();
    w->activateWindow();
    if (!QTest::qWaitForWindowActive(w, 3000))
        xdotool({QStringLiteral("windowactivate"), QString::number(w->winId())});
    QVERIFY(QTest::qWaitForWindowActive(w, kWindowEventTimeout));
}

// The window manager gives the activation back after the range message.
bool waitActive(QWidget* w)
{
    return QTest::qWaitFor([w] { return w->isActiveWindow(); }, kWindowEventTimeout);
}

// The window with its frame as the screen shows it.
void screenshot(QWidget* w, const QString& name)
{
    const QString dir = qEnvironmentVariable("MARLO_SCREENSHOT_DIR");
    if (dir.isEmpty())
        return;
    QTest::qWait(300);
    const QRect r = w->frameGeometry();
    const QPixmap shot = w->screen()->grabWindow(0, r.x(), r.y(), r.width(), r.height());
    QVERIFY(shot.save(QDir(dir).filePath(name)));
}

} // namespace

class X11PaletteAlpha : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init() { ResetToolData(); }
    void cleanup();

    void opacityReachesToolStateWhenAnotherWindowIsClicked();
    void opacityRejectedTextGetsFocusBack();
    void paletteRejectedTextGetsFocusBack();
    void paletteOkClickOnRejectedTextKeepsDialogOpen();
    void tilePreviewScreenshot();
};

void X11PaletteAlpha::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        QSKIP("xdotool is not installed");
}

void X11PaletteAlpha::cleanup()
{
    QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("mouseup"), QStringLiteral("1")});
}

void X11PaletteAlpha::opacityReachesToolStateWhenAnotherWindowIsClicked()
{
    QWidget main;
    main.setWindowTitle(QStringLiteral("main"));
    main.setGeometry(50, 50, 500, 400);
    activate(&main);
    TAlphaDlg dlg(&main);
    dlg.setAlpha(255);
    activate(&dlg);
    QTRY_VERIFY(dlg.FEditAlphaNum->hasFocus());
    QTest::keyClicks(dlg.FEditAlphaNum, QStringLiteral("64"));
    QCOMPARE(dlg.getAlpha(), uint8_t(64));
    QCOMPARE(ToolData->FAlpha, uint8_t(255));
    screenshot(&dlg, QStringLiteral("alphadlg.png"));

    clickOn(&main);
    QTRY_VERIFY(main.isActiveWindow());
    QCOMPARE(ToolData->FAlpha, uint8_t(64));
    // Always on top: the opacity window stays visible above the window that took the activation.
    QVERIFY(dlg.isVisible());
}

void X11PaletteAlpha::opacityRejectedTextGetsFocusBack()
{
    TAlphaDlg dlg;
    dlg.setAlpha(255);
    activate(&dlg);
    QTRY_VERIFY(dlg.FEditAlphaNum->hasFocus());
    MessageBoxCatcher catcher;
    QTest::keyClicks(dlg.FEditAlphaNum, QStringLiteral("1280"));
    QCOMPARE(catcher.boxes().size(), 1);
    QVERIFY(waitActive(&dlg));
    QTRY_VERIFY(dlg.FEditAlphaNum->hasFocus());
    QCOMPARE(dlg.FEditAlphaNum->selectedText(), QStringLiteral("1280"));
    QCOMPARE(dlg.getAlpha(), uint8_t(128));
    QTest::qWait(100);
    QCOMPARE(catcher.boxes().size(), 1);
}

void X11PaletteAlpha::paletteRejectedTextGetsFocusBack()
{
    TColorPaletteDlg dlg;
    dlg.open();
    activate(&dlg);
    QTRY_VERIFY(dlg.FTrackBarR->hasFocus());
    clickOn(dlg.FIntEditR);
    QTRY_VERIFY(dlg.FIntEditR->hasFocus());
    dlg.FIntEditR->selectAll();
    QTest::keyClicks(dlg.FIntEditR, QStringLiteral("300"));
    MessageBoxCatcher catcher;
    QTest::keyClick(dlg.FIntEditR, Qt::Key_Tab);
    QCOMPARE(catcher.boxes().size(), 1);
    QVERIFY(waitActive(&dlg));
    QTRY_VERIFY(dlg.FIntEditR->hasFocus());
    QCOMPARE(dlg.FIntEditR->selectedText(), QStringLiteral("300"));
    QCOMPARE(dlg.FTrackBarR->value(), 254);
    // Getting the activation back validates nothing again.
    QTest::qWait(200);
    QCOMPARE(catcher.boxes().size(), 1);
    dlg.reject();
}

void X11PaletteAlpha::paletteOkClickOnRejectedTextKeepsDialogOpen()
{
    TColorPaletteDlg dlg;
    dlg.open();
    activate(&dlg);
    // Picks with the real pointer, for the screenshot and for a colour other than the first.
    for (auto [strip, row] : {std::pair{dlg.FImgPalette1, 40}, {dlg.FImgPalette3, 90}}) {
        const QPoint at = strip->mapToGlobal(QPoint(8, row));
        xdotool({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y())});
        QTest::qWait(30);
        xdotool({QStringLiteral("click"), QStringLiteral("1")});
    }
    QTRY_COMPARE(dlg.FImgPal3Pos->picture().pixel(0, 90), ClrBlack);
    const TColor before = dlg.getPickedColor();
    screenshot(&dlg, QStringLiteral("palette.png"));

    clickOn(dlg.FIntEditG);
    QTRY_VERIFY(dlg.FIntEditG->hasFocus());
    dlg.FIntEditG->selectAll();
    QTest::keyClicks(dlg.FIntEditG, QStringLiteral("abc"));
    MessageBoxCatcher catcher;
    clickOn(dlg.FBtnOk);
    QTRY_COMPARE(catcher.boxes().size(), 1);
    QVERIFY(waitActive(&dlg));
    QTest::qWait(200);
    QVERIFY(dlg.isVisible());
    QVERIFY(!dlg.FBtnOk->isDown());
    QTRY_VERIFY(dlg.FIntEditG->hasFocus());
    QCOMPARE(dlg.getPickedColor(), before);

    QTest::keyClicks(dlg.FIntEditG, QStringLiteral("12"));
    clickOn(dlg.FBtnOk);
    QTRY_VERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(dlg.getPickedColor(), RGBColor(GetRValue(before), 12, GetBValue(before)));
    QCOMPARE(catcher.boxes().size(), 1);
}

void X11PaletteAlpha::tilePreviewScreenshot()
{
    TTailViewWin win;
    win.show();
    QVERIFY(QTest::qWaitForWindowExposed(&win, kWindowEventTimeout));
    Bitmap chip(16, 16);
    chip.fill(ClrWhite);
    for (int i = 0; i < 16; ++i) {
        chip.setPixel(i, 0, RGBColor(200, 0, 0));
        chip.setPixel(0, i, RGBColor(0, 0, 200));
        chip.setPixel(i, i, RGBColor(0, 150, 0));
    }
    win.FCmbBoxZoom->setCurrentIndex(1);
    win.ShowTiled(&chip, true);
    QCOMPARE(win.FImgView->picture().pixel(34, 32), chip.pixel(1, 0));
    screenshot(&win, QStringLiteral("tailview.png"));
}

QTEST_MAIN(X11PaletteAlpha)
#include "x11_palette_alpha.moc"
