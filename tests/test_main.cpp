// SPDX-License-Identifier: MIT
// The main window: start-up, action table, menus, tool bar, shortcuts acting application-wide,
// routing to the current chip window, idle-time Undo and Redo, hints and the error box.
#include <QAbstractItemView>
#include <QClipboard>
#include <QCompleter>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyleFactory>
#include <QToolBar>
#include <QTemporaryDir>
#include <QToolButton>

#include "ShellTestSupport.h"
#include "platform/MessageBoxes.h"
#include "platform/RunSettings.h"
#include "shell/About.h"
#include "shell/UFileNewDlg.h"
#include "shell/UTailViewWin.h"
#include "tools/UAlphaDlg.h"
#include "tools/UColorPaletteDlg.h"
#include "tools/UIntEdit.h"

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

using namespace shell;

namespace {

QString shortcutsText(const QAction* action)
{
    QStringList keys;
    for (const QKeySequence& k : action->shortcuts())
        keys << k.toString(QKeySequence::PortableText);
    return keys.join(QStringLiteral(", "));
}

QAction* actionNamed(const QString& name)
{
    TMainForm* f = MainForm;
    const QHash<QString, QAction*> table{
        {"ActFileNew", f->ActFileNew}, {"ActFileOpen", f->ActFileOpen}, {"ActFileOpenSheet", f->ActFileOpenSheet},
        {"ActFileClose", f->ActFileClose},
        {"ActFileSave", f->ActFileSave}, {"ActFileSaveAs", f->ActFileSaveAs}, {"ActFileExit", f->ActFileExit},
        {"ActEditCut", f->ActEditCut},
        {"ActEditCopy", f->ActEditCopy}, {"ActEditPaste", f->ActEditPaste}, {"ActUndo", f->ActUndo},
        {"ActRedo", f->ActRedo}, {"ActReload", f->ActReload}, {"ActZoomIn", f->ActZoomIn},
        {"ActZoomOut", f->ActZoomOut}, {"ActChangeToolPen", f->ActChangeToolPen},
        {"ActChangeToolMove", f->ActChangeToolMove}, {"ActChangeToolMask", f->ActChangeToolMask},
        {"ActChangeLoop", f->ActChangeLoop}, {"ActToolOk", f->ActToolOk},
        {"ActShowColorPaletteDlg", f->ActShowColorPaletteDlg}, {"ActShowToolDlg", f->ActShowToolDlg},
        {"ActShowAlphaDlg", f->ActShowAlphaDlg}, {"ActShowTailWindow", f->ActShowTailWindow},
        {"ActHelpAbout", f->ActHelpAbout},
    };
    return table.value(name);
}

// The menu's entries as text: captions with their key after a tab, "-" for a separator.
QStringList entries(const QMenu* menu)
{
    QStringList out;
    for (QAction* a : menu->actions()) {
        if (a->isSeparator())
            out << QStringLiteral("-");
        else if (a->shortcut().isEmpty())
            out << a->text();
        else
            out << a->text() + u'\t' + a->shortcut().toString(QKeySequence::PortableText);
    }
    return out;
}

QMenu* menuTitled(const QString& title)
{
    for (QAction* a : MainForm->menuBar()->actions())
        if (a->text() == title)
            return a->menu();
    return nullptr;
}

} // namespace

class TestMain : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void startUpState();
    void actionTable_data();
    void actionTable();
    void menus_data();
    void menus();
    void menuIcons();
    void windowMenuListsChipWindows();
    void toolBar();
    void shortcutsActEverywhere_data();
    void shortcutsActEverywhere();
    void enterInOpacityEntryConfirmsTool();
    void noShortcutWhileModal();
    void popupAboveModalKeepsItsKeys();
    void noChipWindowOpen_data();
    void noChipWindowOpen();
    void commandsGoToCurrentChip();
    void closingCurrentChipFallsBackToPrevious();
    void switchingChipCommitsPendingMove();
    void undoRedoEnabledAtIdle();
    void zoomStaysInRange_data();
    void zoomStaysInRange();
    void operationsForOtherWindows();
    void opacityWindowShownAgain();
    void tilePreviewShowsCurrentChip();
    void hintsReachStatusLine();
    void errorBoxText_data();
    void errorBoxText();
    void aboutBox();
    void exitClosesWithoutQuestion();
    void altClickLeavesTheMenuBarAlone_data();
    void altClickLeavesTheMenuBarAlone();
    void foldersOfKilledRunsGo_data();
    void foldersOfKilledRunsGo();
};

void TestMain::initTestCase()
{
    CreateMarloWindows();
    MainForm->show();
    activate(MainForm);
}

void TestMain::cleanupTestCase()
{
    DestroyMarloWindows();
}

void TestMain::init()
{
    ResetToolData();
    ToolDlg->UpdateFromToolData();
    QGuiApplication::clipboard()->clear();
    MainForm->show();
    activate(MainForm);
}

void TestMain::cleanup()
{
    closeAllChips();
    ResetToolData();
}

void TestMain::startUpState()
{
    // Windows created in their order; the ones the frame owns are its children in that order.
    const QObjectList children = MainForm->children();
    const QList<QObject*> order{AboutBox, ColorPaletteDlg, FileNewDlg, ToolDlg, AlphaDlg};
    qsizetype last = -1;
    for (QObject* window : order) {
        QVERIFY(window);
        const qsizetype at = children.indexOf(window);
        QVERIFY2(at > last, qPrintable(window->metaObject()->className()));
        last = at;
    }
    QVERIFY(TailViewWin);
    QCOMPARE(MainForm->windowTitle(), QStringLiteral("Marlo"));
    QVERIFY(MainForm->mdiArea());
    QCOMPARE(MainForm->mdiArea()->subWindowList().size(), 0);
    QCOMPARE(ChipHost(), static_cast<TChipHost*>(MainForm));
    // Showing the frame showed the tool box and the opacity window, at 255.
    QVERIFY(ToolDlg->isVisible());
    QVERIFY(AlphaDlg->isVisible());
    QCOMPARE(int(AlphaDlg->getAlpha()), 255);
    QVERIFY(!TailViewWin->isVisible());
    QVERIFY(!ColorPaletteDlg->isVisible());
    QVERIFY(ToolDlg->FBtnPen->isChecked());
    QVERIFY(!ToolDlg->FBtnLoop->isChecked());
    QVERIFY(ToolDlg->windowFlags() & Qt::WindowStaysOnTopHint);
}

void TestMain::actionTable_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("tooltip"); // empty: none of its own
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<int>("group");
    auto row = [](const char* n, const char* cat, const char* cap, const char* tip, const char* st, const char* k, int g) {
        QTest::newRow(n) << QString(n) << QString::fromUtf8(cat) << QString::fromUtf8(cap) << QString::fromUtf8(tip)
                         << QString::fromUtf8(st) << QString(k) << g;
    };
    row("ActFileNew", "ファイル", "新規作成(&N)", "新規", "新規ファイルの作成", "Ctrl+N", 0);
    row("ActFileOpen", "ファイル", "開く(&O)...", "開く", "ファイルを開く", "Ctrl+O", 0);
    row("ActFileOpenSheet", "ファイル", "タイルシートを開く(&T)...", "タイルシート",
        "画像をタイルシートとして開き、セルをチップとして編集する", "Ctrl+Shift+O", 0);
    row("ActFileSave", "ファイル", "上書き保存(&S)", "上書き保存", "開いたファイルのチップの範囲に書き戻す", "Ctrl+S", 0);
    row("ActFileClose", "ファイル", "閉じる(&C)", "閉じる", "現在のファイルを閉じる", "", 0);
    row("ActFileSaveAs", "ファイル", "名前をつけて保存(&A)...", "別名保存", "ファイルに別の名前をつけて保存", "", 0);
    row("ActFileExit", "ファイル", "終了(&X)", "終了", "アプリケーションの終了", "", 0);
    row("ActEditCut", "編集", "切り取り(&T)", "切り取り", "選択部分を削除しクリップボードに送る", "Ctrl+X", 0);
    row("ActEditCopy", "編集", "コピー(&C)...", "コピー", "選択部分をコピーしクリップボードに送る", "Ctrl+C", 0);
    row("ActEditPaste", "編集", "貼り付け(&P)", "貼り付け", "クリップボードの内容を挿入", "Ctrl+V", 0);
    row("ActUndo", "編集", "アンドゥ", "アンドゥ", "やり直し", "Ctrl+Z", 0);
    row("ActRedo", "編集", "リドゥ", "リドゥ", "やり直しのやり直し", "Ctrl+Y", 0);
    row("ActReload", "編集", "更新", "更新", "内容を正確に反映します．", "R", 0);
    row("ActZoomIn", "表示", "ズームイン", "Zoom In", "編集中の画像の表示を拡大します",
        "Ctrl+Shift++, Ctrl+Shift+=, Ctrl+Shift+;", 0);
    row("ActZoomOut", "表示", "ズームアウト", "Zoom Out", "編集中の画像の表示を縮小します．", "Ctrl+-", 0);
    row("ActChangeToolPen", "ツール", "", "", "", "N", 20);
    row("ActChangeToolMove", "ツール", "", "移動", "画像を移動させます．", "V", 20);
    row("ActChangeToolMask", "ツール", "", "選択範囲", "選択範囲を囲みます．", "M", 20);
    row("ActChangeLoop", "ツール", "", "ループ", "折り返して編集する．", "Ctrl+L", 100);
    row("ActToolOk", "ツール", "", "決定", "動作を決定します．", "Return, Enter", 0);
    row("ActShowColorPaletteDlg", "ウィンドウ", "カラーパレットを表示", "", "", "", 0);
    row("ActShowToolDlg", "ウィンドウ", "ツールボックスを表示", "", "", "Ctrl+T", 0);
    row("ActShowAlphaDlg", "ウィンドウ", "", "", "", "", 0);
    row("ActShowTailWindow", "ウィンドウ", "", "タイル表示", "現在の画像をタイル状に表示します．", "F4", 0);
    row("ActHelpAbout", "ヘルプ", "バージョン情報(&A)...", "バージョン情報", "バージョンなど固有情報を表示", "", 0);
}

void TestMain::actionTable()
{
    QFETCH(QString, name);
    QAction* action = actionNamed(name);
    QVERIFY(action);
    QTEST(action->property("Category").toString(), "category");
    QTEST(action->text(), "caption");
    QFETCH(QString, tooltip);
    if (!tooltip.isEmpty())
        QCOMPARE(action->toolTip(), tooltip);
    QTEST(action->statusTip(), "status");
    QTEST(shortcutsText(action), "keys");
    QTEST(action->property("GroupIndex").toInt(), "group");
    QCOMPARE(action->shortcutContext(), Qt::ApplicationShortcut);
    QVERIFY(MainForm->actions().contains(action));
    QVERIFY(!action->isCheckable()); // no action ever shows a check mark
}

void TestMain::menus_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("hint");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("file") << QStringLiteral("ファイル(&F)") << QStringLiteral("ファイル関連の機能")
                          << QStringList{"新規作成(&N)\tCtrl+N", "開く(&O)...\tCtrl+O", "タイルシートを開く(&T)...\tCtrl+Shift+O", "上書き保存(&S)\tCtrl+S", "閉じる(&C)",
                                         "名前をつけて保存(&A)...", "-", "終了(&X)"};
    QTest::newRow("edit") << QStringLiteral("編集(&E)") << QStringLiteral("編集関連の機能")
                          << QStringList{"切り取り(&T)\tCtrl+X", "コピー(&C)...\tCtrl+C", "貼り付け(&P)\tCtrl+V",
                                         "更新\tR"};
    QTest::newRow("window") << QStringLiteral("ウィンドウ(&W)") << QStringLiteral("ウィンドウ操作の機能")
                            << QStringList{"カラーパレットを表示", "ツールボックスを表示\tCtrl+T", "不透明度表示",
                                           "タイル状に表示\tF4"};
    QTest::newRow("view") << QStringLiteral("表示(&V)") << QString()
                          << QStringList{"ズームイン\tCtrl+Shift++", "ズームアウト\tCtrl+-"};
    QTest::newRow("help") << QStringLiteral("ヘルプ(&H)") << QStringLiteral("ヘルプトピック")
                          << QStringList{"バージョン情報(&A)..."};
}

void TestMain::menus()
{
    QStringList titles;
    for (QAction* a : MainForm->menuBar()->actions())
        titles << a->text();
    QCOMPARE(titles, (QStringList{"ファイル(&F)", "編集(&E)", "ウィンドウ(&W)", "表示(&V)", "ヘルプ(&H)"}));
    QFETCH(QString, title);
    QMenu* menu = menuTitled(title);
    QVERIFY(menu);
    QTEST(menu->menuAction()->statusTip(), "hint");
    QTEST(entries(menu), "items");
}

void TestMain::menuIcons()
{
    const QList<QAction*> withIcon{MainForm->ActFileNew,  MainForm->ActFileOpen,  MainForm->ActEditCut,
                                   MainForm->ActEditCopy, MainForm->ActEditPaste, MainForm->ActReload};
    for (QMenu* menu : MainForm->menuBar()->findChildren<QMenu*>()) {
        for (QAction* a : menu->actions()) {
            const bool shows = !a->icon().isNull() && a->isIconVisibleInMenu();
            QCOMPARE(shows, withIcon.contains(a));
        }
    }
    for (QAction* a : MainForm->ToolBar2->actions())
        QVERIFY(a->isSeparator() || !a->icon().isNull());
    QCOMPARE(MainForm->ActFileNew->icon().availableSizes().value(0), QSize(16, 16));
}

void TestMain::windowMenuListsChipWindows()
{
    TMDIChild* first = newChip(QStringLiteral("NONAME1"));
    TMDIChild* second = newChip(QStringLiteral("NONAME2"));
    QMenu* menu = MainForm->FMenuWindow;
    menu->popup(MainForm->mapToGlobal(QPoint(10, 10)));
    QTRY_VERIFY(menu->isVisible());
    const QStringList items = entries(menu);
    QCOMPARE(items.mid(4), (QStringList{"-", "&1 NONAME1", "&2 NONAME2"}));
    QVERIFY(!menu->actions().at(5)->isChecked());
    QVERIFY(menu->actions().at(6)->isChecked());
    menu->actions().at(5)->trigger();
    menu->hide();
    QCOMPARE(MainForm->ActiveChip(), first);
    Q_UNUSED(second);
    // Closed windows leave the list.
    closeAllChips();
    menu->popup(MainForm->mapToGlobal(QPoint(10, 10)));
    QTRY_VERIFY(menu->isVisible());
    QCOMPARE(entries(menu).size(), 4);
    menu->hide();
}

void TestMain::toolBar()
{
    QStringList shown;
    for (QAction* a : MainForm->ToolBar2->actions()) {
        if (a->isSeparator()) {
            shown << QStringLiteral("|");
            continue;
        }
        const QHash<QAction*, QString> names{
            {MainForm->ActFileNew, "New"},   {MainForm->ActFileOpen, "Open"},   {MainForm->ActFileSaveAs, "SaveAs"}, {MainForm->ActFileSave, "Save"},
            {MainForm->ActEditCut, "Cut"},   {MainForm->ActEditCopy, "Copy"},   {MainForm->ActEditPaste, "Paste"},
            {MainForm->ActUndo, "Undo"},     {MainForm->ActRedo, "Redo"},       {MainForm->ActReload, "Reload"},
            {MainForm->ActZoomIn, "ZoomIn"}, {MainForm->ActZoomOut, "ZoomOut"},
        };
        shown << names.value(a, QStringLiteral("?"));
    }
    QCOMPARE(shown, (QStringList{"New", "Open", "Save", "SaveAs", "|", "Cut", "Copy", "Paste", "|", "Undo", "Redo", "Reload",
                                 "|", "ZoomIn", "ZoomOut"}));
    QCOMPARE(MainForm->ToolBar2->height(), 30);
    QCOMPARE(MainForm->toolBarArea(MainForm->ToolBar2), Qt::TopToolBarArea);
    // The tool bar's buttons carry the short hints as tooltips.
    auto* zoomIn = qobject_cast<QToolButton*>(MainForm->ToolBar2->widgetForAction(MainForm->ActZoomIn));
    QVERIFY(zoomIn);
    QCOMPARE(zoomIn->toolTip(), QStringLiteral("Zoom In"));
    QCOMPARE(MainForm->ToolBar2->iconSize(), QSize(16, 16));
}

// Every shortcut, with the focus in each kind of window that is not modal.
void TestMain::shortcutsActEverywhere_data()
{
    QTest::addColumn<QString>("where");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("effect");
    const int ctrl = int(Qt::ControlModifier), ctrlShift = int(Qt::ControlModifier | Qt::ShiftModifier);
    for (const char* where : {"main", "chip", "toolbox", "opacity"}) {
        auto row = [where](const char* what, int key, int mods, const char* effect) {
            QTest::addRow("%s in %s", what, where) << QString(where) << key << mods << QString(effect);
        };
        row("N", Qt::Key_N, 0, "pen");
        row("V", Qt::Key_V, 0, "move");
        row("M", Qt::Key_M, 0, "mask");
        row("Ctrl+L", Qt::Key_L, ctrl, "loop");
        row("R", Qt::Key_R, 0, "reload");
        row("Return", Qt::Key_Return, 0, "confirm");
        row("keypad Enter", Qt::Key_Enter, int(Qt::KeypadModifier), "confirm");
        row("Ctrl+Shift+=", Qt::Key_Equal, ctrlShift, "zoom in");
        row("Ctrl+Shift+;", Qt::Key_Semicolon, ctrlShift, "zoom in");
        row("Ctrl+Shift+keypad +", Qt::Key_Plus, ctrlShift | int(Qt::KeypadModifier), "zoom in");
        row("Ctrl+-", Qt::Key_Minus, ctrl, "zoom out");
        row("Ctrl+keypad -", Qt::Key_Minus, ctrl | int(Qt::KeypadModifier), "zoom out");
        row("Ctrl+Z", Qt::Key_Z, ctrl, "undo");
        row("Ctrl+Y", Qt::Key_Y, ctrl, "redo");
        row("Ctrl+C", Qt::Key_C, ctrl, "copy");
        row("Ctrl+X", Qt::Key_X, ctrl, "copy");
        row("Ctrl+V", Qt::Key_V, ctrl, "paste");
        row("Ctrl+T", Qt::Key_T, ctrl, "tool box");
        row("F4", Qt::Key_F4, 0, "tile");
        row("Ctrl+N", Qt::Key_N, ctrl, "new");
        row("Ctrl+O", Qt::Key_O, ctrl, "open");
    }
}

void TestMain::shortcutsActEverywhere()
{
    QFETCH(QString, where);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, effect);

    TMDIChild* chip = newChip(QStringLiteral("NONAME1"), 4, 4);
    ChildwinProbe probe(*chip);
    chip->setZoom(3);
    // A change recorded twice and undone once gives both Undo and Redo something to do.
    probe.chip().setPixel(0, 0, ClrBlack);
    chip->PushUndo();
    probe.chip().setPixel(1, 0, ClrBlack);
    chip->PushUndo();
    chip->Undo();
    runIdle();
    QVERIFY(MainForm->ActUndo->isEnabled() && MainForm->ActRedo->isEnabled());
    if (effect == "confirm") {
        ToolData->setTool(ToolMask);
        probe.selected() = true;
    }
    if (effect == "tool box")
        ToolDlg->hide();
    if (effect == "tile")
        TailViewWin->hide();
    if (effect == "pen")
        ToolData->setTool(ToolMask);
    if (effect == "paste")
        QGuiApplication::clipboard()->setImage(QImage(2, 2, QImage::Format_RGB32));

    QWidget* target = nullptr;
    QString entryText;
    if (where == "main") {
        activate(MainForm);
        target = MainForm;
    } else if (where == "chip") {
        activate(MainForm);
        chip->setFocus();
        target = chip;
    } else if (where == "toolbox") {
        ToolDlg->show();
        activate(ToolDlg);
        target = ToolDlg;
    } else {
        AlphaDlg->show();
        activate(AlphaDlg);
        auto* entry = AlphaDlg->findChild<TIntEdit*>();
        QVERIFY(entry);
        entry->setFocus();
        entryText = entry->text();
        target = entry;
    }
    QCOMPARE(MainForm->ActiveChip(), chip);

    bool dialogShown = false;
    ModalAnswer answer([&](QWidget* modal) {
        dialogShown = true;
        if (auto* d = qobject_cast<QDialog*>(modal))
            d->reject();
    });
    MessageBoxCatcher catcher; // a key that reached the opacity entry would raise its range box
    QTest::keyClick(target, Qt::Key(key), Qt::KeyboardModifiers(modifiers));

    if (effect == "pen")
        QCOMPARE(ToolData->FTool, ToolPen);
    else if (effect == "move")
        QCOMPARE(ToolData->FTool, ToolMove);
    else if (effect == "mask")
        QCOMPARE(ToolData->FTool, ToolMask);
    else if (effect == "loop")
        QCOMPARE(ToolData->FLoop, true);
    else if (effect == "reload") {
        const auto onScreen = [&probe](int x, int y) {
            const ChildwinProbe::Shown shown = probe.shown();
            return shown.pixels.pixel(x - shown.area.left(), y - shown.area.top());
        };
        probe.chip().setPixel(3, 3, ClrBlack); // not yet on screen
        QCOMPARE(onScreen(10, 10), ClrWhite);
        QTest::keyClick(target, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(onScreen(10, 10), ClrBlack);
    } else if (effect == "confirm")
        QCOMPARE(probe.selected(), false);
    else if (effect == "zoom in")
        QCOMPARE(chip->getZoom(), 4);
    else if (effect == "zoom out")
        QCOMPARE(chip->getZoom(), 2);
    else if (effect == "undo")
        QCOMPARE(probe.chip().pixel(0, 0), ClrWhite);
    else if (effect == "redo")
        QCOMPARE(probe.chip().pixel(1, 0), ClrBlack);
    else if (effect == "copy")
        QVERIFY(QGuiApplication::clipboard()->mimeData()->hasImage());
    else if (effect == "paste")
        QCOMPARE(ToolData->FTool, ToolMove); // a paste switches to the move tool
    else if (effect == "tool box")
        QVERIFY(ToolDlg->isVisible());
    else if (effect == "tile")
        QVERIFY(TailViewWin->isVisible());
    else if (effect == "new" || effect == "open")
        QTRY_VERIFY(dialogShown);

    // The tool box follows every tool and loop command.
    QCOMPARE(ToolDlg->FBtnLoop->isChecked(), ToolData->FLoop);
    QCOMPARE(ToolDlg->FBtnMove->isChecked(), ToolData->FTool == ToolMove);
    if (where == "opacity")
        QCOMPARE(AlphaDlg->findChild<TIntEdit*>()->text(), entryText); // the entry never saw the key
    QCOMPARE(catcher.boxes().size(), 0);
    TailViewWin->hide();
    ToolDlg->show();
}

void TestMain::enterInOpacityEntryConfirmsTool()
{
    TMDIChild* chip = newChip(QStringLiteral("NONAME1"));
    ToolData->setTool(ToolMask);
    ChildwinProbe(*chip).selected() = true;
    AlphaDlg->show();
    activate(AlphaDlg);
    auto* entry = AlphaDlg->findChild<TIntEdit*>();
    entry->setFocus();
    entry->selectAll();
    const int beeps = BeepCount();
    MessageBoxCatcher catcher;
    QTest::keyClicks(entry, QStringLiteral("12"));
    QTest::keyClick(entry, Qt::Key_Return);
    QCOMPARE(ChildwinProbe(*chip).selected(), false);
    QCOMPARE(entry->text(), QStringLiteral("12"));
    QCOMPARE(catcher.boxes().size(), 0);
    QCOMPARE(BeepCount(), beeps);
    entry->setValue(255);
    AlphaDlg->setAlpha(255);
}

void TestMain::noShortcutWhileModal()
{
    TMDIChild* chip = newChip(QStringLiteral("NONAME1"));
    ToolData->setTool(ToolMask);
    ChildwinProbe(*chip).selected() = true;
    bool checked = false;
    ModalAnswer answer([&](QWidget* modal) {
        // Enter in the new-chip dialog's entry reaches the entry; N, Ctrl+L and Enter run nothing.
        auto* width = FileNewDlg->FIntEditWidth;
        width->setFocus();
        width->setText(QStringLiteral(" 40"));
        QTest::keyClick(width, Qt::Key_Return);
        QTest::keyClick(modal, Qt::Key_N);
        QTest::keyClick(modal, Qt::Key_L, Qt::ControlModifier);
        MainForm->ActChangeLoop->trigger(); // even a direct trigger is refused
        checked = width->Value() == 40;
        FileNewDlg->reject();
    });
    MainForm->ActFileNew->trigger();
    QVERIFY(answer.answered());
    QVERIFY(checked);
    QCOMPARE(ToolData->FTool, ToolMask);
    QCOMPARE(ToolData->FLoop, false);
    QCOMPARE(ChildwinProbe(*chip).selected(), true);
    QCOMPARE(MainForm->mdiArea()->subWindowList().size(), 1);
}

// With a popup open above a modal dialog (a completer, a menu), its keys stay its own: Qt lets
// application-wide shortcuts match there.
void TestMain::popupAboveModalKeepsItsKeys()
{
    TMDIChild* chip = newChip(QStringLiteral("NONAME1"));
    ToolData->setTool(ToolMask);
    ChildwinProbe(*chip).selected() = true;
    QSignalSpy okFired(MainForm->ActToolOk, &QAction::triggered);
    QSignalSpy penFired(MainForm->ActChangeToolPen, &QAction::triggered);
    bool itemChosen = false;
    QString completed;
    ModalAnswer answer([&](QWidget*) {
        // A menu's own letter.
        QMenu popup(FileNewDlg);
        QAction* item = popup.addAction(QStringLiteral("&New item"));
        QObject::connect(item, &QAction::triggered, [&] { itemChosen = true; });
        popup.popup(FileNewDlg->mapToGlobal(QPoint(20, 20)));
        QTRY_VERIFY(popup.isVisible());
        QTest::keyClick(&popup, Qt::Key_N);
        QTRY_VERIFY(!popup.isVisible());

        // Return in a completer's list.
        auto* edit = new QLineEdit(FileNewDlg);
        auto* completer = new QCompleter(QStringList{"alpha", "alpine"}, edit);
        edit->setCompleter(completer);
        edit->show();
        edit->setFocus();
        QTest::keyClicks(edit, QStringLiteral("al"));
        // Each key waits until the list shows what the one before did, as a loaded machine may
        // show the list before it holds both names.
        QTRY_VERIFY(completer->popup()->isVisible() && completer->completionCount() == 2);
        QTest::keyClick(completer->popup(), Qt::Key_Down);
        QTRY_VERIFY(completer->popup()->currentIndex().isValid());
        QTest::keyClick(completer->popup(), Qt::Key_Return);
        QTRY_VERIFY(!completer->popup()->isVisible());
        completed = edit->text();
        delete edit;
        FileNewDlg->reject();
    });
    MainForm->ActFileNew->trigger();
    QVERIFY(answer.answered());
    QVERIFY(itemChosen);
    QCOMPARE(completed, QStringLiteral("alpha"));
    QCOMPARE(okFired.count(), 0);
    QCOMPARE(penFired.count(), 0);
    QCOMPARE(ToolData->FTool, ToolMask);
    QCOMPARE(ChildwinProbe(*chip).selected(), true);
}

void TestMain::noChipWindowOpen_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("floatingBefore");
    QTest::addColumn<int>("tool");
    QTest::addColumn<bool>("floatingAfter");
    QTest::addColumn<bool>("loop");
    QTest::newRow("copy") << "ActEditCopy" << true << int(ToolPen) << true << false;
    QTest::newRow("cut") << "ActEditCut" << true << int(ToolPen) << true << false;
    QTest::newRow("paste") << "ActEditPaste" << true << int(ToolPen) << true << false;
    QTest::newRow("reload") << "ActReload" << true << int(ToolPen) << true << false;
    QTest::newRow("zoom in") << "ActZoomIn" << true << int(ToolPen) << true << false;
    QTest::newRow("zoom out") << "ActZoomOut" << true << int(ToolPen) << true << false;
    QTest::newRow("enter") << "ActToolOk" << true << int(ToolPen) << true << false;
    QTest::newRow("close") << "ActFileClose" << true << int(ToolPen) << true << false;
    QTest::newRow("save as") << "ActFileSaveAs" << true << int(ToolPen) << true << false;
    QTest::newRow("undo") << "ActUndo" << true << int(ToolPen) << true << false;
    QTest::newRow("move clears floating") << "ActChangeToolMove" << true << int(ToolMove) << false << false;
    QTest::newRow("mask keeps floating") << "ActChangeToolMask" << true << int(ToolMask) << true << false;
    QTest::newRow("pen keeps floating") << "ActChangeToolPen" << true << int(ToolPen) << true << false;
    QTest::newRow("loop") << "ActChangeLoop" << false << int(ToolPen) << false << true;
}

void TestMain::noChipWindowOpen()
{
    QFETCH(QString, command);
    QFETCH(bool, floatingBefore);
    QGuiApplication::clipboard()->setImage(QImage(2, 2, QImage::Format_RGB32));
    ToolData->FFloating = floatingBefore;
    ToolData->FBusy = true; // no chip window can refuse the tool change
    bool dialogShown = false;
    ModalAnswer answer([&](QWidget* modal) {
        dialogShown = true;
        static_cast<QDialog*>(modal)->reject();
    });
    runIdle();
    actionNamed(command)->trigger();
    ToolData->FBusy = false;
    QTEST(int(ToolData->FTool), "tool");
    QTEST(ToolData->FFloating, "floatingAfter");
    QTEST(ToolData->FLoop, "loop");
    QCOMPARE(dialogShown, false);
    QCOMPARE(MainForm->mdiArea()->subWindowList().size(), 0);
    QCOMPARE(ToolDlg->FBtnMask->isChecked(), ToolData->FTool == ToolMask);
    QVERIFY(!MainForm->ActUndo->isEnabled());
    QVERIFY(!MainForm->ActRedo->isEnabled());
    QVERIFY(!MainForm->ActFileClose->isEnabled());
}

void TestMain::commandsGoToCurrentChip()
{
    TMDIChild* a = newChip(QStringLiteral("NONAME1"));
    TMDIChild* b = newChip(QStringLiteral("NONAME2"));
    TMDIChild* c = newChip(QStringLiteral("NONAME3"));
    QCOMPARE(MainForm->ActiveChip(), c);
    MainForm->mdiArea()->setActiveSubWindow(windowOf(a));
    QCOMPARE(MainForm->ActiveChip(), a);
    // A click into the tool box leaves the chip window current.
    activate(ToolDlg);
    QTest::mouseClick(ToolDlg->FBtnMask, Qt::LeftButton);
    QCOMPARE(ToolData->FTool, ToolMask);
    QTest::keyClick(ToolDlg, Qt::Key_Equal, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(a->getZoom(), 2);
    QCOMPARE(b->getZoom(), 1);
    QCOMPARE(c->getZoom(), 1);
    activate(MainForm);
    MainForm->mdiArea()->setActiveSubWindow(windowOf(b));
    MainForm->ActZoomIn->trigger();
    MainForm->ActZoomIn->trigger();
    QCOMPARE(a->getZoom(), 2);
    QCOMPARE(b->getZoom(), 3);
    // Save As, Close and the preview take the same window.
    MainForm->ActShowTailWindow->trigger();
    runIdle(); // Close enables itself at idle time, as the user always gives it
    MainForm->ActFileClose->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(MainForm->mdiArea()->subWindowList().size(), 2);
    QVERIFY(MainForm->ActiveChip() == a || MainForm->ActiveChip() == c);
    TailViewWin->hide();
}

// The chip that was current before the closed one becomes current again.
void TestMain::closingCurrentChipFallsBackToPrevious()
{
    TMDIChild* a = newChip(QStringLiteral("NONAME1"));
    TMDIChild* b = newChip(QStringLiteral("NONAME2"));
    TMDIChild* c = newChip(QStringLiteral("NONAME3"));
    MainForm->mdiArea()->setActiveSubWindow(windowOf(a));
    MainForm->mdiArea()->setActiveSubWindow(windowOf(c));
    runIdle();
    MainForm->ActFileClose->trigger();
    QCOMPARE(MainForm->ActiveChip(), a);
    Q_UNUSED(b);
    QPointer<TMDIChild> gone = a;
    MainForm->ActFileClose->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!gone);
    QCOMPARE(MainForm->ActiveChip(), b);
    MainForm->ActFileClose->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(MainForm->ActiveChip(), nullptr);
    MainForm->ActZoomIn->trigger(); // nothing to act on
}

void TestMain::switchingChipCommitsPendingMove()
{
    TMDIChild* a = newChip(QStringLiteral("NONAME1"), 4, 4);
    TMDIChild* b = newChip(QStringLiteral("NONAME2"), 4, 4);
    MainForm->mdiArea()->setActiveSubWindow(windowOf(a));
    MainForm->ActChangeToolMove->trigger();
    // A move in a: press, drag by one pixel, release; it stays pending.
    QTest::mousePress(a->frontImage(), Qt::LeftButton, {}, QPoint(1, 1));
    QTest::mouseMove(a->frontImage(), QPoint(2, 1));
    QTest::mouseRelease(a->frontImage(), Qt::LeftButton, {}, QPoint(2, 1));
    if (!ToolData->FBusy)
        QSKIP("the move tool has not landed yet");
    const size_t steps = ChildwinProbe(*a).undoCount();
    // Activating a tool window keeps it pending; making b current commits it.
    activate(ToolDlg);
    QVERIFY(ToolData->FBusy);
    activate(MainForm);
    MainForm->mdiArea()->setActiveSubWindow(windowOf(b));
    QCOMPARE(ToolData->FBusy, false);
    QCOMPARE(ToolData->FFloating, false);
    QCOMPARE(ChildwinProbe(*a).undoCount(), steps + 1);
}

void TestMain::undoRedoEnabledAtIdle()
{
    runIdle();
    QVERIFY(!MainForm->ActUndo->isEnabled());
    QVERIFY(!MainForm->ActRedo->isEnabled());
    TMDIChild* a = newChip(QStringLiteral("NONAME1"));
    runIdle();
    QVERIFY(!MainForm->ActUndo->isEnabled());
    QVERIFY(!MainForm->ActRedo->isEnabled());
    QVERIFY(MainForm->ActFileClose->isEnabled());
    ChildwinProbe(*a).chip().setPixel(0, 0, ClrBlack);
    a->PushUndo();
    QVERIFY(!MainForm->ActUndo->isEnabled()); // only at the next idle moment
    runIdle();
    QVERIFY(MainForm->ActUndo->isEnabled());
    QVERIFY(!MainForm->ActRedo->isEnabled());
    TMDIChild* b = newChip(QStringLiteral("NONAME2"));
    runIdle();
    QVERIFY(!MainForm->ActUndo->isEnabled());
    MainForm->mdiArea()->setActiveSubWindow(windowOf(a));
    runIdle();
    QVERIFY(MainForm->ActUndo->isEnabled());
    // The tool box taking the focus keeps a current.
    activate(ToolDlg);
    runIdle();
    QVERIFY(MainForm->ActUndo->isEnabled());
    QTest::keyClick(ToolDlg, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(ChildwinProbe(*a).chip().pixel(0, 0), ClrWhite);
    runIdle();
    QVERIFY(!MainForm->ActUndo->isEnabled());
    QVERIFY(MainForm->ActRedo->isEnabled());
    // An operation under way disables both.
    ToolData->FBusy = true;
    runIdle();
    QVERIFY(!MainForm->ActRedo->isEnabled());
    QTest::keyClick(ToolDlg, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(ChildwinProbe(*a).chip().pixel(0, 0), ClrWhite);
    ToolData->FBusy = false;
    runIdle();
    QVERIFY(MainForm->ActRedo->isEnabled());
    Q_UNUSED(b);
}

void TestMain::zoomStaysInRange_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<bool>("in");
    QTest::addColumn<int>("expected");
    QTest::newRow("16 in") << 16 << true << 16;
    QTest::newRow("15 in") << 15 << true << 16;
    QTest::newRow("1 out") << 1 << false << 1;
    QTest::newRow("2 out") << 2 << false << 1;
}

void TestMain::zoomStaysInRange()
{
    QFETCH(int, start);
    QFETCH(bool, in);
    TMDIChild* chip = newChip(QStringLiteral("NONAME1"), 2, 2);
    chip->setZoom(start);
    if (in)
        QTest::keyClick(MainForm, Qt::Key_Equal, Qt::ControlModifier | Qt::ShiftModifier);
    else
        QTest::keyClick(MainForm, Qt::Key_Minus, Qt::ControlModifier);
    QTEST(chip->getZoom(), "expected");
}

void TestMain::operationsForOtherWindows()
{
    TMDIChild* chip = newChip(QStringLiteral("NONAME1"));
    Q_UNUSED(chip);
    ChipHost()->ChangeToolMove();
    QCOMPARE(ToolData->FTool, ToolMove);
    QVERIFY(ToolDlg->FBtnMove->isChecked());
    MainForm->ChangeToolPen();
    QVERIFY(ToolDlg->FBtnPen->isChecked());
    MainForm->ChangeLoop();
    QVERIFY(ToolData->FLoop);
    QVERIFY(ToolDlg->FBtnLoop->isChecked());
    ToolData->setColor(RGBColor(1, 2, 3));
    ChipHost()->UpdateFromToolData();
    QCOMPARE(ToolDlg->FPanelFrontColor->palette().color(QPalette::Window), QColor(1, 2, 3));

    // The colour choice: Cancel changes nothing, OK takes the palette's colour.
    {
        ModalAnswer cancel([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
        MainForm->ChooseColor();
        QVERIFY(cancel.answered());
        QCOMPARE(ToolData->getColor(), RGBColor(1, 2, 3));
    }
    {
        ModalAnswer ok([](QWidget* modal) { static_cast<QDialog*>(modal)->accept(); });
        MainForm->ChooseColor();
        QVERIFY(ok.answered());
        QCOMPARE(ToolData->getColor(), ColorPaletteDlg->getPickedColor());
        QCOMPARE(ToolDlg->FPanelFrontColor->palette().color(QPalette::Window).rgb(),
                 ColorToQRgb(ColorPaletteDlg->getPickedColor()));
    }
}

void TestMain::opacityWindowShownAgain()
{
    AlphaDlg->hide();
    QMenu* menu = MainForm->FMenuWindow;
    menu->popup(MainForm->mapToGlobal(QPoint(10, 10)));
    QTRY_VERIFY(menu->isVisible());
    QAction* entry = menu->actions().at(2);
    QCOMPARE(entry->text(), QStringLiteral("不透明度表示"));
    entry->trigger();
    menu->hide();
    QVERIFY(AlphaDlg->isVisible());
}

void TestMain::tilePreviewShowsCurrentChip()
{
    TMDIChild* a = newChip(QStringLiteral("NONAME1"), 3, 3);
    TMDIChild* b = newChip(QStringLiteral("NONAME2"), 5, 5);
    Q_UNUSED(b);
    MainForm->mdiArea()->setActiveSubWindow(windowOf(a));
    ChildwinProbe(*a).chip().fill(RGBColor(10, 20, 30));
    QMenu* menu = MainForm->FMenuWindow;
    menu->popup(MainForm->mapToGlobal(QPoint(10, 10)));
    QTRY_VERIFY(menu->isVisible());
    QAction* entry = menu->actions().at(3);
    QVERIFY(entry->text().startsWith(QStringLiteral("タイル状に表示")));
    entry->trigger();
    menu->hide();
    QVERIFY(TailViewWin->isVisible());
    QTRY_COMPARE(TailViewWin->FImgView->picture().pixel(4, 4), RGBColor(10, 20, 30));
    TailViewWin->hide();
}

void TestMain::hintsReachStatusLine()
{
    // A tool box button, in a window of its own.
    ToolDlg->show();
    activate(ToolDlg);
    QTest::mouseMove(ToolDlg->FBtnMove, QPoint(5, 5));
    QTRY_COMPARE(MainForm->statusBar()->currentMessage(), QStringLiteral("画像を移動させます．"));
    QTest::mouseMove(ToolDlg->FBtnLoop, QPoint(5, 5));
    QTRY_COMPARE(MainForm->statusBar()->currentMessage(), QStringLiteral("ループ(Ctrl+L)"));
    // A tool bar button of the frame.
    activate(MainForm);
    QWidget* save = MainForm->ToolBar2->widgetForAction(MainForm->ActFileSaveAs);
    QTest::mouseMove(save, QPoint(5, 5));
    QTRY_COMPARE(MainForm->statusBar()->currentMessage(), QStringLiteral("ファイルに別の名前をつけて保存"));
    // A menu item.
    QMenu* file = menuTitled(QStringLiteral("ファイル(&F)"));
    file->popup(MainForm->mapToGlobal(QPoint(10, 10)));
    QTRY_VERIFY(file->isVisible());
    file->setActiveAction(MainForm->ActFileOpen);
    QTRY_COMPARE(MainForm->statusBar()->currentMessage(), QStringLiteral("ファイルを開く"));
    file->hide();
    QTest::mouseMove(MainForm->mdiArea(), QPoint(50, 50));
}

void TestMain::errorBoxText_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("Japanese") << QStringLiteral("ファイル a を作成できません") << QStringLiteral("ファイル a を作成できません.");
    QTest::newRow("letter") << "Out of memory" << "Out of memory.";
    QTest::newRow("period") << "Done." << "Done.";
    QTest::newRow("parenthesis") << "Failed (disk)" << "Failed (disk)";
    QTest::newRow("exclamation") << "Oops!" << "Oops!";
    QTest::newRow("minus sorts before") << "a-" << "a-";
    QTest::newRow("slash sorts after") << "a/" << "a/.";
    QTest::newRow("empty") << "" << "";
}

void TestMain::errorBoxText()
{
    QFETCH(QString, message);
    QTEST(TMainForm::ErrorBoxText(message), "shown");
}

void TestMain::aboutBox()
{
    QString title, texts, okText;
    bool okDefault = false, centred = false;
    QSize client;
    ModalAnswer answer([&](QWidget* modal) {
        title = modal->windowTitle();
        QStringList lines;
        for (QLabel* l : modal->findChildren<QLabel*>())
            lines << l->text();
        texts = lines.join(u'|');
        auto* ok = modal->findChild<QPushButton*>();
        okText = ok->text();
        okDefault = ok->isDefault();
        client = modal->size();
        const QRect screen = modal->screen()->availableGeometry();
        centred = (modal->geometry().center() - screen.center()).manhattanLength() < 40;
        QTest::keyClick(modal, Qt::Key_Return); // the default button closes it
    });
    MainForm->ActHelpAbout->trigger();
    QVERIFY(answer.answered());
    QVERIFY(!AboutBox->isVisible());
    QCOMPARE(title, QStringLiteral("バージョン情報"));
    QVERIFY(texts.contains(QStringLiteral("Product Name: Ossery")));
    QVERIFY(texts.contains(QStringLiteral("Version：0.20")));
    QCOMPARE(okText, QStringLiteral("OK"));
    QVERIFY(okDefault);
    QCOMPARE(client, QSize(298, 206));
    QVERIFY(centred);
}

void TestMain::exitClosesWithoutQuestion()
{
    newChip(QStringLiteral("NONAME1"));
    MessageBoxCatcher catcher;
    MainForm->ActFileExit->trigger();
    QVERIFY(!MainForm->isVisible());
    QCOMPARE(catcher.boxes().size(), 0);
}

// Where the style lets Alt alone select the menu bar, as Windows' own does, an Alt+click that
// picks the pen colour must not leave the menu bar selected after Alt is released.
void TestMain::altClickLeavesTheMenuBarAlone_data()
{
    QTest::addColumn<bool>("click");
    QTest::addColumn<bool>("menuBarSelected");
    QTest::newRow("Alt alone selects the menu bar") << false << true;
    QTest::newRow("Alt+click picks the colour") << true << false;
}

void TestMain::altClickLeavesTheMenuBarAlone()
{
    QFETCH(bool, click);
    QMenuBar* bar = MainForm->menuBar();
    const std::unique_ptr<QStyle> windowsStyle(QStyleFactory::create(QStringLiteral("Windows")));
    QStyle* own = bar->style();
    bar->setStyle(windowsStyle.get());
    TMDIChild* chip = newChip(QStringLiteral("NONAME1"));
    chip->frontImage()->setFocus();
    QTest::keyPress(chip->frontImage(), Qt::Key_Alt, Qt::AltModifier);
    if (click)
        QTest::mouseClick(chip->frontImage(), Qt::LeftButton, Qt::AltModifier, QPoint(3, 3));
    QTest::keyRelease(chip->frontImage(), Qt::Key_Alt);
    const bool selected = bar->activeAction() != nullptr;
    QTest::keyClick(bar, Qt::Key_Escape);
    bar->setStyle(own);
    QTEST(selected, "menuBarSelected");
}

// A run keeps Qt's settings in a folder of its own, which goes with it; a run that was killed left
// its folder behind, and the next start removes it: only such folders of this user, never the
// folder of a run still going or anybody else's.
void TestMain::foldersOfKilledRunsGo_data()
{
    QTest::addColumn<QString>("owner");
    QTest::addColumn<bool>("removed");
    QTest::newRow("a killed run's") << "killed" << true;
    QTest::newRow("a run still going") << "running" << false;
    QTest::newRow("another user's killed run") << "other user" << false;
    QTest::newRow("another program's") << "other program" << false;
}

void TestMain::foldersOfKilledRunsGo()
{
#ifdef Q_OS_WIN
    QSKIP("on Windows no folder is made");
#else
    QFETCH(QString, owner);
    QFETCH(bool, removed);
    if (owner == "other user" && ::getuid() != 0)
        QSKIP("only root can make a folder that another user owns");
    QProcess ended;
    ended.start(QStringLiteral("true"));
    QVERIFY(ended.waitForFinished());
    const qint64 pid = owner == "running" ? QCoreApplication::applicationPid() : ended.processId();
    QTemporaryDir temp;
    const QString name = owner == "other program" ? QStringLiteral("Ossery-AbC123") : QStringLiteral("marlo-run-%1-AbC123").arg(pid);
    const QString folder = temp.filePath(name);
    QVERIFY(QDir().mkpath(folder + QStringLiteral("/QtProject")));
    if (owner == "other user")
        QCOMPARE(::chown(QFile::encodeName(folder).constData(), 65534, 65534), 0);
    const QByteArray oldTemp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(temp.path()));
    QStringList ownFolders;
    {
        const TSettingsOfThisRun settings;
        ownFolders = QDir(temp.path()).entryList({QStringLiteral("marlo-run-*")}, QDir::Dirs);
        ownFolders.removeOne(name);
    }
    qputenv("TMPDIR", oldTemp);
    // Qt's settings still point into the removed folder: a dialog would make it again.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
    QCOMPARE(!QFileInfo::exists(folder), removed);
    QCOMPARE(ownFolders.size(), 1);
    QVERIFY2(!QFileInfo::exists(temp.filePath(ownFolders.first())), "the run's own folder went with it");
#endif
}

QTEST_MAIN(TestMain)
#include "test_main.moc"
