// SPDX-License-Identifier: MIT
// Selection tool.
#include "document/Childwin.h"

#include <algorithm>

#include "tools/UEditerData.h"

void TMDIChild::BeginSelect(int X, int Y)
{
    FDragging = true;
    ToolData->FBusy = true;
    FFromPt = TPoint{X, Y};
    FSelected = false;
    // The press alone selects nothing and draws nothing: an earlier frame stays on screen until
    // the next redraw.
    const int zoom = std::max(FZoom, 1);
    FSelRect = TRect{X / zoom, Y / zoom, X / zoom, Y / zoom};
}

void TMDIChild::DragSelect(int X, int Y)
{
    if (!FDragging)
        return;
    const int zoom = std::max(FZoom, 1);
    const int viewW = FChipBmp.width() * zoom, viewH = FChipBmp.height() * zoom;
    // A chip without pixels has nothing to select.
    if (viewW <= 0 || viewH <= 0)
        return;
    FSelected = true;
    FToPt = TPoint{std::clamp(X, 0, viewW - 1), std::clamp(Y, 0, viewH - 1)};
    // The anchor lies in the view when the press was a real one; clamping it as well keeps the
    // block inside the chip whatever called us, so a copy never reads past the chip.
    const int fromX = std::clamp(FFromPt.X, 0, viewW - 1), fromY = std::clamp(FFromPt.Y, 0, viewH - 1);
    // Normalised, and both corner pixels included.
    FSelRect.Left = std::min(fromX, FToPt.X) / zoom;
    FSelRect.Right = std::max(fromX, FToPt.X) / zoom + 1;
    FSelRect.Top = std::min(fromY, FToPt.Y) / zoom;
    FSelRect.Bottom = std::max(fromY, FToPt.Y) / zoom + 1;
    RenderView();
}

void TMDIChild::EndSelect()
{
    FDragging = false;
    ToolData->FBusy = false;
}
