// SPDX-License-Identifier: MIT
#pragma once
#include <QDialog>

#include "pictures/Bitmap.h"
#include "platform/ImageControl.h"

class QCheckBox;
class QFrame;
class QPushButton;
class QSlider;
class TIntEdit;

// The strip arithmetic, apart from the widgets. All of it works per channel on 0..255.

// The one blend of every strip. The weights add up to 255, not 256, so a full channel blended at
// t = 0 gives 254: the strips never reach pure white or full-strength colours, and the colours
// picked from them carry that, as users of the program have always seen. t runs 0..254.
constexpr int PaletteBlend(int a, int b, int t)
{
    return (a * (255 - t) + b * t) / 256;
}
constexpr TColor PaletteBlendColor(TColor a, TColor b, int t)
{
    return RGBColor(PaletteBlend(GetRValue(a), GetRValue(b), t), PaletteBlend(GetGValue(a), GetGValue(b), t),
                    PaletteBlend(GetBValue(a), GetBValue(b), t));
}

constexpr int HueStripRows = 192;
constexpr int FineStripRows = 256;
constexpr int StripWidth = 16;

// Row 0..191 of the hue strip: one turn of the hue circle, 32 rows per sixth.
TColor HueStripColor(int row);
// The rows of the hue strip that bound the fine-hue strip around a pick: a quarter of the
// circle centred on it, wrapping round the strip's ends.
constexpr int HueStripUpperRow(int pick) { return pick - 24 < 0 ? pick - 24 + HueStripRows : pick - 24; }
constexpr int HueStripLowerRow(int pick) { return (pick + 24) % HueStripRows; }
// Row 0..255 of the fine-hue strip built from the three samples of the hue strip.
TColor FineHueStripColor(TColor upper, TColor middle, TColor lower, int row);
// Row 0..255 of the strip running from white through middle to black.
TColor ShadeStripColor(TColor middle, int row);

// The modal colour palette dialog. Three strips narrow the colour down (hue, nearby hue, light
// to dark); the pick fills the red, green and blue entries, each coupled to a slider.
class TColorPaletteDlg : public QDialog {
    Q_OBJECT
public:
    explicit TColorPaletteDlg(QWidget* parent = nullptr);
    ~TColorPaletteDlg() override;
    // The colour of the three entries' accepted values, not of their texts; ClrTransparent when
    // transparency is ticked.
    TColor getPickedColor() const;

    TImageControl* FImgPalette1 = nullptr;
    TImageControl* FImgPal1toPal2 = nullptr;
    TImageControl* FImgPalette2 = nullptr;
    TImageControl* FImgPal2toPal3 = nullptr;
    TImageControl* FImgPalette3 = nullptr;
    TImageControl* FImgPal3Pos = nullptr;
    QFrame* FPanelColor = nullptr;
    TIntEdit* FIntEditR = nullptr;
    TIntEdit* FIntEditG = nullptr;
    TIntEdit* FIntEditB = nullptr;
    QSlider* FTrackBarR = nullptr;
    QSlider* FTrackBarG = nullptr;
    QSlider* FTrackBarB = nullptr;
    QPushButton* FBtnOk = nullptr;
    QPushButton* FBtnCancel = nullptr;
    QCheckBox* FChkBoxTransparent = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void DrawPalette1();
    void DrawPalette2();
    void DrawPalette3();
    void TakePalette3Color();
    void UpdateColorPanel();
    void DrawMarker(TImageControl* strip, int fromY, int toY);
    void ClearMarker(TImageControl* strip);

    void FImgPalette1MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    void FImgPalette1MouseMove(TShiftState Shift, int X, int Y);
    void FImgPalette2MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    void FImgPalette2MouseMove(TShiftState Shift, int X, int Y);
    void FImgPalette3MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    void FImgPalette3MouseMove(TShiftState Shift, int X, int Y);
    void Palette1Pick(int Y);
    void Palette3Pick(int Y);

    void FTrackBarRChange() { TrackBarChanged(FTrackBarR, FIntEditR); }
    void FTrackBarGChange() { TrackBarChanged(FTrackBarG, FIntEditG); }
    void FTrackBarBChange() { TrackBarChanged(FTrackBarB, FIntEditB); }
    void FIntEditRChange() { IntEditChanged(FTrackBarR, FIntEditR); }
    void FIntEditGChange() { IntEditChanged(FTrackBarG, FIntEditG); }
    void FIntEditBChange() { IntEditChanged(FTrackBarB, FIntEditB); }
    bool FIntEditRExit() { return IntEditLeft(FTrackBarR, FIntEditR); }
    bool FIntEditGExit() { return IntEditLeft(FTrackBarG, FIntEditG); }
    bool FIntEditBExit() { return IntEditLeft(FTrackBarB, FIntEditB); }
    // The three entry-slider couplings are alike; each takes the pair it serves.
    void TrackBarChanged(QSlider* trackBar, TIntEdit* edit);
    void IntEditChanged(QSlider* trackBar, TIntEdit* edit);
    // False when the entry's text was rejected and the focus sent back to it.
    bool IntEditLeft(QSlider* trackBar, TIntEdit* edit);
    bool LeaveEntry(QWidget* entry);
    void FocusChanged(QWidget* old, QWidget* now);

    // The entry that last took the focus in this dialog and has not been left since.
    QWidget* FEnteredEntry = nullptr;
    // A button press to swallow: see FocusChanged.
    QWidget* FPressToDrop = nullptr;

    int FPal1Pos = 0;
    int FPal2Pos = 0;
    int FPal3Pos = 0;

    friend struct ColorPaletteProbe; // tests read the picked rows through it
};

extern TColorPaletteDlg* ColorPaletteDlg;
