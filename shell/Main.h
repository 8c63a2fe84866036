// SPDX-License-Identifier: MIT
#pragma once
#include <QKeySequence>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>

#include "document/ChipHost.h"
#include "document/SheetGrid.h"
#include "pictures/Geometry.h"
#include "shell/USheetWin.h"

class QAction;
class QFileDialog;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolBar;
class TMDIChild;
class TSheetWin;

// The application title: the task bar's caption and the title of the error box.
inline const char* const ApplicationTitle = "Ossery";

// The main frame: chip windows in a multiple-document area, the menus, the tool bar, the
// status line and the action table through which every command of the program runs.
// A block of a picture as ImageMagick writes one: "WxH+X+Y". None for any other text, and for
// a block of no pixels.
std::optional<TRect> ParseBlockGeometry(const QString& Geometry);
QString BlockGeometry(const TRect& Block);
// The entry of a file list (TMainForm::OpenFiles, a hand-over to the running Marlo) that asks
// for that block of the file named next. No absolute path begins with it.
QString BlockRequest(const TRect& Block);

class TMainForm : public QMainWindow, public TChipHost, public TSheetHost {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // Makes a chip window, which becomes the newest and current one; unless Blank, the chip is
    // then loaded from the file named by Caption.
    TMDIChild* CreateChip(const QString& Caption, int Width, int Height, bool Blank);
    // Opens each file as the open command does, in order: the files of the command line, of a
    // drop and of a later start. An entry made by BlockRequest opens that block of the file that
    // follows it instead.
    void OpenFiles(const QStringList& Paths);
    // Opens the block of the picture in the file as a chip; a block the picture does not hold, or
    // a file that cannot be read, is told in the error box.
    void OpenBlock(const QString& Path, const TRect& Block);
    // Shows the picture in the file in a sheet window, the one already open on it if there is one.
    TSheetWin* OpenSheet(const QString& Path);
    TSheetWin* SheetOf(const QString& Path) const;
    // What sheet windows ask of the main window.
    std::vector<TSheetChip> ChipsOfFile(const QString& Path) const override;
    void OpenSheetBlock(const QString& Path, const TRect& Block) override;

    // The chip window that chip commands act on: the one that most recently had the focus,
    // unchanged while a tool window has it. Null when no chip window is open.
    TMDIChild* ActiveChip() const;
    QMdiSubWindow* ActiveChipWindow() const;
    QMdiArea* mdiArea() const { return FMdiArea; }

    // The operations other windows run, each exactly as its action's shortcut does.
    void UpdateFromToolData() override;
    void ChangeToolMove() override;
    void ChangeToolPen();
    void ChangeLoop();
    void ChooseColor();

    // Recomputed whenever the event loop is about to wait.
    void ActUndoUpdate();
    void ActRedoUpdate();
    void ActFileCloseUpdate();

    // The text of the error box for an error that ended a command.
    static QString ErrorBoxText(const QString& Message);
    // The application's error box for an error that ended a command.
    void ShowCommandError(const QString& Message);

    // Action table.
    QAction* ActFileNew = nullptr;
    QAction* ActFileOpen = nullptr;
    QAction* ActFileOpenSheet = nullptr;
    QAction* ActFileClose = nullptr;
    QAction* ActFileSave = nullptr;
    QAction* ActFileSaveAs = nullptr;
    QAction* ActFileExit = nullptr;
    QAction* ActEditCut = nullptr;
    QAction* ActEditCopy = nullptr;
    QAction* ActEditPaste = nullptr;
    QAction* ActUndo = nullptr;
    QAction* ActRedo = nullptr;
    QAction* ActReload = nullptr;
    QAction* ActZoomIn = nullptr;
    QAction* ActZoomOut = nullptr;
    QAction* ActChangeToolPen = nullptr;
    QAction* ActChangeToolMove = nullptr;
    QAction* ActChangeToolMask = nullptr;
    QAction* ActChangeLoop = nullptr;
    QAction* ActToolOk = nullptr;
    QAction* ActShowColorPaletteDlg = nullptr;
    QAction* ActShowToolDlg = nullptr;
    QAction* ActShowAlphaDlg = nullptr;
    QAction* ActShowTailWindow = nullptr;
    QAction* ActHelpAbout = nullptr;

    QToolBar* ToolBar2 = nullptr;
    QMenu* FMenuWindow = nullptr;
    // Made on first use (openPicDlg, saveFileDlg), then kept for the whole run.
    QFileDialog* OpenPicDlg = nullptr;
    QFileDialog* FSaveFileDlg = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Local files dropped on the frame or on any chip window open as chips.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    QMenu* createPopupMenu() override { return nullptr; }

private:
    void createActions();
    void createMenus();
    void createToolBar();
    void createStatusBar();
    QFileDialog* openPicDlg();
    QFileDialog* saveFileDlg();
    QAction* makeAction(const QString& Category, const QString& Caption, const QString& Hint,
                        const QList<QKeySequence>& Shortcuts, int Group, void (TMainForm::*Execute)());
    // Runs a command's behaviour; an error escaping it ends the command with the error box.
    void runCommand(const std::function<void()>& Behaviour);
    void subWindowActivated(QMdiSubWindow* Window);
    void rebuildWindowMenu();
    void FormShow();

    void ActFileNewExecute();
    void ActFileOpenExecute();
    void ActFileOpenSheetExecute();
    // The picture file the user picks in the open dialog; none when the dialog is cancelled.
    std::optional<QString> choosePictureToOpen();
    void ActFileCloseExecute();
    void ActFileSaveExecute();
    void ActFileSaveAsExecute();
    void ActFileExitExecute();
    void ActEditCutExecute();
    void ActEditCopyExecute();
    void ActEditPasteExecute();
    void ActUndoExecute();
    void ActRedoExecute();
    void ActReloadExecute();
    void ActZoomInExecute();
    void ActZoomOutExecute();
    void ActChangeToolPenExecute();
    void ActChangeToolMoveExecute();
    void ActChangeToolMaskExecute();
    void ActChangeLoopExecute();
    void ActToolOkExecute();
    void ActShowColorPaletteDlgExecute();
    void ActShowToolDlgExecute();
    void ActShowAlphaDlgExecute();
    void ActShowTailWindowExecute();
    void ActHelpAboutExecute();
    void changeTool(uint8_t Tool);

    QMdiArea* FMdiArea = nullptr;
    QList<QAction*> FWindowMenuFixed;
    QPointer<QMdiSubWindow> FCurrentChip;
    QString FLastOpened;
    QList<QPointer<TSheetWin>> FSheetWins;
    // The grid last set in a sheet window, offered to the next sheet of the run.
    TSheetGrid FSheetGrid;
    QString FLastSaved;
};

extern TMainForm* MainForm;
