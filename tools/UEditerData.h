// SPDX-License-Identifier: MIT
#pragma once
#include <cstdint>

#include "pictures/Bitmap.h"

class TMDIChild; // the chip window, named only: the tool state holds which one is busy

// Tool codes; code 1 belongs to no tool.
constexpr uint8_t ToolPen = 0;
constexpr uint8_t ToolMove = 2;
constexpr uint8_t ToolMask = 3;

// The editing state that every chip window shares. Nobody is notified of a change: whoever
// changes what the tool box shows asks it to refresh itself.
class TToolData {
public:
    TColor FColor = ClrBlack;
    uint8_t FTool = ToolPen;
    bool FLoop = false;
    // An operation spanning several pointer events is under way; see the chip window's tools.
    bool FBusy = false;
    // The move tool's base and floating pictures have been taken (by a first drag or a paste).
    bool FFloating = false;
    // The chip window whose stroke, pending move or paste holds FBusy and FFloating: a move is
    // committed with its own pictures, and a window that closes gives them back.
    TMDIChild* FOwner = nullptr;
    uint8_t FAlpha = 255;

    TColor getColor() const { return FColor; }
    // Any colour loses its top byte, but the transparent pen is a colour of its own.
    void setColor(TColor c) { FColor = c == ClrTransparent ? c : c & 0xFFFFFFu; }
    void setTool(uint8_t tool) { FTool = tool; }
};

// The single instance. It exists before the first window is created and outlives the last one.
extern TToolData* const ToolData;
