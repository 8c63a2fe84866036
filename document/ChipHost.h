// SPDX-License-Identifier: MIT
#pragma once

// What a chip window needs of the program around it. The main window fills it in; the chip
// window never includes the main window's header.
class TChipHost {
public:
    virtual ~TChipHost() = default;
    // The tool state changed under the tool box (a colour pick); show it again.
    virtual void UpdateFromToolData() = 0;
    // Run the move-tool command exactly as its shortcut does (a paste switches to the move tool).
    virtual void ChangeToolMove() = 0;
};

// Null until the main window registers itself; chip windows then act on their own.
TChipHost* ChipHost();
void SetChipHost(TChipHost* host);
