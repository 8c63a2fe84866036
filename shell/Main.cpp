// SPDX-License-Identifier: MIT
#include "shell/Main.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolBar>
#include <algorithm>
#include <exception>

#include "document/Childwin.h"
#include "pictures/Errors.h"
#include "platform/MessageBoxes.h"
#include "platform/RunSettings.h"
#include "shell/About.h"
#include "shell/UFileNewDlg.h"
#include "shell/UTailViewWin.h"
#include "tools/UAlphaDlg.h"
#include "tools/UColorPaletteDlg.h"
#include "tools/UEditerData.h"
#include "tools/UToolDlg.h"

TMainForm* MainForm = nullptr;

// The command icons live in the core library's resources, which a static library does not
// register by itself.
static void initCommandIcons()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(resources);
        return true;
    }();
    (void)done;
}

namespace {

QKeySequence keys(QKeyCombination combination)
{
    return QKeySequence(combination);
}

// A hint is "short|long": the short part is the tooltip, the long part the status line text.
// A hint without "|" is both.
void applyHint(QAction* action, const QString& hint)
{
    const qsizetype bar = hint.indexOf(u'|');
    const QString shortPart = bar < 0 ? hint : hint.left(bar);
    const QString longPart = bar < 0 ? hint : hint.mid(bar + 1);
    action->setToolTip(shortPart);
    action->setStatusTip(longPart);
}

TMDIChild* chipOf(QMdiSubWindow* window)
{
    return window ? qobject_cast<TMDIChild*>(window->widget()) : nullptr;
}

} // namespace

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent)
{
    initCommandIcons();
    setWindowTitle(QStringLiteral("Marlo"));
    // The tool bar's buttons show their tooltips while a tool window is the active one, too.
    setAttribute(Qt::WA_AlwaysShowToolTips);
    resize(572, 438);
    FMdiArea = new QMdiArea(this);
    FMdiArea->setBackground(palette().brush(QPalette::Dark));
    setCentralWidget(FMdiArea);
    // No widget below the frame takes drops, so a drop on a chip window reaches the frame too.
    setAcceptDrops(true);
    connect(FMdiArea, &QMdiArea::subWindowActivated, this, &TMainForm::subWindowActivated);

    createActions();
    createMenus();
    createToolBar();
    createStatusBar();

    connect(QAbstractEventDispatcher::instance(thread()), &QAbstractEventDispatcher::aboutToBlock, this, [this] {
        ActUndoUpdate();
        ActRedoUpdate();
        ActFileCloseUpdate();
    });
    // Status tips of the tool windows stop at their own window; this shows them here.
    qApp->installEventFilter(this);
    SetChipHost(this);
}

TMainForm::~TMainForm()
{
    // The chip windows go after this destructor, with the frame's widgets; their activation
    // changes must not reach a main window that is half destroyed.
    disconnect(FMdiArea, nullptr, this, nullptr);
    qApp->removeEventFilter(this);
    if (ChipHost() == this)
        SetChipHost(nullptr);
    DisposeFileDialog(OpenPicDlg);
    DisposeFileDialog(FSaveFileDlg);
}

QAction* TMainForm::makeAction(const QString& Category, const QString& Caption, const QString& Hint,
                               const QList<QKeySequence>& Shortcuts, int Group, void (TMainForm::*Execute)())
{
    auto* action = new QAction(Caption, this);
    action->setProperty("Category", Category);
    action->setProperty("GroupIndex", Group);
    applyHint(action, Hint);
    action->setShortcuts(Shortcuts);
    action->setShortcutContext(Qt::ApplicationShortcut);
    action->setIconVisibleInMenu(false);
    connect(action, &QAction::triggered, this, [this, Execute] { runCommand([this, Execute] { (this->*Execute)(); }); });
    addAction(action);
    return action;
}

void TMainForm::createActions()
{
    const QString file = QStringLiteral("ファイル"), edit = QStringLiteral("編集"), view = QStringLiteral("表示"),
                  tool = QStringLiteral("ツール"), window = QStringLiteral("ウィンドウ"), help = QStringLiteral("ヘルプ");
    using K = QList<QKeySequence>;
    ActFileNew = makeAction(file, "新規作成(&N)", "新規|新規ファイルの作成", K{keys(Qt::CTRL | Qt::Key_N)}, 0,
                            &TMainForm::ActFileNewExecute);
    ActFileOpen = makeAction(file, "開く(&O)...", "開く|ファイルを開く", K{keys(Qt::CTRL | Qt::Key_O)}, 0,
                             &TMainForm::ActFileOpenExecute);
    ActFileOpenSheet = makeAction(file, "タイルシートを開く(&T)...", "タイルシート|画像をタイルシートとして開き、セルをチップとして編集する",
                                  K{keys(Qt::CTRL | Qt::SHIFT | Qt::Key_O)}, 0, &TMainForm::ActFileOpenSheetExecute);
    ActFileSave = makeAction(file, "上書き保存(&S)", "上書き保存|開いたファイルのチップの範囲に書き戻す",
                             K{keys(Qt::CTRL | Qt::Key_S)}, 0, &TMainForm::ActFileSaveExecute);
    ActFileClose = makeAction(file, "閉じる(&C)", "閉じる|現在のファイルを閉じる", K{}, 0, &TMainForm::ActFileCloseExecute);
    ActFileSaveAs = makeAction(file, "名前をつけて保存(&A)...", "別名保存|ファイルに別の名前をつけて保存", K{}, 0,
                               &TMainForm::ActFileSaveAsExecute);
    ActFileExit = makeAction(file, "終了(&X)", "終了|アプリケーションの終了", K{}, 0, &TMainForm::ActFileExitExecute);
    ActEditCut = makeAction(edit, "切り取り(&T)", "切り取り|選択部分を削除しクリップボードに送る",
                            K{keys(Qt::CTRL | Qt::Key_X)}, 0, &TMainForm::ActEditCutExecute);
    ActEditCopy = makeAction(edit, "コピー(&C)...", "コピー|選択部分をコピーしクリップボードに送る",
                             K{keys(Qt::CTRL | Qt::Key_C)}, 0, &TMainForm::ActEditCopyExecute);
    ActEditPaste = makeAction(edit, "貼り付け(&P)", "貼り付け|クリップボードの内容を挿入", K{keys(Qt::CTRL | Qt::Key_V)}, 0,
                              &TMainForm::ActEditPasteExecute);
    ActUndo = makeAction(edit, "アンドゥ", "アンドゥ|やり直し", K{keys(Qt::CTRL | Qt::Key_Z)}, 0, &TMainForm::ActUndoExecute);
    ActRedo = makeAction(edit, "リドゥ", "リドゥ|やり直しのやり直し", K{keys(Qt::CTRL | Qt::Key_Y)}, 0,
                         &TMainForm::ActRedoExecute);
    ActReload = makeAction(edit, "更新", "更新|内容を正確に反映します．", K{keys(Qt::Key_R)}, 0, &TMainForm::ActReloadExecute);
    ActZoomIn = makeAction(view, "ズームイン", "Zoom In|編集中の画像の表示を拡大します", K{}, 0, &TMainForm::ActZoomInExecute);
    ActZoomOut = makeAction(view, "ズームアウト", "Zoom Out|編集中の画像の表示を縮小します．", K{}, 0,
                            &TMainForm::ActZoomOutExecute);
    ActChangeToolPen = makeAction(tool, "", "", K{keys(Qt::Key_N)}, 20, &TMainForm::ActChangeToolPenExecute);
    ActChangeToolMove = makeAction(tool, "", "移動|画像を移動させます．", K{keys(Qt::Key_V)}, 20,
                                   &TMainForm::ActChangeToolMoveExecute);
    ActChangeToolMask = makeAction(tool, "", "選択範囲|選択範囲を囲みます．", K{keys(Qt::Key_M)}, 20,
                                   &TMainForm::ActChangeToolMaskExecute);
    ActChangeLoop = makeAction(tool, "", "ループ|折り返して編集する．", K{keys(Qt::CTRL | Qt::Key_L)}, 100,
                               &TMainForm::ActChangeLoopExecute);
    // Windows sends one key for both Enter keys; Qt tells the keypad's apart.
    ActToolOk = makeAction(tool, "", "決定|動作を決定します．", K{keys(Qt::Key_Return), keys(Qt::Key_Enter)}, 0,
                           &TMainForm::ActToolOkExecute);
    ActShowColorPaletteDlg = makeAction(window, "カラーパレットを表示", "", K{}, 0, &TMainForm::ActShowColorPaletteDlgExecute);
    ActShowToolDlg = makeAction(window, "ツールボックスを表示", "", K{keys(Qt::CTRL | Qt::Key_T)}, 0,
                                &TMainForm::ActShowToolDlgExecute);
    ActShowAlphaDlg = makeAction(window, "", "", K{}, 0, &TMainForm::ActShowAlphaDlgExecute);
    ActShowTailWindow = makeAction(window, "", "タイル表示|現在の画像をタイル状に表示します．", K{keys(Qt::Key_F4)}, 0,
                                   &TMainForm::ActShowTailWindowExecute);
    ActHelpAbout = makeAction(help, "バージョン情報(&A)...", "バージョン情報|バージョンなど固有情報を表示", K{}, 0,
                              &TMainForm::ActHelpAboutExecute);

    // The zoom keys are the keys that carry "+" and "-": Ctrl+Shift with "+" is "=" on US
    // layouts and ";" on Japanese ones; the keypad's "+" and "-" act alike.
    ActZoomIn->setShortcuts({keys(Qt::CTRL | Qt::SHIFT | Qt::Key_Plus), keys(Qt::CTRL | Qt::SHIFT | Qt::Key_Equal),
                             keys(Qt::CTRL | Qt::SHIFT | Qt::Key_Semicolon)});
    ActZoomOut->setShortcuts({keys(Qt::CTRL | Qt::Key_Minus)});

    ActFileNew->setIcon(QIcon(QStringLiteral(":/icons/cmd-new.xpm")));
    ActFileOpen->setIcon(QIcon(QStringLiteral(":/icons/cmd-open.xpm")));
    ActFileSave->setIcon(QIcon(QStringLiteral(":/icons/cmd-saveover.xpm")));
    ActFileSaveAs->setIcon(QIcon(QStringLiteral(":/icons/cmd-save.xpm")));
    ActEditCut->setIcon(QIcon(QStringLiteral(":/icons/cmd-cut.xpm")));
    ActEditCopy->setIcon(QIcon(QStringLiteral(":/icons/cmd-copy.xpm")));
    ActEditPaste->setIcon(QIcon(QStringLiteral(":/icons/cmd-paste.xpm")));
    ActUndo->setIcon(QIcon(QStringLiteral(":/icons/cmd-undo.xpm")));
    ActRedo->setIcon(QIcon(QStringLiteral(":/icons/cmd-redo.xpm")));
    ActReload->setIcon(QIcon(QStringLiteral(":/icons/cmd-reload.xpm")));
    ActZoomIn->setIcon(QIcon(QStringLiteral(":/icons/cmd-zoomin.xpm")));
    ActZoomOut->setIcon(QIcon(QStringLiteral(":/icons/cmd-zoomout.xpm")));
    for (QAction* shown : {ActFileNew, ActFileOpen, ActEditCut, ActEditCopy, ActEditPaste, ActReload})
        shown->setIconVisibleInMenu(true);
}

void TMainForm::createMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
    file->menuAction()->setStatusTip(QStringLiteral("ファイル関連の機能"));
    file->addActions({ActFileNew, ActFileOpen, ActFileOpenSheet, ActFileSave, ActFileClose, ActFileSaveAs});
    file->addSeparator();
    file->addAction(ActFileExit);

    QMenu* edit = menuBar()->addMenu(QStringLiteral("編集(&E)"));
    edit->menuAction()->setStatusTip(QStringLiteral("編集関連の機能"));
    edit->addActions({ActEditCut, ActEditCopy, ActEditPaste, ActReload});

    FMenuWindow = menuBar()->addMenu(QStringLiteral("ウィンドウ(&W)"));
    FMenuWindow->menuAction()->setStatusTip(QStringLiteral("ウィンドウ操作の機能"));
    // Two entries show captions of their own for actions that have none; they run the actions
    // and show their keys and hints.
    auto proxy = [this](const QString& caption, QAction* target) {
        QString text = caption;
        if (!target->shortcut().isEmpty())
            text += u'\t' + target->shortcut().toString(QKeySequence::NativeText);
        auto* item = new QAction(text, this);
        item->setStatusTip(target->statusTip());
        connect(item, &QAction::triggered, target, &QAction::trigger);
        return item;
    };
    FWindowMenuFixed = {ActShowColorPaletteDlg, ActShowToolDlg, proxy(QStringLiteral("不透明度表示"), ActShowAlphaDlg),
                        proxy(QStringLiteral("タイル状に表示"), ActShowTailWindow)};
    rebuildWindowMenu();
    connect(FMenuWindow, &QMenu::aboutToShow, this, &TMainForm::rebuildWindowMenu);

    QMenu* viewMenu = menuBar()->addMenu(QStringLiteral("表示(&V)"));
    viewMenu->addActions({ActZoomIn, ActZoomOut});

    QMenu* help = menuBar()->addMenu(QStringLiteral("ヘルプ(&H)"));
    help->menuAction()->setStatusTip(QStringLiteral("ヘルプトピック"));
    help->addAction(ActHelpAbout);
}

// The window menu ends with the open chip windows, numbered as the window system numbers them.
void TMainForm::rebuildWindowMenu()
{
    FMenuWindow->clear();
    FMenuWindow->addActions(FWindowMenuFixed);
    const QList<QMdiSubWindow*> windows = FMdiArea->subWindowList();
    if (!windows.isEmpty())
        FMenuWindow->addSeparator();
    QMdiSubWindow* current = ActiveChipWindow();
    int number = 0;
    for (QMdiSubWindow* window : windows) {
        ++number;
        const QString prefix = number < 10 ? QStringLiteral("&%1 ").arg(number) : QStringLiteral("%1 ").arg(number);
        QAction* item = FMenuWindow->addAction(prefix + window->windowTitle());
        item->setCheckable(true);
        item->setChecked(window == current);
        QPointer<QMdiSubWindow> target = window;
        connect(item, &QAction::triggered, this, [this, target] {
            if (target)
                FMdiArea->setActiveSubWindow(target);
        });
    }
}

void TMainForm::createToolBar()
{
    ToolBar2 = addToolBar(QStringLiteral("ToolBar2"));
    ToolBar2->setObjectName(QStringLiteral("ToolBar2"));
    ToolBar2->setMovable(false);
    ToolBar2->setFloatable(false);
    ToolBar2->setIconSize(QSize(16, 16));
    ToolBar2->setFixedHeight(30);
    ToolBar2->setContentsMargins(5, 0, 0, 0);
    ToolBar2->addActions({ActFileNew, ActFileOpen, ActFileSave, ActFileSaveAs});
    ToolBar2->addSeparator();
    ToolBar2->addActions({ActEditCut, ActEditCopy, ActEditPaste});
    ToolBar2->addSeparator();
    ToolBar2->addActions({ActUndo, ActRedo, ActReload});
    ToolBar2->addSeparator();
    ToolBar2->addActions({ActZoomIn, ActZoomOut});
}

void TMainForm::createStatusBar()
{
    statusBar()->setObjectName(QStringLiteral("StatusBar"));
}

// ---- Window events ----

void TMainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TMainForm::FormShow()
{
    if (ToolDlg)
        ToolDlg->show();
    if (AlphaDlg) {
        AlphaDlg->setAlpha(255);
        AlphaDlg->show();
    }
}

// Closing the frame ends the program at once: no question, open chips are discarded.
void TMainForm::closeEvent(QCloseEvent* event)
{
    event->accept();
    QCoreApplication::quit();
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::StatusTip:
        if (auto* widget = qobject_cast<QWidget*>(watched); widget && widget->window() != this)
            statusBar()->showMessage(static_cast<QStatusTipEvent*>(event)->tip());
        break;
    case QEvent::ShortcutOverride:
        // An open popup (a menu, the file dialog's completer) keeps its keys: a menu's own
        // letters and Return in a completer must not run the main window's commands.
        if (QApplication::activePopupWidget())
            event->accept();
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- The current chip window ----

void TMainForm::subWindowActivated(QMdiSubWindow* Window)
{
    // Null means a tool window or another program took the focus; the chip stays current.
    if (!Window || Window == FCurrentChip)
        return;
    QPointer<QMdiSubWindow> previous = FCurrentChip;
    FCurrentChip = Window;
    // A move must not stay pending in a window that is no longer the current one.
    if (TMDIChild* chip = chipOf(previous))
        chip->FormDeactivate();
}

QMdiSubWindow* TMainForm::ActiveChipWindow() const
{
    const QList<QMdiSubWindow*> open = FMdiArea->subWindowList(QMdiArea::ActivationHistoryOrder);
    if (FCurrentChip && open.contains(FCurrentChip))
        return FCurrentChip;
    return open.isEmpty() ? nullptr : open.last();
}

TMDIChild* TMainForm::ActiveChip() const
{
    return chipOf(ActiveChipWindow());
}

// ---- Commands ----

QString TMainForm::ErrorBoxText(const QString& Message)
{
    if (!Message.isEmpty() && Message.back() > u'.')
        return Message + u'.';
    return Message;
}

void TMainForm::ShowCommandError(const QString& Message)
{
    ShowErrorBox(this, QString::fromLatin1(ApplicationTitle), ErrorBoxText(Message));
}

void TMainForm::runCommand(const std::function<void()>& Behaviour)
{
    // Application-wide shortcuts still match while a popup is open above a modal dialog.
    if (QApplication::activeModalWidget())
        return;
    try {
        Behaviour();
    } catch (const EMarloError& e) {
        ShowCommandError(e.message());
    } catch (const std::exception& e) {
        ShowCommandError(QString::fromLocal8Bit(e.what()));
    }
}

void TMainForm::UpdateFromToolData()
{
    if (ToolDlg)
        ToolDlg->UpdateFromToolData();
}

void TMainForm::ChangeToolPen()
{
    runCommand([this] { ActChangeToolPenExecute(); });
}

void TMainForm::ChangeToolMove()
{
    runCommand([this] { ActChangeToolMoveExecute(); });
}

void TMainForm::ChangeLoop()
{
    runCommand([this] { ActChangeLoopExecute(); });
}

void TMainForm::ChooseColor()
{
    runCommand([this] { ActShowColorPaletteDlgExecute(); });
}

void TMainForm::ActUndoUpdate()
{
    const TMDIChild* chip = ActiveChip();
    ActUndo->setEnabled(chip && chip->CanUndo());
}

void TMainForm::ActRedoUpdate()
{
    const TMDIChild* chip = ActiveChip();
    ActRedo->setEnabled(chip && chip->CanRedo());
}

void TMainForm::ActFileCloseUpdate()
{
    ActFileClose->setEnabled(ActiveChipWindow() != nullptr);
}

void TMainForm::ActEditCutExecute()
{
    // Cut copies only: the chip keeps its pixels.
    if (TMDIChild* chip = ActiveChip())
        chip->CopyToClipboard();
}

void TMainForm::ActEditCopyExecute()
{
    if (TMDIChild* chip = ActiveChip())
        chip->CopyToClipboard();
}

void TMainForm::ActEditPasteExecute()
{
    if (TMDIChild* chip = ActiveChip())
        chip->PasteFromClipboard();
}

void TMainForm::ActUndoExecute()
{
    if (TMDIChild* chip = ActiveChip())
        chip->Undo();
}

void TMainForm::ActRedoExecute()
{
    if (TMDIChild* chip = ActiveChip())
        chip->Redo();
}

void TMainForm::ActReloadExecute()
{
    if (TMDIChild* chip = ActiveChip())
        chip->RenderView();
}

void TMainForm::ActZoomInExecute()
{
    if (TMDIChild* chip = ActiveChip())
        chip->setZoom(chip->getZoom() + 1);
}

void TMainForm::ActZoomOutExecute()
{
    if (TMDIChild* chip = ActiveChip())
        chip->setZoom(chip->getZoom() - 1);
}

// The chip window may refuse the change while an operation is under way; the tool box then
// shows the tool still in force.
void TMainForm::changeTool(uint8_t Tool)
{
    if (TMDIChild* chip = ActiveChip()) {
        chip->ChangeTool(Tool);
    } else {
        ToolData->setTool(Tool);
        if (Tool == ToolMove)
            ToolData->FFloating = false;
    }
    UpdateFromToolData();
}

void TMainForm::ActChangeToolPenExecute()
{
    changeTool(ToolPen);
}

void TMainForm::ActChangeToolMoveExecute()
{
    changeTool(ToolMove);
}

void TMainForm::ActChangeToolMaskExecute()
{
    changeTool(ToolMask);
}

void TMainForm::ActChangeLoopExecute()
{
    ToolData->FLoop = !ToolData->FLoop;
    UpdateFromToolData();
}

void TMainForm::ActToolOkExecute()
{
    if (TMDIChild* chip = ActiveChip())
        chip->ConfirmTool();
}

// The palette is not told the current pen colour; only OK changes it.
void TMainForm::ActShowColorPaletteDlgExecute()
{
    if (ColorPaletteDlg->exec() != QDialog::Accepted)
        return;
    ToolData->setColor(ColorPaletteDlg->getPickedColor());
    UpdateFromToolData();
}

void TMainForm::ActShowToolDlgExecute()
{
    ToolDlg->show();
    ToolDlg->raise();
}

void TMainForm::ActShowAlphaDlgExecute()
{
    AlphaDlg->show();
    AlphaDlg->raise();
}

void TMainForm::ActShowTailWindowExecute()
{
    TailViewWin->show();
    TailViewWin->raise();
    if (TMDIChild* chip = ActiveChip())
        TailViewWin->ShowTiled(&chip->FChipBmp, true);
}

void TMainForm::ActHelpAboutExecute()
{
    AboutBox->exec();
}
