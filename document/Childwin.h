// SPDX-License-Identifier: MIT
#pragma once
#include <QWidget>
#include <memory>
#include <optional>
#include <vector>

#include "pictures/Bitmap.h"
#include "pictures/Geometry.h"
#include "pictures/WriteBack.h"
#include "platform/ImageControl.h"

class QLabel;
class QScrollArea;
class QStatusBar;

// One undo snapshot: a full copy of the chip.
class TChildUndoData {
public:
    TChildUndoData() : FBitmap(std::make_unique<Bitmap>()) {}
    std::unique_ptr<Bitmap> FBitmap;
};

// A chip is at most this many pixels wide and high; a loaded picture is cut to it.
constexpr int kMaxChipSide = 256;

// A chip and its document window: the pixels, the working bitmaps of the pointer tools,
// the magnified view and the undo history.
class TMDIChild : public QWidget {
    Q_OBJECT
public:
    explicit TMDIChild(QWidget* parent = nullptr);
    ~TMDIChild() override;

    // Lifecycle.
    void NewChip(const QString& Caption, int Width, int Height);
    void LoadFromFile(const QString& FileName);
    // Opens the block of the picture in the file as the chip, captioned with the file and, where
    // the block is not the whole picture, the block. False, the chip unchanged, when the file
    // cannot be read or does not hold the block.
    bool LoadBlock(const QString& FileName, const TRect& Block);
    void SaveToFile(const QString& FileName);
    // Where the chip was read from: its file, and its block in the picture there. A new chip, or
    // one whose file could not be read, has none.
    bool HasSource() const { return !FSourceFile.isEmpty(); }
    const QString& SourceFile() const { return FSourceFile; }
    const TRect& SourceBlock() const { return FSourceBlock; }
    // Writes the chip back into its block of its file (HasSource), the rest of the file kept.
    TWriteBackResult WriteBack(const TWriteBackConsent& Consent);
    // Whether the chip differs from its block as last read or written back (HasSource).
    bool HasUnwrittenChanges() const;
    void ChangeTool(uint8_t Tool);
    void ConfirmTool();
    void FormDeactivate();

    // Zoomed view and status line.
    int getZoom() const { return FZoom; }
    void setZoom(int Zoom);
    void RenderView();
    void ShowCursorPos(int X, int Y);

    // Undo history.
    void PushUndo();
    bool CanUndo() const;
    void Undo();
    bool CanRedo() const;
    void Redo();

    // Clipboard exchange.
    void CopyToClipboard();
    void PasteFromClipboard();

    // Pointer events of the view, in view coordinates.
    void FFrontImgMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    void FFrontImgMouseMove(TShiftState Shift, int X, int Y);
    void FFrontImgMouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);

    // The chip itself. Public because the tile preview copies it.
    Bitmap FChipBmp;

    TImageControl* frontImage() const { return FFrontImg; }
    QSize sizeHint() const override;

private:
    friend struct ChildwinProbe; // tests read the private state through it

    QString FSourceFile;
    TRect FSourceBlock;
    // The chip's pixels as its block of the file last held them.
    Bitmap FWrittenBmp;

    void FormCreate();
    void FormDestroy();
    void resizeToView();
    void setClientSize(int width, int height);
    void resetPointerState();
    // This window becomes, or stops being, the tool state's FOwner; a window closed with its
    // operation unfinished gives FBusy and FFloating back.
    void claimToolState();
    void releaseToolState();
    bool holdsToolState() const;

    // Pen strokes and loop mode.
    void BeginStroke(int X, int Y);
    void PenMove(int X, int Y);
    void DrawSegment(TPoint From, TPoint To);
    void DrawPenSegment(TPoint From, TPoint To);
    void BuildLinePts(int X0, int Y0, int X1, int Y1);
    void BlendPixel(int X, int Y, uint8_t Alpha);
    void PickColor(int X, int Y);

    // Move tool and the pen's Ctrl scroll.
    void BeginMove(int X, int Y);
    void DragMove(int X, int Y);
    // The chip pixels a drag from FFromPt to (X, Y) shifts the picture by, before any wrap.
    struct TDragShift {
        int64_t X = 0;
        int64_t Y = 0;
        friend bool operator==(const TDragShift&, const TDragShift&) = default;
    };
    TDragShift DragShift(int X, int Y) const;
    // False when a motion to (X, Y) leaves the picture where it is shown.
    bool ShiftChanges(int X, int Y);
    void DrawMoved(int X, int Y);
    void CommitMove();
    void BeginScroll(int X, int Y);
    void ScrollMove(int X, int Y);
    void EndScroll();
    // Called by setZoom: keeps a pending move, a scroll or a selection anchor in place in chip pixels.
    void KeepDragAcrossZoom(int OldZoom);
    // Called by Undo and Redo: a paste not yet dragged no longer floats over the chip shown.
    void ForgetFloatingPaste();

    // Selection tool.
    void BeginSelect(int X, int Y);
    void DragSelect(int X, int Y);
    void EndSelect();

    QStatusBar* FStatBar = nullptr;
    QLabel* FStatPanel0 = nullptr;
    QLabel* FStatPanel1 = nullptr;
    QScrollArea* FScrBoxChild = nullptr;
    TImageControl* FFrontImg = nullptr;
    QSize FClientSize;

    int32_t FUndoIndex = 0;
    std::vector<std::unique_ptr<TChildUndoData>> FUndoList;
    bool FSkipMouseMove = false;
    // Where a warp sent the pointer when a motion from elsewhere came instead of its echo.
    std::optional<TPoint> FLateEchoPt;
    TPoint FFromPt;
    TPoint FToPt;
    // The shift the chip shows during a move or scroll drag, unknown until the drag's first
    // motion draws it.
    std::optional<TDragShift> FShownShift;
    bool FDragging = false;
    bool FScrollDrag = false;
    bool FSelected = false;
    TRect FSelRect;
    // FChipBmp is declared above, in the public section.
    Bitmap FBackBmp;
    Bitmap FFloatBmp;
    int32_t FZoom = 0;
    std::vector<TPoint> FLinePts;
};
