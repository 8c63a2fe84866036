// SPDX-License-Identifier: MIT
#include "tools/UColorPaletteDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QSlider>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <iterator>

#include "platform/Checkerboard.h"
#include "platform/DialogKeys.h"
#include "platform/ScreenPlacement.h"
#include "tools/UIntEdit.h"

TColorPaletteDlg* ColorPaletteDlg = nullptr;

TColor HueStripColor(int row)
{
    row = std::clamp(row, 0, HueStripRows - 1);
    const int t = 8 * (row % 32);
    const int up = PaletteBlend(0, 255, t);
    const int down = PaletteBlend(255, 0, t);
    switch (row / 32) {
    case 0: return RGBColor(255, 0, up);   // red to magenta
    case 1: return RGBColor(down, 0, 255); // magenta to blue
    case 2: return RGBColor(0, up, 255);   // blue to cyan
    case 3: return RGBColor(0, 255, down); // cyan to green
    case 4: return RGBColor(up, 255, 0);   // green to yellow
    default: return RGBColor(255, down, 0); // yellow to red
    }
}

TColor FineHueStripColor(TColor upper, TColor middle, TColor lower, int row)
{
    row = std::clamp(row, 0, FineStripRows - 1);
    // Two straight ramps through the three samples, not a resampling of the hue rows between them.
    if (row < 128)
        return PaletteBlendColor(upper, middle, 2 * row);
    return PaletteBlendColor(middle, lower, 2 * (row - 128));
}

TColor ShadeStripColor(TColor middle, int row)
{
    row = std::clamp(row, 0, FineStripRows - 1);
    if (row < 128)
        return PaletteBlendColor(ClrWhite, middle, 2 * row);
    return PaletteBlendColor(middle, ClrBlack, 2 * (row - 128));
}

namespace {

constexpr int MarkerWidth = 22;
constexpr int MarkerHeight = 257;

// A one-pixel line from (x0, y0) up to but not including (x1, y1), as GDI's LineTo draws it.
void DrawLineExcludingEnd(Bitmap& bmp, int x0, int y0, int x1, int y1, TColor c)
{
    const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    while (x0 != x1 || y0 != y1) {
        bmp.setPixel(x0, y0, c);
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

// Strips are painted a row at a time, one colour across the full width.
template <class ColorOfRow>
void PaintRows(Bitmap& bmp, ColorOfRow colorOf)
{
    for (int y = 0; y < bmp.height(); ++y)
        bmp.fillRect(TRect{0, y, bmp.width(), y + 1}, colorOf(y));
}

// Colours are read back from column 0 of a strip; the row is kept inside the strip whatever
// the pointer did.
TColor StripColorAt(const TImageControl* strip, int row)
{
    return strip->picture().pixel(0, std::clamp(row, 0, strip->picture().height() - 1));
}

TImageControl* MakeStrip(QWidget* parent, int x, int y, int w, int h)
{
    auto* strip = new TImageControl(parent);
    strip->move(x, y);
    strip->setPictureSize(w, h);
    strip->setFocusPolicy(Qt::NoFocus);
    return strip;
}

// A strip inside a lowered bevel frame one pixel wider on each side.
TImageControl* MakeFramedStrip(QWidget* parent, int x, int y, int w, int h)
{
    auto* frame = new QFrame(parent);
    frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    frame->setLineWidth(1);
    frame->setGeometry(x - 1, y - 1, w + 2, h + 2);
    return MakeStrip(frame, 1, 1, w, h);
}

TIntEdit* MakeEntry(QWidget* parent, int y)
{
    auto* edit = new TIntEdit(parent);
    edit->setGeometry(168, y, 57, 20);
    edit->setMaxValue(255);
    edit->setMinValue(0);
    edit->setShowName(QString());
    return edit;
}

QSlider* MakeTrackBar(QWidget* parent, int y)
{
    auto* trackBar = new QSlider(Qt::Horizontal, parent);
    trackBar->setGeometry(232, y, 150, 33);
    trackBar->setRange(0, 255);
    trackBar->setValue(0);
    trackBar->setPageStep(32);
    trackBar->setTickInterval(32);
    trackBar->setTickPosition(QSlider::TicksAbove);
    trackBar->setFocusPolicy(Qt::StrongFocus);
    return trackBar;
}

QPushButton* MakeButton(QWidget* parent, const QString& text, int y)
{
    auto* button = new QPushButton(text, parent);
    button->setGeometry(304, y, 75, 25);
    // Neither button answers Enter: Enter belongs to the entries.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

} // namespace

TColorPaletteDlg::TColorPaletteDlg(QWidget* parent) : QDialog(parent)
{
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("カラーパレット"));
    setModal(true);
    setFixedSize(389, 283);
    move(275, 106);
    KeepInsideScreenWhenShown(this);

    FImgPalette1 = MakeFramedStrip(this, 17, 17, StripWidth, HueStripRows);
    FImgPal1toPal2 = MakeStrip(this, 34, 16, MarkerWidth, MarkerHeight);
    FImgPalette2 = MakeFramedStrip(this, 57, 17, StripWidth, FineStripRows);
    FImgPal2toPal3 = MakeStrip(this, 74, 16, MarkerWidth, MarkerHeight);
    FImgPalette3 = MakeFramedStrip(this, 97, 17, StripWidth, FineStripRows);
    FImgPal3Pos = MakeStrip(this, 114, 16, MarkerWidth, MarkerHeight);

    FPanelColor = new QFrame(this);
    FPanelColor->setGeometry(160, 16, 73, 33);
    FPanelColor->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    FPanelColor->setAutoFillBackground(true);

    const int rowY[3] = {192, 216, 248};
    const QString captions[3] = {QStringLiteral("R："), QStringLiteral("G："), QStringLiteral("B：")};
    for (int i = 0; i < 3; ++i) {
        auto* label = new QLabel(captions[i], this);
        label->move(144, rowY[i]);
    }
    // Created in tab order: the sliders, then the entries, then the buttons.
    FTrackBarR = MakeTrackBar(this, 176);
    FTrackBarG = MakeTrackBar(this, 208);
    FTrackBarB = MakeTrackBar(this, 240);
    FIntEditR = MakeEntry(this, 184);
    FIntEditG = MakeEntry(this, 216);
    FIntEditB = MakeEntry(this, 248);
    FBtnOk = MakeButton(this, QStringLiteral("OK"), 16);
    FBtnCancel = MakeButton(this, QStringLiteral("キャンセル"), 56);
    // Transparency is a colour of the pen of its own, not a channel: the strips and entries keep
    // the colour that a pick of any of them brings back.
    FChkBoxTransparent = new QCheckBox(QStringLiteral("透明色(&T)"), this);
    FChkBoxTransparent->move(160, 60);
    QWidget* tabOrder[] = {FTrackBarR, FTrackBarG, FTrackBarB, FIntEditR, FIntEditG,
                           FIntEditB,  FBtnOk,     FBtnCancel, FChkBoxTransparent};
    for (size_t i = 0; i + 1 < std::size(tabOrder); ++i)
        setTabOrder(tabOrder[i], tabOrder[i + 1]);
    // The red slider has the focus at the first opening. A hidden window keeps its focus widget,
    // so later openings return to the control that had it last.
    FTrackBarR->setFocus();

    FImgPalette1->OnMouseDown = std::bind_front(&TColorPaletteDlg::FImgPalette1MouseDown, this);
    FImgPalette1->OnMouseMove = std::bind_front(&TColorPaletteDlg::FImgPalette1MouseMove, this);
    FImgPalette2->OnMouseDown = std::bind_front(&TColorPaletteDlg::FImgPalette2MouseDown, this);
    FImgPalette2->OnMouseMove = std::bind_front(&TColorPaletteDlg::FImgPalette2MouseMove, this);
    FImgPalette3->OnMouseDown = std::bind_front(&TColorPaletteDlg::FImgPalette3MouseDown, this);
    FImgPalette3->OnMouseMove = std::bind_front(&TColorPaletteDlg::FImgPalette3MouseMove, this);

    connect(FTrackBarR, &QSlider::valueChanged, this, [this] { FTrackBarRChange(); });
    connect(FTrackBarG, &QSlider::valueChanged, this, [this] { FTrackBarGChange(); });
    connect(FTrackBarB, &QSlider::valueChanged, this, [this] { FTrackBarBChange(); });
    connect(FIntEditR, &TIntEdit::Change, this, [this] { FIntEditRChange(); });
    connect(FIntEditG, &TIntEdit::Change, this, [this] { FIntEditGChange(); });
    connect(FIntEditB, &TIntEdit::Change, this, [this] { FIntEditBChange(); });
    connect(qApp, &QApplication::focusChanged, this, &TColorPaletteDlg::FocusChanged);
    connect(FChkBoxTransparent, &QCheckBox::toggled, this, [this] { UpdateColorPanel(); });
    // Whoever picks a colour wants that colour, not transparency: a press on a strip, a slider or a
    // typed number unticks it. Opening the dialog again, which sets the entries itself, does not.
    const auto colourPicked = [this] { FChkBoxTransparent->setChecked(false); };
    for (QSlider* slider : {FTrackBarR, FTrackBarG, FTrackBarB})
        connect(slider, &QSlider::actionTriggered, this, colourPicked);
    for (TIntEdit* entry : {FIntEditR, FIntEditG, FIntEditB})
        connect(entry, &QLineEdit::textEdited, this, colourPicked);
    connect(FBtnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(FBtnCancel, &QPushButton::clicked, this, &QDialog::reject);
    FBtnOk->installEventFilter(this);
    FBtnCancel->installEventFilter(this);

    FormCreate();
}

TColorPaletteDlg::~TColorPaletteDlg()
{
    // The application outlives the dialog and moves the focus while the base class tears the
    // controls down; by then this part of the object is gone.
    disconnect(qApp, &QApplication::focusChanged, this, nullptr);
}

void TColorPaletteDlg::FormCreate()
{
    FPal1Pos = 0;
}

TColor TColorPaletteDlg::getPickedColor() const
{
    if (FChkBoxTransparent->isChecked())
        return ClrTransparent;
    return RGBColor(FIntEditR->Value(), FIntEditG->Value(), FIntEditB->Value());
}

void TColorPaletteDlg::showEvent(QShowEvent* event)
{
    // A spontaneous show is the window system restoring the window, not an opening.
    if (!event->spontaneous())
        FormShow();
    QDialog::showEvent(event);
}

void TColorPaletteDlg::keyPressEvent(QKeyEvent* event)
{
    if (!HandleDialogKey(this, event))
        QDialog::keyPressEvent(event);
}

void TColorPaletteDlg::FormShow()
{
    DrawPalette1();
    // Recomputes the colour from the remembered picks; what the entries held is discarded.
    DrawPalette2();
    // The markers, including the connector just drawn, appear only with the first pick.
    for (TImageControl* strip : {FImgPal1toPal2, FImgPal2toPal3, FImgPal3Pos})
        ClearMarker(strip);
}

void TColorPaletteDlg::DrawPalette1()
{
    Bitmap& bmp = FImgPalette1->picture();
    bmp.setSize(StripWidth, HueStripRows);
    PaintRows(bmp, HueStripColor);
    FImgPalette1->update();
}

void TColorPaletteDlg::DrawPalette2()
{
    const TColor upper = StripColorAt(FImgPalette1, HueStripUpperRow(FPal1Pos));
    const TColor middle = StripColorAt(FImgPalette1, FPal1Pos);
    const TColor lower = StripColorAt(FImgPalette1, HueStripLowerRow(FPal1Pos));
    Bitmap& bmp = FImgPalette2->picture();
    bmp.setSize(StripWidth, FineStripRows);
    PaintRows(bmp, [&](int row) { return FineHueStripColor(upper, middle, lower, row); });
    FImgPalette2->update();
    FPal2Pos = 127;
    DrawPalette3();
}

void TColorPaletteDlg::DrawPalette3()
{
    const TColor middle = StripColorAt(FImgPalette2, FPal2Pos);
    Bitmap& bmp = FImgPalette3->picture();
    bmp.setSize(StripWidth, FineStripRows);
    PaintRows(bmp, [&](int row) { return ShadeStripColor(middle, row); });
    FImgPalette3->update();
    DrawMarker(FImgPal2toPal3, FPal2Pos, 127);
    TakePalette3Color();
}

void TColorPaletteDlg::TakePalette3Color()
{
    const TColor c = StripColorAt(FImgPalette3, FPal3Pos);
    // Each write that changes an entry's text moves its slider through the entry's change handler.
    FIntEditR->setValue(GetRValue(c));
    FIntEditG->setValue(GetGValue(c));
    FIntEditB->setValue(GetBValue(c));
    UpdateColorPanel();
}

void TColorPaletteDlg::UpdateColorPanel()
{
    QPalette pal = FPanelColor->palette();
    pal.setBrush(QPalette::Window, ColourBrush(getPickedColor()));
    FPanelColor->setPalette(pal);
}

void TColorPaletteDlg::ClearMarker(TImageControl* strip)
{
    Bitmap& bmp = strip->picture();
    bmp.setSize(MarkerWidth, MarkerHeight);
    bmp.fill(QRgbToColor(palette().color(QPalette::Button).rgb()));
    strip->update();
}

void TColorPaletteDlg::DrawMarker(TImageControl* strip, int fromY, int toY)
{
    ClearMarker(strip);
    DrawLineExcludingEnd(strip->picture(), 0, fromY, MarkerWidth - 1, toY, ClrBlack);
}

void TColorPaletteDlg::Palette1Pick(int Y)
{
    FPal1Pos = std::clamp(Y, 0, HueStripRows - 1);
    DrawPalette2();
    DrawMarker(FImgPal1toPal2, FPal1Pos, 127);
}

void TColorPaletteDlg::Palette3Pick(int Y)
{
    FPal3Pos = std::clamp(Y, 0, FineStripRows - 1);
    TakePalette3Color();
    DrawMarker(FImgPal3Pos, FPal3Pos, FPal3Pos);
}

void TColorPaletteDlg::FImgPalette1MouseDown(TMouseButton, TShiftState, int X, int Y)
{
    FChkBoxTransparent->setChecked(false);
    const Bitmap& bmp = FImgPalette1->picture();
    if (X < 0 || X >= bmp.width() || Y < 0 || Y >= bmp.height())
        return;
    Palette1Pick(Y);
}

void TColorPaletteDlg::FImgPalette1MouseMove(TShiftState Shift, int, int Y)
{
    // Only a plain left-button drag picks; a drag with another button or a key held does nothing.
    if (Shift != ssLeft)
        return;
    Palette1Pick(Y);
}

void TColorPaletteDlg::FImgPalette2MouseDown(TMouseButton, TShiftState, int, int Y)
{
    FChkBoxTransparent->setChecked(false);
    FPal2Pos = std::clamp(Y, 0, FineStripRows - 1);
    DrawPalette3();
}

void TColorPaletteDlg::FImgPalette2MouseMove(TShiftState Shift, int, int Y)
{
    if (Shift != ssLeft)
        return;
    FPal2Pos = std::clamp(Y, 0, FineStripRows - 1);
    DrawPalette3();
}

void TColorPaletteDlg::FImgPalette3MouseDown(TMouseButton, TShiftState, int, int Y)
{
    FChkBoxTransparent->setChecked(false);
    Palette3Pick(Y);
}

void TColorPaletteDlg::FImgPalette3MouseMove(TShiftState Shift, int, int Y)
{
    if (Shift != ssLeft)
        return;
    Palette3Pick(Y);
}

void TColorPaletteDlg::TrackBarChanged(QSlider* trackBar, TIntEdit* edit)
{
    edit->setValue(trackBar->value());
    UpdateColorPanel();
}

void TColorPaletteDlg::IntEditChanged(QSlider* trackBar, TIntEdit* edit)
{
    // Value is still the last accepted number while the user types, so nothing follows keystrokes.
    trackBar->setValue(edit->Value());
    UpdateColorPanel();
}

bool TColorPaletteDlg::IntEditLeft(QSlider* trackBar, TIntEdit* edit)
{
    // An accepted text equal to the shown one raises no change event; carry it over by hand.
    if (!edit->ValidateText())
        return false;
    IntEditChanged(trackBar, edit);
    return true;
}

bool TColorPaletteDlg::LeaveEntry(QWidget* entry)
{
    const bool accepted = entry == FIntEditR   ? FIntEditRExit()
                          : entry == FIntEditG ? FIntEditGExit()
                                               : FIntEditBExit();
    if (!accepted)
        FEnteredEntry = entry; // the range message has sent the focus back into it
    return accepted;
}

void TColorPaletteDlg::FocusChanged(QWidget*, QWidget* now)
{
    // Only a move of the focus to another control of this dialog leaves an entry; the dialog
    // losing activation (to the range message itself, for one) does not.
    if (!now || now->window() != this)
        return;
    QWidget* left = FEnteredEntry;
    const bool toEntry = now == FIntEditR || now == FIntEditG || now == FIntEditB;
    FEnteredEntry = toEntry ? now : nullptr;
    if (!left || left == now || LeaveEntry(left))
        return;
    // A press on OK or Cancel that moved the focus out of a rejected entry is still on its way to
    // the button. The range message has sent the focus back, so the press must not go on to
    // close the dialog (with colours the user was just told are wrong) or leave the button
    // stuck down after the message swallowed its release.
    if (now == FBtnOk || now == FBtnCancel) {
        FPressToDrop = now;
        QTimer::singleShot(0, this, [this] { FPressToDrop = nullptr; });
    }
}

bool TColorPaletteDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::MouseButtonPress)
        return QDialog::eventFilter(watched, event);
    if (watched == FPressToDrop) {
        FPressToDrop = nullptr;
        return true;
    }
    // A click on a button of an inactive dialog moves the focus there without the application
    // telling anybody; the entry that had the focus is left here, before the button acts.
    if (QWidget* left = FEnteredEntry) {
        FEnteredEntry = nullptr;
        if (!LeaveEntry(left))
            return true;
    }
    return QDialog::eventFilter(watched, event);
}
