// Pointer dispatch of the chip view, pen strokes and loop mode.
#include "document/Childwin.h"
#include "tools/UEditerData.h"

// Every button acts alike; of the modifiers only Alt and Ctrl count, and only at a pen press.
void TMDIChild::FFrontImgMouseDown(TMouseButton, TShiftState Shift, int X, int Y)
{
    claimToolState();
    switch (ToolData->FTool) {
    case ToolPen:
        FDragging = true;
        FScrollDrag = false;
        if (Shift & ssAlt) {
            FDragging = false;
            PickColor(X, Y);
        } else if (Shift & ssCtrl) {
            FScrollDrag = true;
            BeginScroll(X, Y);
        } else {
            BeginStroke(X, Y);
        }
        break;
    case ToolMove:
        FDragging = true;
        BeginMove(X, Y);
        break;
    case ToolMask:
        FDragging = true;
        BeginSelect(X, Y);
        break;
    default:
        break;
    }
}

// Motion runs its operation with or without a button held; each operation checks FDragging.
void TMDIChild::FFrontImgMouseMove(TShiftState, int X, int Y)
{
    switch (ToolData->FTool) {
    case ToolPen:
        if (FScrollDrag)
            ScrollMove(X, Y);
        else
            PenMove(X, Y);
        break;
    case ToolMove:
        DragMove(X, Y);
        break;
    case ToolMask:
        DragSelect(X, Y);
        break;
    default:
        break;
    }
}

void TMDIChild::FFrontImgMouseUp(TMouseButton, TShiftState, int, int)
{
    switch (ToolData->FTool) {
    case ToolPen:
        FDragging = false;
        if (FScrollDrag) {
            EndScroll();
        } else {
            ToolData->FBusy = false;
            PushUndo();
        }
        break;
    case ToolMove:
        FDragging = false; // the move stays pending until it is committed
        break;
    case ToolMask:
        FDragging = false;
        EndSelect();
        break;
    default:
        break;
    }
}
void TMDIChild::BeginStroke(int, int) {}
void TMDIChild::PenMove(int, int) {}
void TMDIChild::DrawSegment(TPoint, TPoint) {}
void TMDIChild::DrawPenSegment(TPoint, TPoint) {}
void TMDIChild::BuildLinePts(int, int, int, int) {}
void TMDIChild::BlendPixel(int, int, uint8_t) {}
void TMDIChild::PickColor(int, int) {}
