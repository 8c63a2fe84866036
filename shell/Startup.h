// SPDX-License-Identifier: MIT
#pragma once
#include <QApplication>

// The application object. An error that escapes any event handler, not only a command, ends
// that handler with the application's error box, and the program goes on.
class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv) : QApplication(argc, argv) {}
    bool notify(QObject* receiver, QEvent* event) override;
};

// Creates the program's windows in their order: MainForm, AboutBox, ColorPaletteDlg, FileNewDlg,
// ToolDlg, AlphaDlg, TailViewWin. None is shown. The tool state exists before (static storage).
void CreateMarloWindows();
// Destroys them in the reverse order, chip windows with the main window.
void DestroyMarloWindows();

// Qt's own dialogs, menus and buttons speak Japanese like the rest of the program, whatever the
// locale. False when Qt's Japanese translation is not installed.
bool InstallQtTranslation();

// Starts the program: application, windows, event loop.
int RunMarlo(int argc, char* argv[]);
