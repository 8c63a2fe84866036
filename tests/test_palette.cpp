// SPDX-License-Identifier: MIT
// The colour palette: the strip arithmetic, the picks with the mouse, the entry and slider
// couplings, what an opening shows, and what OK and Cancel hand back.
#include <QtTest>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

#include "TestSupport.h"
#include "platform/ImageControl.h"
#include "platform/MessageBoxes.h"
#include "tools/UColorPaletteDlg.h"
#include "tools/UIntEdit.h"

struct ColorPaletteProbe {
    explicit ColorPaletteProbe(TColorPaletteDlg& d) : dlg(d) {}
    TColorPaletteDlg& dlg;
    int pal1Pos() const { return dlg.FPal1Pos; }
    int pal2Pos() const { return dlg.FPal2Pos; }
    int pal3Pos() const { return dlg.FPal3Pos; }
};

namespace {

const QString RangeMessage = QStringLiteral("は 0～255 の範囲で指定してね");

TColor rgb(int r, int g, int b)
{
    return RGBColor(r, g, b);
}

QString show(TColor c)
{
    return QStringLiteral("(%1, %2, %3)").arg(GetRValue(c)).arg(GetGValue(c)).arg(GetBValue(c));
}

// An opened, active dialog (open() shows it modally without blocking the test).
std::unique_ptr<TColorPaletteDlg> openDialog(std::unique_ptr<TColorPaletteDlg> dlg = {})
{
    if (!dlg)
        dlg = std::make_unique<TColorPaletteDlg>();
    dlg->open();
    dlg->activateWindow();
    if (!QTest::qWaitForWindowActive(dlg.get()))
        qWarning("the palette did not become active");
    return dlg;
}

TColor buttonFace(const TColorPaletteDlg& dlg)
{
    return QRgbToColor(dlg.palette().color(QPalette::Button).rgb());
}

TColor panelColor(const TColorPaletteDlg& dlg)
{
    return QRgbToColor(dlg.FPanelColor->palette().color(QPalette::Window).rgb());
}

TColor entriesColor(const TColorPaletteDlg& dlg)
{
    return RGBColor(dlg.FIntEditR->text().toInt(), dlg.FIntEditG->text().toInt(), dlg.FIntEditB->text().toInt());
}

TColor slidersColor(const TColorPaletteDlg& dlg)
{
    return RGBColor(dlg.FTrackBarR->value(), dlg.FTrackBarG->value(), dlg.FTrackBarB->value());
}

bool allPixels(const Bitmap& b, TColor c)
{
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            if (b.pixel(x, y) != c)
                return false;
    return true;
}

// A pointer motion over a strip with the given buttons and keys held.
void moveOver(QWidget* w, QPoint pos, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods = {})
{
    QMouseEvent ev(QEvent::MouseMove, QPointF(pos), w->mapToGlobal(QPointF(pos)), Qt::NoButton, buttons, mods);
    QApplication::sendEvent(w, &ev);
}

// The fine-hue strip the dialog must paint for a pick in the hue strip.
TColor fineHueFor(int pick, int row)
{
    return FineHueStripColor(HueStripColor(HueStripUpperRow(pick)), HueStripColor(pick),
                             HueStripColor(HueStripLowerRow(pick)), row);
}

// The colour the dialog must show after the picks (p1, p2, p3).
TColor pickedFor(int p1, int p2, int p3)
{
    return ShadeStripColor(fineHueFor(p1, p2), p3);
}

} // namespace

class TestPalette : public QObject {
    Q_OBJECT
private slots:
    void blendDividesBy256();
    void hueStripRows_data();
    void hueStripRows();
    void fineHueStripNeighbourRows_data();
    void fineHueStripNeighbourRows();
    void fineHueStripAfterPickAtRowZero();
    void shadeStripRows_data();
    void shadeStripRows();

    void createdAsDescribed();
    void firstOpeningShowsNearWhite();
    void pressInHueStripPicks_data();
    void pressInHueStripPicks();
    void pressOutsideHueStripIsIgnored_data();
    void pressOutsideHueStripIsIgnored();
    void motionPicksOnlyWithLeftButtonAlone_data();
    void motionPicksOnlyWithLeftButtonAlone();
    void pressInFineHueStripRedrawsShades();
    void pressInShadeStripTakesColour();
    void sliderMovesEntryAndPanelAtOnce();
    void typedTextWaitsForEnterOrLeaving_data();
    void typedTextWaitsForEnterOrLeaving();
    void rejectedTextOnLeavingKeepsFocus();
    void rejectedTextDoesNotLetOkClose();
    void okAndCancel_data();
    void okAndCancel();
    void escapeClosesNothing();
    void transparencyIsAColourOfItsOwn_data();
    void transparencyIsAColourOfItsOwn();
    void picksRememberedBetweenOpenings();
    void tabOrderAndFocus();
};

void TestPalette::blendDividesBy256()
{
    QCOMPARE(PaletteBlend(255, 0, 0), 254);
    QCOMPARE(PaletteBlend(0, 255, 254), 253);
    QCOMPARE(PaletteBlend(255, 255, 100), 254);
    QCOMPARE(PaletteBlend(0, 0, 254), 0);
    QCOMPARE(PaletteBlend(254, 0, 2), 251);
}

void TestPalette::hueStripRows_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<TColor>("colour");
    QTest::newRow("0") << 0 << rgb(255, 0, 0);
    QTest::newRow("1") << 1 << rgb(255, 0, 7);
    QTest::newRow("31") << 31 << rgb(255, 0, 247);
    QTest::newRow("32") << 32 << rgb(254, 0, 255);
    QTest::newRow("63") << 63 << rgb(6, 0, 255);
    QTest::newRow("64") << 64 << rgb(0, 0, 255);
    QTest::newRow("96") << 96 << rgb(0, 255, 254);
    QTest::newRow("128") << 128 << rgb(0, 255, 0);
    QTest::newRow("160") << 160 << rgb(255, 254, 0);
    QTest::newRow("168") << 168 << rgb(255, 190, 0);
    QTest::newRow("191") << 191 << rgb(255, 6, 0);
}

void TestPalette::hueStripRows()
{
    QFETCH(int, row);
    QFETCH(TColor, colour);
    QCOMPARE(show(HueStripColor(row)), show(colour));
    // The dialog paints the same rows across the full width.
    auto dlg = openDialog();
    QCOMPARE(show(dlg->FImgPalette1->picture().pixel(0, row)), show(colour));
    QCOMPARE(show(dlg->FImgPalette1->picture().pixel(15, row)), show(colour));
}

void TestPalette::fineHueStripNeighbourRows_data()
{
    QTest::addColumn<int>("pick");
    QTest::addColumn<int>("upper");
    QTest::addColumn<int>("lower");
    QTest::newRow("0 wraps upward") << 0 << 168 << 24;
    QTest::newRow("23") << 23 << 191 << 47;
    QTest::newRow("24") << 24 << 0 << 48;
    QTest::newRow("100") << 100 << 76 << 124;
    QTest::newRow("167") << 167 << 143 << 191;
    QTest::newRow("168 wraps downward") << 168 << 144 << 0;
    QTest::newRow("191") << 191 << 167 << 23;
}

void TestPalette::fineHueStripNeighbourRows()
{
    QFETCH(int, pick);
    QFETCH(int, upper);
    QFETCH(int, lower);
    QCOMPARE(HueStripUpperRow(pick), upper);
    QCOMPARE(HueStripLowerRow(pick), lower);
}

void TestPalette::fineHueStripAfterPickAtRowZero()
{
    const TColor cu = HueStripColor(HueStripUpperRow(0));
    QCOMPARE(show(cu), show(rgb(255, 190, 0)));
    QCOMPARE(show(fineHueFor(0, 0)), show(rgb(254, 189, 0)));
    QCOMPARE(show(fineHueFor(0, 127)), show(rgb(254, 0, 0)));
    QCOMPARE(show(fineHueFor(0, 128)), show(rgb(254, 0, 0)));
    QCOMPARE(show(fineHueFor(0, 255)), show(rgb(254, 0, 189)));
}

void TestPalette::shadeStripRows_data()
{
    QTest::addColumn<TColor>("middle");
    QTest::addColumn<int>("row");
    QTest::addColumn<TColor>("colour");
    for (TColor m : {rgb(254, 0, 0), rgb(255, 255, 255), rgb(0, 0, 0), rgb(12, 200, 77)}) {
        QTest::addRow("%s row 0", qPrintable(show(m))) << m << 0 << rgb(254, 254, 254);
        QTest::addRow("%s row 255", qPrintable(show(m))) << m << 255 << rgb(0, 0, 0);
    }
    QTest::newRow("(254, 0, 0) row 127") << rgb(254, 0, 0) << 127 << rgb(253, 0, 0);
    QTest::newRow("(254, 0, 0) row 128") << rgb(254, 0, 0) << 128 << rgb(253, 0, 0);
    QTest::newRow("(254, 0, 0) row 64") << rgb(254, 0, 0) << 64 << rgb(253, 126, 126);
}

void TestPalette::shadeStripRows()
{
    QFETCH(TColor, middle);
    QFETCH(int, row);
    QFETCH(TColor, colour);
    QCOMPARE(show(ShadeStripColor(middle, row)), show(colour));
}

void TestPalette::createdAsDescribed()
{
    TColorPaletteDlg dlg;
    QCOMPARE(dlg.windowTitle(), QStringLiteral("カラーパレット"));
    QCOMPARE(dlg.size(), QSize(389, 283));
    QVERIFY(dlg.isModal());
    QCOMPARE(dlg.FImgPalette1->mapTo(&dlg, QPoint(0, 0)), QPoint(17, 17));
    QCOMPARE(dlg.FImgPalette1->size(), QSize(16, 192));
    QCOMPARE(dlg.FImgPalette2->mapTo(&dlg, QPoint(0, 0)), QPoint(57, 17));
    QCOMPARE(dlg.FImgPalette2->size(), QSize(16, 256));
    QCOMPARE(dlg.FImgPalette3->mapTo(&dlg, QPoint(0, 0)), QPoint(97, 17));
    QCOMPARE(dlg.FImgPalette3->size(), QSize(16, 256));
    QCOMPARE(dlg.FImgPal1toPal2->geometry(), QRect(34, 16, 22, 257));
    QCOMPARE(dlg.FImgPal2toPal3->geometry(), QRect(74, 16, 22, 257));
    QCOMPARE(dlg.FImgPal3Pos->geometry(), QRect(114, 16, 22, 257));
    QCOMPARE(dlg.FPanelColor->geometry(), QRect(160, 16, 73, 33));
    QCOMPARE(dlg.FIntEditR->geometry(), QRect(168, 184, 57, 20));
    QCOMPARE(dlg.FIntEditB->geometry(), QRect(168, 248, 57, 20));
    QCOMPARE(dlg.FTrackBarG->geometry(), QRect(232, 208, 150, 33));
    QCOMPARE(dlg.FBtnOk->geometry(), QRect(304, 16, 75, 25));
    QCOMPARE(dlg.FBtnCancel->geometry(), QRect(304, 56, 75, 25));
    QCOMPARE(dlg.FBtnOk->text(), QStringLiteral("OK"));
    QCOMPARE(dlg.FBtnCancel->text(), QStringLiteral("キャンセル"));
    QVERIFY(!dlg.FBtnOk->isDefault() && !dlg.FBtnOk->autoDefault());
    QVERIFY(!dlg.FBtnCancel->isDefault() && !dlg.FBtnCancel->autoDefault());
    QStringList captions;
    for (QLabel* label : dlg.findChildren<QLabel*>())
        captions << label->text();
    captions.sort();
    QCOMPARE(captions, (QStringList{QStringLiteral("B："), QStringLiteral("G："), QStringLiteral("R：")}));
    for (TIntEdit* e : {dlg.FIntEditR, dlg.FIntEditG, dlg.FIntEditB}) {
        QCOMPARE(e->MinValue(), 0);
        QCOMPARE(e->MaxValue(), 255);
        QCOMPARE(e->ShowName(), QString());
    }
    for (QSlider* s : {dlg.FTrackBarR, dlg.FTrackBarG, dlg.FTrackBarB}) {
        QCOMPARE(s->maximum(), 255);
        QCOMPARE(s->pageStep(), 32);
        QCOMPARE(s->tickInterval(), 32);
        QCOMPARE(s->tickPosition(), QSlider::TicksAbove);
    }
    QCOMPARE(ColorPaletteProbe(dlg).pal1Pos(), 0);
    QCOMPARE(ColorPaletteProbe(dlg).pal2Pos(), 0);
    QCOMPARE(ColorPaletteProbe(dlg).pal3Pos(), 0);
}

void TestPalette::firstOpeningShowsNearWhite()
{
    auto dlg = openDialog();
    const TColor nearWhite = rgb(254, 254, 254);
    QCOMPARE(show(entriesColor(*dlg)), show(nearWhite));
    QCOMPARE(show(dlg->getPickedColor()), show(nearWhite));
    QCOMPARE(show(slidersColor(*dlg)), show(nearWhite));
    QCOMPARE(show(panelColor(*dlg)), show(nearWhite));
    QCOMPARE(ColorPaletteProbe(*dlg).pal2Pos(), 127);
    for (int row : {0, 100, 127, 128, 255})
        QCOMPARE(show(dlg->FImgPalette2->picture().pixel(3, row)), show(fineHueFor(0, row)));
    for (int row : {0, 127, 255})
        QCOMPARE(show(dlg->FImgPalette3->picture().pixel(3, row)), show(ShadeStripColor(fineHueFor(0, 127), row)));
    // All three marker strips open empty, the connector the opening drew included.
    for (TImageControl* marker : {dlg->FImgPal1toPal2, dlg->FImgPal2toPal3, dlg->FImgPal3Pos}) {
        QCOMPARE(marker->picture().width(), 22);
        QCOMPARE(marker->picture().height(), 257);
        QVERIFY(allPixels(marker->picture(), buttonFace(*dlg)));
    }
    QCOMPARE(dlg->focusWidget(), dlg->FTrackBarR);
}

void TestPalette::pressInHueStripPicks_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<int>("row");
    QTest::newRow("left, row 0") << Qt::LeftButton << 0;
    QTest::newRow("right, row 100") << Qt::RightButton << 100;
    QTest::newRow("middle, row 191") << Qt::MiddleButton << 191;
    QTest::newRow("left, row 170") << Qt::LeftButton << 170;
}

void TestPalette::pressInHueStripPicks()
{
    QFETCH(Qt::MouseButton, button);
    QFETCH(int, row);
    auto dlg = openDialog();
    // A shade other than the first row, so the colour depends on the hue.
    QTest::mouseClick(dlg->FImgPalette3, Qt::LeftButton, {}, QPoint(5, 100));
    QTest::mouseClick(dlg->FImgPalette2, Qt::LeftButton, {}, QPoint(5, 40));
    QTest::mousePress(dlg->FImgPalette1, button, {}, QPoint(8, row));

    ColorPaletteProbe probe(*dlg);
    QCOMPARE(probe.pal1Pos(), row);
    QCOMPARE(probe.pal2Pos(), 127);
    for (int r : {0, 64, 127, 128, 200, 255})
        QCOMPARE(show(dlg->FImgPalette2->picture().pixel(0, r)), show(fineHueFor(row, r)));
    const TColor picked = pickedFor(row, 127, 100);
    QCOMPARE(show(dlg->getPickedColor()), show(picked));
    QCOMPARE(show(entriesColor(*dlg)), show(picked));
    QCOMPARE(show(slidersColor(*dlg)), show(picked));
    QCOMPARE(show(panelColor(*dlg)), show(picked));
    // Markers: from the pick to the middle of the next strip, the end point left out.
    const Bitmap& link1 = dlg->FImgPal1toPal2->picture();
    QCOMPARE(link1.pixel(0, row), ClrBlack);
    QCOMPARE(link1.pixel(21, 127), buttonFace(*dlg));
    const Bitmap& link2 = dlg->FImgPal2toPal3->picture();
    QCOMPARE(link2.pixel(0, 127), ClrBlack);
    QCOMPARE(link2.pixel(20, 127), ClrBlack);
    QCOMPARE(link2.pixel(21, 127), buttonFace(*dlg));
    QCOMPARE(dlg->FImgPal3Pos->picture().pixel(0, 100), ClrBlack);
    QTest::mouseRelease(dlg->FImgPalette1, button, {}, QPoint(8, row));
}

void TestPalette::pressOutsideHueStripIsIgnored_data()
{
    QTest::addColumn<QPoint>("pos");
    QTest::newRow("below") << QPoint(5, 192);
    QTest::newRow("above") << QPoint(5, -1);
    QTest::newRow("right") << QPoint(16, 50);
    QTest::newRow("left") << QPoint(-1, 50);
}

void TestPalette::pressOutsideHueStripIsIgnored()
{
    QFETCH(QPoint, pos);
    auto dlg = openDialog();
    QTest::mouseClick(dlg->FImgPalette1, Qt::LeftButton, {}, QPoint(5, 60));
    const Bitmap strip2 = dlg->FImgPalette2->picture();
    QTest::mousePress(dlg->FImgPalette1, Qt::LeftButton, {}, pos);
    QCOMPARE(ColorPaletteProbe(*dlg).pal1Pos(), 60);
    QVERIFY(dlg->FImgPalette2->picture() == strip2);
    QTest::mouseRelease(dlg->FImgPalette1, Qt::LeftButton, {}, pos);
}

void TestPalette::motionPicksOnlyWithLeftButtonAlone_data()
{
    QTest::addColumn<int>("strip");
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("mods");
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("expected"); // -1: the pick stays where it was

    const int L = Qt::LeftButton, R = Qt::RightButton, M = Qt::MiddleButton;
    for (int strip : {1, 2, 3}) {
        const int last = strip == 1 ? 191 : 255;
        QTest::addRow("strip %d: left", strip) << strip << L << 0 << 77 << 77;
        QTest::addRow("strip %d: left above the strip", strip) << strip << L << 0 << -40 << 0;
        QTest::addRow("strip %d: left below the strip", strip) << strip << L << 0 << 5000 << last;
        QTest::addRow("strip %d: left far below", strip) << strip << L << 0 << INT_MAX / 4 << last;
        QTest::addRow("strip %d: right", strip) << strip << R << 0 << 77 << -1;
        QTest::addRow("strip %d: middle", strip) << strip << M << 0 << 77 << -1;
        QTest::addRow("strip %d: left and right", strip) << strip << (L | R) << 0 << 77 << -1;
        QTest::addRow("strip %d: left with Shift", strip) << strip << L << int(Qt::ShiftModifier) << 77 << -1;
        QTest::addRow("strip %d: left with Ctrl", strip) << strip << L << int(Qt::ControlModifier) << 77 << -1;
        QTest::addRow("strip %d: left with Alt", strip) << strip << L << int(Qt::AltModifier) << 77 << -1;
        QTest::addRow("strip %d: no button", strip) << strip << 0 << 0 << 77 << -1;
    }
}

void TestPalette::motionPicksOnlyWithLeftButtonAlone()
{
    QFETCH(int, strip);
    QFETCH(int, buttons);
    QFETCH(int, mods);
    QFETCH(int, y);
    QFETCH(int, expected);
    auto dlg = openDialog();
    TImageControl* widgets[] = {dlg->FImgPalette1, dlg->FImgPalette2, dlg->FImgPalette3};
    TImageControl* target = widgets[strip - 1];
    QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(5, 20));
    ColorPaletteProbe probe(*dlg);
    auto pos = [&] { return strip == 1 ? probe.pal1Pos() : strip == 2 ? probe.pal2Pos() : probe.pal3Pos(); };
    QCOMPARE(pos(), 20);

    moveOver(target, QPoint(300, y), Qt::MouseButtons(buttons), Qt::KeyboardModifiers(mods));
    QCOMPARE(pos(), expected < 0 ? 20 : expected);
    if (expected >= 0) {
        const int p1 = probe.pal1Pos(), p2 = probe.pal2Pos(), p3 = probe.pal3Pos();
        QCOMPARE(show(dlg->getPickedColor()), show(pickedFor(p1, p2, p3)));
    }
}

void TestPalette::pressInFineHueStripRedrawsShades()
{
    auto dlg = openDialog();
    QTest::mouseClick(dlg->FImgPalette1, Qt::LeftButton, {}, QPoint(5, 50));
    QTest::mouseClick(dlg->FImgPalette3, Qt::LeftButton, {}, QPoint(5, 180));
    const Bitmap link1 = dlg->FImgPal1toPal2->picture();
    QTest::mouseClick(dlg->FImgPalette2, Qt::RightButton, {}, QPoint(5, 200));

    QCOMPARE(ColorPaletteProbe(*dlg).pal2Pos(), 200);
    for (int r : {0, 127, 128, 180, 255})
        QCOMPARE(show(dlg->FImgPalette3->picture().pixel(0, r)), show(ShadeStripColor(fineHueFor(50, 200), r)));
    QCOMPARE(show(dlg->getPickedColor()), show(pickedFor(50, 200, 180)));
    QCOMPARE(dlg->FImgPal2toPal3->picture().pixel(0, 200), ClrBlack);
    QCOMPARE(dlg->FImgPal2toPal3->picture().pixel(0, 127), buttonFace(*dlg));
    QVERIFY(dlg->FImgPal1toPal2->picture() == link1);
}

void TestPalette::pressInShadeStripTakesColour()
{
    auto dlg = openDialog();
    QTest::mouseClick(dlg->FImgPalette1, Qt::LeftButton, {}, QPoint(5, 130));
    QTest::mouseClick(dlg->FImgPalette3, Qt::MiddleButton, {}, QPoint(5, 90));
    QCOMPARE(ColorPaletteProbe(*dlg).pal3Pos(), 90);
    QCOMPARE(show(entriesColor(*dlg)), show(pickedFor(130, 127, 90)));
    const Bitmap& pointer = dlg->FImgPal3Pos->picture();
    for (int x = 0; x < 21; ++x)
        QCOMPARE(pointer.pixel(x, 90), ClrBlack);
    QCOMPARE(pointer.pixel(21, 90), buttonFace(*dlg));
    QCOMPARE(pointer.pixel(0, 89), buttonFace(*dlg));
    QCOMPARE(pointer.pixel(0, 91), buttonFace(*dlg));
}

void TestPalette::sliderMovesEntryAndPanelAtOnce()
{
    auto dlg = openDialog();
    dlg->FTrackBarG->setFocus();
    QTest::keyClick(dlg->FTrackBarG, Qt::Key_PageDown);
    QCOMPARE(dlg->FTrackBarG->value(), 254 - 32);
    QCOMPARE(dlg->FIntEditG->text(), QStringLiteral("222"));
    QCOMPARE(dlg->FIntEditG->Value(), 222);
    QCOMPARE(show(panelColor(*dlg)), show(rgb(254, 222, 254)));
    QCOMPARE(show(dlg->getPickedColor()), show(rgb(254, 222, 254)));
}

void TestPalette::typedTextWaitsForEnterOrLeaving_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("value");  // the entry's Value afterwards
    QTest::addColumn<int>("slider"); // the red slider (and the panel's red) afterwards
    // Enter accepts the number, but with the text unchanged no change event carries it on.
    QTest::newRow("Enter") << QStringLiteral("100") << QStringLiteral("enter") << 100 << 254;
    QTest::newRow("keypad Enter") << QStringLiteral("100") << QStringLiteral("keypad") << 100 << 254;
    QTest::newRow("Enter that tidies the text") << QStringLiteral(" 100") << QStringLiteral("enter") << 100 << 100;
    QTest::newRow("Tab to the next entry") << QStringLiteral("100") << QStringLiteral("tab") << 100 << 100;
    QTest::newRow("Shift+Tab to a slider") << QStringLiteral("100") << QStringLiteral("backtab") << 100 << 100;
    QTest::newRow("click on a slider") << QStringLiteral("100") << QStringLiteral("click slider") << 100 << 100;
    QTest::newRow("click on OK") << QStringLiteral("100") << QStringLiteral("ok") << 100 << 100;
    QTest::newRow("click on a strip takes no focus") << QStringLiteral("100") << QStringLiteral("click strip") << 254
                                                     << 254;
}

void TestPalette::typedTextWaitsForEnterOrLeaving()
{
    QFETCH(QString, typed);
    QFETCH(QString, how);
    QFETCH(int, value);
    QFETCH(int, slider);
    auto dlg = openDialog();
    TIntEdit* red = dlg->FIntEditR;
    red->setFocus(Qt::TabFocusReason);
    QCOMPARE(red->selectedText(), QStringLiteral("254"));
    QTest::keyClicks(red, typed);
    QCOMPARE(red->text(), typed);
    QCOMPARE(dlg->FTrackBarR->value(), 254);
    QCOMPARE(show(panelColor(*dlg)), show(rgb(254, 254, 254)));
    QCOMPARE(show(dlg->getPickedColor()), show(rgb(254, 254, 254)));

    if (how == QLatin1String("enter"))
        QTest::keyClick(red, Qt::Key_Return);
    else if (how == QLatin1String("keypad"))
        QTest::keyClick(red, Qt::Key_Enter, Qt::KeypadModifier);
    else if (how == QLatin1String("tab"))
        QTest::keyClick(red, Qt::Key_Tab);
    else if (how == QLatin1String("backtab"))
        QTest::keyClick(red, Qt::Key_Backtab, Qt::ShiftModifier);
    else if (how == QLatin1String("click slider"))
        QTest::mouseClick(dlg->FTrackBarB, Qt::LeftButton, {}, QPoint(2, 2));
    else if (how == QLatin1String("ok"))
        QTest::mouseClick(dlg->FBtnOk, Qt::LeftButton);
    else
        QTest::mouseClick(dlg->FImgPal3Pos, Qt::LeftButton, {}, QPoint(2, 2));

    QCOMPARE(red->Value(), value);
    QCOMPARE(show(dlg->getPickedColor()), show(rgb(value, 254, 254)));
    QCOMPARE(dlg->FTrackBarR->value(), slider);
    QCOMPARE(show(panelColor(*dlg)), show(rgb(slider, 254, 254)));
    QCOMPARE(dlg->isVisible(), how != QLatin1String("ok"));
}

void TestPalette::rejectedTextOnLeavingKeepsFocus()
{
    auto dlg = openDialog();
    TIntEdit* red = dlg->FIntEditR;
    red->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(red, QStringLiteral("300"));
    MessageBoxCatcher catcher;
    const int beeps = BeepCount();
    QTest::keyClick(red, Qt::Key_Tab);

    QCOMPARE(catcher.boxes().size(), 1);
    QCOMPARE(catcher.boxes().first().text, RangeMessage);
    QCOMPARE(catcher.boxes().first().title, QStringLiteral("確認"));
    QCOMPARE(BeepCount() - beeps, 1);
    QCOMPARE(dlg->focusWidget(), red);
    QCOMPARE(red->text(), QStringLiteral("300"));
    QCOMPARE(red->selectedText(), QStringLiteral("300"));
    QCOMPARE(red->Value(), 254);
    QCOMPARE(dlg->FTrackBarR->value(), 254);
    QCOMPARE(show(panelColor(*dlg)), show(rgb(254, 254, 254)));
    // The box took the activation away; that alone must not validate again.
    QTest::qWait(50);
    QCOMPARE(catcher.boxes().size(), 1);
}

void TestPalette::rejectedTextDoesNotLetOkClose()
{
    auto dlg = openDialog();
    TIntEdit* green = dlg->FIntEditG;
    green->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(green, QStringLiteral("abc"));
    MessageBoxCatcher catcher;
    QTest::mouseClick(dlg->FBtnOk, Qt::LeftButton);
    QCOMPARE(catcher.boxes().size(), 1);
    QVERIFY(dlg->isVisible());
    QCOMPARE(dlg->result(), 0);
    QCOMPARE(dlg->focusWidget(), green);
    QVERIFY(!dlg->FBtnOk->isDown());

    // Once the text is mended, the next click closes with it.
    QTest::keyClicks(green, QStringLiteral("12"));
    QTest::mouseClick(dlg->FBtnOk, Qt::LeftButton);
    QCOMPARE(catcher.boxes().size(), 1);
    QVERIFY(!dlg->isVisible());
    QCOMPARE(dlg->result(), int(QDialog::Accepted));
    QCOMPARE(show(dlg->getPickedColor()), show(rgb(254, 12, 254)));
}

void TestPalette::okAndCancel_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("result");
    QTest::newRow("OK") << QStringLiteral("ok") << int(QDialog::Accepted);
    QTest::newRow("OK by Space") << QStringLiteral("ok space") << int(QDialog::Accepted);
    QTest::newRow("OK by Enter") << QStringLiteral("ok enter") << int(QDialog::Accepted);
    QTest::newRow("Cancel") << QStringLiteral("cancel") << int(QDialog::Rejected);
    QTest::newRow("Cancel by Enter") << QStringLiteral("cancel enter") << int(QDialog::Rejected);
    QTest::newRow("close box") << QStringLiteral("close") << int(QDialog::Rejected);
}

void TestPalette::okAndCancel()
{
    QFETCH(QString, how);
    QFETCH(int, result);
    TColorPaletteDlg dlg;
    // exec() as the main window runs it; the user acts from inside the modal run.
    QTimer::singleShot(0, &dlg, [&] {
        QTest::mouseClick(dlg.FImgPalette1, Qt::LeftButton, {}, QPoint(5, 10));
        QTest::mouseClick(dlg.FImgPalette3, Qt::LeftButton, {}, QPoint(5, 150));
        dlg.FTrackBarB->setValue(17);
        if (how == QLatin1String("ok")) {
            QTest::mouseClick(dlg.FBtnOk, Qt::LeftButton);
        } else if (how == QLatin1String("ok space")) {
            dlg.FBtnOk->setFocus(Qt::TabFocusReason);
            QTest::keyClick(dlg.FBtnOk, Qt::Key_Space);
        } else if (how == QLatin1String("ok enter")) {
            dlg.FBtnOk->setFocus(Qt::TabFocusReason);
            QTest::keyClick(dlg.FBtnOk, Qt::Key_Return);
        } else if (how == QLatin1String("cancel enter")) {
            dlg.FBtnCancel->setFocus(Qt::TabFocusReason);
            QTest::keyClick(dlg.FBtnCancel, Qt::Key_Return);
        } else if (how == QLatin1String("cancel")) {
            QTest::mouseClick(dlg.FBtnCancel, Qt::LeftButton);
        } else {
            dlg.close();
        }
    });
    QCOMPARE(dlg.exec(), result);
    QVERIFY(dlg.isHidden());
    const TColor shade = pickedFor(10, 127, 150);
    QCOMPARE(show(dlg.getPickedColor()), show(RGBColor(GetRValue(shade), GetGValue(shade), 17)));
}

// The box ticked makes the pick the transparent pen, shown as a checkerboard; a colour
// picked afterwards in any way unticks it, and a new opening keeps it.
void TestPalette::transparencyIsAColourOfItsOwn_data()
{
    QTest::addColumn<QString>("then");
    QTest::addColumn<bool>("transparent");
    QTest::newRow("ticked") << QString() << true;
    QTest::newRow("opened again") << QStringLiteral("reopen") << true;
    QTest::newRow("a hue picked") << QStringLiteral("strip") << false;
    QTest::newRow("a slider moved") << QStringLiteral("slider") << false;
    QTest::newRow("a number typed") << QStringLiteral("typed") << false;
}

void TestPalette::transparencyIsAColourOfItsOwn()
{
    QFETCH(QString, then);
    auto dlg = openDialog();
    const TColor colour = dlg->getPickedColor();
    QTest::mouseClick(dlg->FChkBoxTransparent, Qt::LeftButton);
    QVERIFY(dlg->FChkBoxTransparent->isChecked());
    if (then == QLatin1String("reopen")) {
        dlg->accept();
        dlg = openDialog(std::move(dlg));
    } else if (then == QLatin1String("strip")) {
        QTest::mouseClick(dlg->FImgPalette1, Qt::LeftButton, {}, QPoint(5, 10));
    } else if (then == QLatin1String("slider")) {
        QTest::keyClick(dlg->FTrackBarG, Qt::Key_Right);
    } else if (then == QLatin1String("typed")) {
        dlg->FIntEditR->setFocus();
        QTest::keyClick(dlg->FIntEditR, Qt::Key_Backspace);
    }
    QFETCH(bool, transparent);
    QCOMPARE(dlg->getPickedColor() == ClrTransparent, transparent);
    QCOMPARE(dlg->FPanelColor->palette().brush(QPalette::Window).style() == Qt::TexturePattern, transparent);
    if (then == QLatin1String("reopen"))
        QCOMPARE(dlg->FIntEditR->Value(), int(GetRValue(colour)));
}

void TestPalette::escapeClosesNothing()
{
    auto dlg = openDialog();
    dlg->FTrackBarR->setFocus();
    QTest::keyClick(dlg->FTrackBarR, Qt::Key_Escape);
    QVERIFY(dlg->isVisible());
    QCOMPARE(dlg->result(), 0);
    // Enter in an entry validates it, on a slider it does nothing; neither closes the dialog.
    dlg->FIntEditB->setFocus(Qt::TabFocusReason);
    QTest::keyClick(dlg->FIntEditB, Qt::Key_Return);
    QVERIFY(dlg->isVisible());
    dlg->FTrackBarG->setFocus(Qt::TabFocusReason);
    QTest::keyClick(dlg->FTrackBarG, Qt::Key_Return);
    QVERIFY(dlg->isVisible());
    QCOMPARE(dlg->result(), 0);
}

void TestPalette::picksRememberedBetweenOpenings()
{
    auto dlg = openDialog();
    QTest::mouseClick(dlg->FImgPalette1, Qt::LeftButton, {}, QPoint(5, 40));
    QTest::mouseClick(dlg->FImgPalette2, Qt::LeftButton, {}, QPoint(5, 30));
    QTest::mouseClick(dlg->FImgPalette3, Qt::LeftButton, {}, QPoint(5, 60));
    QCOMPARE(show(dlg->getPickedColor()), show(pickedFor(40, 30, 60)));
    dlg->FTrackBarR->setValue(3);
    QTest::mouseClick(dlg->FBtnCancel, Qt::LeftButton);
    QVERIFY(dlg->isHidden());

    dlg = openDialog(std::move(dlg));
    ColorPaletteProbe probe(*dlg);
    QCOMPARE(probe.pal1Pos(), 40);
    QCOMPARE(probe.pal2Pos(), 127);
    QCOMPARE(probe.pal3Pos(), 60);
    // Recomputed from the picks, with the fine-hue pick back in the middle; the slider's 3 is gone.
    const TColor expected = pickedFor(40, 127, 60);
    QCOMPARE(show(dlg->getPickedColor()), show(expected));
    QCOMPARE(show(entriesColor(*dlg)), show(expected));
    QCOMPARE(show(slidersColor(*dlg)), show(expected));
    QCOMPARE(show(panelColor(*dlg)), show(expected));
    for (TImageControl* marker : {dlg->FImgPal1toPal2, dlg->FImgPal2toPal3, dlg->FImgPal3Pos})
        QVERIFY(allPixels(marker->picture(), buttonFace(*dlg)));
}

void TestPalette::tabOrderAndFocus()
{
    auto dlg = openDialog();
    QCOMPARE(dlg->focusWidget(), dlg->FTrackBarR);
    QTRY_VERIFY(dlg->FTrackBarR->hasFocus());
    const QList<QWidget*> order = {dlg->FTrackBarG, dlg->FTrackBarB,  dlg->FIntEditR,           dlg->FIntEditG,
                                   dlg->FIntEditB,  dlg->FBtnOk,      dlg->FBtnCancel, dlg->FChkBoxTransparent,
                                   dlg->FTrackBarR};
    for (QWidget* next : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
    // A later opening returns to the control that had the focus when the dialog closed.
    dlg->FIntEditG->setFocus(Qt::TabFocusReason);
    dlg->reject();
    dlg = openDialog(std::move(dlg));
    QCOMPARE(dlg->focusWidget(), dlg->FIntEditG);
}

QTEST_MAIN(TestPalette)
#include "test_palette.moc"
