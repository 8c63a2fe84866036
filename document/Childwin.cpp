// SPDX-License-Identifier: MIT
#include "document/Childwin.h"

#include <QLabel>
#include <QMdiSubWindow>
#include <QScrollArea>
#include <QStatusBar>
#include <QVBoxLayout>
#include <algorithm>
#include <new>
#include <optional>

#include "platform/MessageBoxes.h"
#include "pictures/PictureFile.h"
#include "tools/UEditerData.h"

namespace {

constexpr int kStatusBarHeight = 19;
constexpr int kStatusPanelWidth = 50;
constexpr int kUndoLimit = 20;

QLabel* makeStatusPanel(QStatusBar* bar)
{
    auto* panel = new QLabel(bar);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    // 50 pixels, unless the font needs more to show the widest position, "(255,255)", whole.
    const int widest = panel->fontMetrics().horizontalAdvance(QStringLiteral("(255,255)")) + 2 * panel->frameWidth() + 4;
    panel->setFixedWidth(std::max(kStatusPanelWidth, widest));
    bar->addWidget(panel);
    return panel;
}

// A panel whose size may still change makes the status bar lay itself out and repaint whole at
// every new text, which costs a pen motion several times what its painting does. Once the bar has
// placed the panel it keeps that size, so it is fixed where it is and a new text repaints the
// panel alone.
void keepPanelSize(QLabel* panel)
{
    if (panel->isVisible() && panel->minimumHeight() != panel->height())
        panel->setFixedHeight(panel->height());
}

} // namespace

TMDIChild::TMDIChild(QWidget* parent) : QWidget(parent)
{
    setWindowTitle(QStringLiteral("MDI Child"));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);

    FScrBoxChild = new QScrollArea(this);
    FScrBoxChild->setFrameShape(QFrame::NoFrame);
    FScrBoxChild->setWidgetResizable(false);
    FScrBoxChild->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    FFrontImg = new TImageControl;
    FScrBoxChild->setWidget(FFrontImg);

    FStatBar = new QStatusBar(this);
    FStatBar->setSizeGripEnabled(false);
    FStatBar->setFixedHeight(kStatusBarHeight);
    FStatPanel0 = makeStatusPanel(FStatBar);
    FStatPanel1 = makeStatusPanel(FStatBar);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(FScrBoxChild, 1);
    layout->addWidget(FStatBar);

    FFrontImg->OnMouseDown = [this](TMouseButton b, TShiftState s, int x, int y) { FFrontImgMouseDown(b, s, x, y); };
    FFrontImg->OnMouseMove = [this](TShiftState s, int x, int y) { FFrontImgMouseMove(s, x, y); };
    FFrontImg->OnMouseUp = [this](TMouseButton b, TShiftState s, int x, int y) { FFrontImgMouseUp(b, s, x, y); };

    FormCreate();
}

TMDIChild::~TMDIChild()
{
    FormDestroy();
}

void TMDIChild::FormCreate()
{
    FChipBmp.setSize(0, 0);
    FBackBmp.setSize(0, 0);
    FFloatBmp.setSize(0, 0);
    FLinePts.clear();
    FUndoIndex = -1;
    FUndoList.clear();
}

void TMDIChild::FormDestroy()
{
    releaseToolState();
    FFrontImg->showMagnified(nullptr, 1, std::nullopt); // the chip goes before the control does
    FChipBmp = Bitmap();
    FBackBmp = Bitmap();
    FFloatBmp = Bitmap();
    FLinePts.clear();
    FUndoList.clear();
    FUndoIndex = -1;
}

// The tool state is shared by every window: an operation left pending in a window that goes
// away would otherwise keep all the others from changing tools or undoing.
void TMDIChild::releaseToolState()
{
    if (!holdsToolState())
        return;
    ToolData->FOwner = nullptr;
    ToolData->FBusy = false;
    ToolData->FFloating = false;
}

bool TMDIChild::holdsToolState() const
{
    return ToolData->FOwner == this;
}

void TMDIChild::claimToolState()
{
    ToolData->FOwner = this;
}

void TMDIChild::NewChip(const QString& Caption, int Width, int Height)
{
    setWindowTitle(Caption);
    FChipBmp.setSize(Width, Height);
    FSelected = false;
    resizeToView();
}

// Steps shared by a new chip and a loaded one: zoom 1, view and window sized to the chip,
// pointer state reset, and the chip recorded as an undo step.
void TMDIChild::resizeToView()
{
    setZoom(1);
    setClientSize(FFrontImg->width(), FFrontImg->height());
    resetPointerState();
    PushUndo();
}

void TMDIChild::resetPointerState()
{
    FFromPt = TPoint{0, 0};
    FToPt = TPoint{0, 0};
    FDragging = false;
    FSkipMouseMove = false;
    FLateEchoPt.reset();
    FSelected = false;
    FScrollDrag = false;
}

// The client area holds the status bar too, so the scroll box ends up shorter than the view.
void TMDIChild::setClientSize(int width, int height)
{
    FClientSize = QSize(width, height);
    // A maximized window goes on filling the area; it takes the size when it is restored.
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        sub->isMaximized() ? sub->updateGeometry() : sub->adjustSize();
    else
        resize(FClientSize);
}

QSize TMDIChild::sizeHint() const
{
    return FClientSize.isValid() ? FClientSize : QWidget::sizeHint();
}

void TMDIChild::LoadFromFile(const QString& FileName)
{
    // The reader keeps only the chip's part of a larger picture; running out of memory is one
    // more way for a file to be unreadable.
    Bitmap picture;
    try {
        if (!ReadPictureFile(FileName, picture, kMaxChipSide, kMaxChipSide))
            return;
    } catch (const std::bad_alloc&) {
        return;
    }
    FChipBmp = std::move(picture);
    FSourceFile = FileName;
    FSourceBlock = TRect{0, 0, FChipBmp.width(), FChipBmp.height()};
    FWrittenBmp.assign(FChipBmp);
    setWindowTitle(FileName);
    FSelected = false;
    resizeToView();
}

bool TMDIChild::LoadBlock(const QString& FileName, const TRect& Block)
{
    Bitmap picture;
    qint64 width = 0, height = 0;
    try {
        if (!ReadPictureSize(FileName, width, height) || !ReadPictureBlock(FileName, Block, picture))
            return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
    FChipBmp = std::move(picture);
    FSourceFile = FileName;
    FSourceBlock = Block;
    FWrittenBmp.assign(FChipBmp);
    const bool whole = Block.Left == 0 && Block.Top == 0 && Block.width() == width && Block.height() == height;
    setWindowTitle(whole ? FileName
                         : QStringLiteral("%1 (%2,%3 %4×%5)")
                               .arg(FileName).arg(Block.Left).arg(Block.Top).arg(Block.width()).arg(Block.height()));
    FSelected = false;
    resizeToView();
    return true;
}

TWriteBackResult TMDIChild::WriteBack(const TWriteBackConsent& Consent)
{
    const TWriteBackResult result = WritePictureBack(FSourceFile, FSourceBlock, FChipBmp, Consent);
    if (result.kind == TWriteBackResult::Written)
        FWrittenBmp.assign(FChipBmp);
    return result;
}

bool TMDIChild::HasUnwrittenChanges() const
{
    return HasSource() && !(FChipBmp == FWrittenBmp);
}

void TMDIChild::SaveToFile(const QString& FileName)
{
    WritePictureFile(FileName, FChipBmp);
}

void TMDIChild::ChangeTool(uint8_t Tool)
{
    if (FDragging)
        return;
    if (ToolData->FTool == ToolMove)
        CommitMove();
    if (ToolData->FBusy)
        return;
    if (Tool != ToolMove) {
        FSelected = false;
        RenderView();
    }
    ToolData->FFloating = false;
    ToolData->setTool(Tool);
    FFrontImg->update();
}

void TMDIChild::ConfirmTool()
{
    if (FDragging)
        return;
    if (ToolData->FTool == ToolMove) {
        CommitMove();
        ToolData->FFloating = false;
    }
    if (ToolData->FTool == ToolMask)
        FSelected = false; // the frame stays until the next redraw
}

// A paste that was never dragged stays floating in this window; a move press in another window
// starts afresh from that window's chip (BeginMove), so coming back here can still drag it.
void TMDIChild::FormDeactivate()
{
    if (ToolData->FTool == ToolMove && ToolData->FBusy) {
        CommitMove();
        ToolData->FFloating = false;
    }
}

// ---- Zoomed view and status line ----

void TMDIChild::setZoom(int Zoom)
{
    const int oldZoom = FZoom;
    FZoom = std::clamp(Zoom, 1, 16);
    KeepDragAcrossZoom(oldZoom);
    FStatPanel0->setText(QStringLiteral("×%1").arg(FZoom));
    RenderView();
}

// The view is not stored: the control paints what is on screen straight from the chip, so a
// redraw costs the visible area whatever the zoom. The frame's right and bottom sides lie on the
// first view column and row after the block, outside the view when it reaches the chip's edge.
void TMDIChild::RenderView()
{
    FFrontImg->showMagnified(&FChipBmp, FZoom, FSelected ? std::optional<TRect>(FSelRect) : std::nullopt);
}

void TMDIChild::ShowCursorPos(int X, int Y)
{
    const int zoom = std::max(FZoom, 1); // 0 until the window is given its chip
    const int x = X / zoom, y = Y / zoom;
    keepPanelSize(FStatPanel1);
    if (0 <= x && x < FChipBmp.width() && 0 <= y && y < FChipBmp.height())
        FStatPanel1->setText(QStringLiteral("(%1,%2)").arg(x).arg(y));
    else
        FStatPanel1->setText(QString());
}

// ---- Undo history ----

void TMDIChild::PushUndo()
{
    // A dropped snapshot lends its storage to the new one: a fresh chip-sized allocation on every
    // edit would cost more than the copy itself.
    std::unique_ptr<TChildUndoData> recycled;
    // Trimming comes first, so a full history loses its oldest step even when the redo
    // branch is about to be discarded as well.
    if (FUndoList.size() >= kUndoLimit) {
        recycled = std::move(FUndoList.front());
        FUndoList.erase(FUndoList.begin());
        --FUndoIndex;
    }
    ++FUndoIndex;
    if (FUndoIndex >= 0 && size_t(FUndoIndex) < FUndoList.size()) {
        if (!recycled)
            recycled = std::move(FUndoList[size_t(FUndoIndex)]);
        FUndoList.erase(FUndoList.begin() + FUndoIndex, FUndoList.end());
    }
    try {
        auto snapshot = recycled ? std::move(recycled) : std::make_unique<TChildUndoData>();
        snapshot->FBitmap->assign(FChipBmp);
        FUndoList.push_back(std::move(snapshot));
    } catch (const std::bad_alloc&) {
        // Skipped silently; FUndoIndex now points one past the last snapshot and Undo repairs it.
    }
}

bool TMDIChild::CanUndo() const
{
    return !FUndoList.empty() && FUndoIndex > 0 && !ToolData->FBusy;
}

void TMDIChild::Undo()
{
    if (!CanUndo())
        return;
    const int last = int(FUndoList.size()) - 1;
    if (FUndoIndex > last) {
        ShowErrorBox(this, QStringLiteral("エラー"), QStringLiteral("Undoのつじつまがあいません"));
        FUndoIndex = last;
        // With a single snapshot left there is nothing older to go back to.
        if (FUndoIndex < 1)
            return;
    }
    FChipBmp.assign(*FUndoList[size_t(FUndoIndex - 1)]->FBitmap);
    FUndoIndex = std::max(FUndoIndex - 1, -1);
    ForgetFloatingPaste();
    RenderView();
}

bool TMDIChild::CanRedo() const
{
    return !FUndoList.empty() && FUndoIndex > -1 && !ToolData->FBusy && FUndoIndex < int(FUndoList.size()) - 1;
}

void TMDIChild::Redo()
{
    if (!CanRedo())
        return;
    FChipBmp.assign(*FUndoList[size_t(FUndoIndex + 1)]->FBitmap);
    FUndoIndex = std::min(FUndoIndex + 1, int(FUndoList.size()) - 1);
    ForgetFloatingPaste();
    RenderView();
}
