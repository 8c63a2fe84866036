// SPDX-License-Identifier: MIT
#pragma once
#include <QApplication>
#include <QStringList>
#include <optional>

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

// What the arguments left after Qt has taken its own (-platform, -style, -display ...) ask for.
struct TCommandLine {
    // The files to open, in order: absolute, with the system's separators.
    QStringList Files;
    // Set when the program ends at once (--help, --version, an unknown option) with this code,
    // after showing Output on standard output or Errors on standard error.
    std::optional<int> ExitCode;
    QString Output;
    QString Errors;
};
// Reads the arguments (the program's name first); relative file names are taken against
// WorkingDir. "--" ends the options, so that a file whose name begins with "-" can be named.
TCommandLine ParseCommandLine(const QStringList& Arguments, const QString& WorkingDir);

// Starts the program: application, windows, event loop. Given files, it hands them to the Marlo
// already running in this desktop session and ends, or opens them itself where none answers.
int RunMarlo(int argc, char* argv[]);
