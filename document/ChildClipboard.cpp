// SPDX-License-Identifier: MIT
// Clipboard exchange.
#include "document/Childwin.h"

#include <algorithm>

#include "document/ChipHost.h"
#include "platform/Clipboard.h"
#include "tools/UEditerData.h"

void TMDIChild::CopyToClipboard()
{
    if (ToolData->FBusy)
        return;
    if (!FSelected) {
        if (!FChipBmp.isEmpty())
            ClipboardSetBitmap(FChipBmp);
        return;
    }
    if (FSelRect.width() <= 0 || FSelRect.height() <= 0)
        return;
    // The picture has the selection's size; where the selection reaches past the chip (after an
    // undo to a smaller chip) it stays white.
    Bitmap picture(FSelRect.width(), FSelRect.height());
    picture.copyRect(0, 0, FChipBmp, FSelRect);
    ClipboardSetBitmap(picture);
}

void TMDIChild::PasteFromClipboard()
{
    // A held button would make the switch to the move tool below refuse.
    if (ToolData->FBusy || FDragging)
        return;
    if (!ClipboardHasBitmap())
        return;
    // Only the part that lands in the chip is read, whatever the size of the clipboard picture.
    Bitmap picture;
    if (!ClipboardGetBitmap(picture, FChipBmp.width(), FChipBmp.height()))
        return;
    const TRect landed{0, 0, std::min(FChipBmp.width(), picture.width()), std::min(FChipBmp.height(), picture.height())};

    // The base is the chip before the paste: moving the picture away uncovers what was there.
    FBackBmp.assign(FChipBmp);
    FChipBmp.copyRect(0, 0, picture, landed);
    FFloatBmp = Bitmap(landed.width(), landed.height());
    FFloatBmp.copyRect(0, 0, picture, landed);
    picture = Bitmap();

    FSelected = true;
    FSelRect = landed;
    // Through the main window's command, so the tool box shows the move tool as well.
    if (TChipHost* host = ChipHost())
        host->ChangeToolMove();
    else
        ChangeTool(ToolMove);
    // Set after the tool change, which clears it. This window now holds the floating picture and
    // gives the flag back if it is closed before the picture is moved.
    claimToolState();
    ToolData->FFloating = true;
    RenderView();
}
