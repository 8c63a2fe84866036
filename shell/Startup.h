#pragma once

// Creates the program's windows in their order: MainForm, AboutBox, ColorPaletteDlg, FileNewDlg,
// ToolDlg, AlphaDlg, TailViewWin. None is shown. The tool state exists before (static storage).
void CreateMarloWindows();
// Destroys them in the reverse order, chip windows with the main window.
void DestroyMarloWindows();

// Starts the program: application, windows, event loop.
int RunMarlo(int argc, char* argv[]);
