// SPDX-License-Identifier: MIT
// The main window's shortcuts with real key events from the X server: the keys that carry "+"
// and "-" with their modifiers, the keypad's keys, Enter and plain letters in a tool window's
// entry, and a menu's own letters while it is open.
#include <QMenu>
#include <QMenuBar>
#include <QProcess>

#include "ShellTestSupport.h"
#include "shell/UFileNewDlg.h"
#include "tools/UAlphaDlg.h"
#include "tools/UIntEdit.h"

using namespace shell;

namespace {

// Real key presses through the X server's test extension, to whichever window has the focus.
bool xkey(const QString& keys)
{
    return QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("--delay"),
                                                         QStringLiteral("30"), keys}) == 0;
}

} // namespace

class TestShellKeys : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void zoomKeys_data();
    void zoomKeys();
    void keysInOpacityEntry_data();
    void keysInOpacityEntry();
    void openMenuKeepsItsLetters();
};

void TestShellKeys::initTestCase()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X server");
    if (QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("version")}) != 0)
        QSKIP("xdotool is not installed");
    CreateMarloWindows();
    MainForm->show();
    activate(MainForm);
}

void TestShellKeys::cleanupTestCase()
{
    DestroyMarloWindows();
}

void TestShellKeys::init()
{
    ResetToolData();
    ToolDlg->UpdateFromToolData();
}

void TestShellKeys::cleanup()
{
    closeAllChips();
}

void TestShellKeys::zoomKeys_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<int>("zoom");
    for (const char* focus : {"chip", "toolbox"}) {
        QTest::addRow("Ctrl+Shift and the + key, %s", focus) << focus << "ctrl+shift+equal" << 4;
        QTest::addRow("Ctrl+Shift and keypad +, %s", focus) << focus << "ctrl+shift+KP_Add" << 4;
        QTest::addRow("Ctrl and the - key, %s", focus) << focus << "ctrl+minus" << 2;
        QTest::addRow("Ctrl and keypad -, %s", focus) << focus << "ctrl+KP_Subtract" << 2;
    }
    // Without the modifiers the keys do nothing.
    QTest::newRow("= alone") << "chip" << "equal" << 3;
    QTest::newRow("Ctrl and the + key without Shift") << "chip" << "ctrl+equal" << 3;
    QTest::newRow("- alone") << "chip" << "minus" << 3;
}

void TestShellKeys::zoomKeys()
{
    QFETCH(QString, focus);
    QFETCH(QString, keys);
    TMDIChild* chip = newChip(QStringLiteral("NONAME1"), 8, 8);
    chip->setZoom(3);
    if (focus == "chip") {
        activate(MainForm);
        chip->setFocus();
    } else {
        activate(ToolDlg);
    }
    QVERIFY(xkey(keys));
    QFETCH(int, zoom);
    QTRY_COMPARE(chip->getZoom(), zoom);
    QTest::qWait(100);
    QCOMPARE(chip->getZoom(), zoom); // one step per press
}

void TestShellKeys::keysInOpacityEntry_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("effect");
    QTest::newRow("Return") << "Return" << "confirm";
    QTest::newRow("keypad Enter") << "KP_Enter" << "confirm";
    QTest::newRow("N") << "n" << "pen";
    QTest::newRow("V") << "v" << "move";
}

// The shortcut takes the key before the entry sees it.
void TestShellKeys::keysInOpacityEntry()
{
    QFETCH(QString, keys);
    QFETCH(QString, effect);
    TMDIChild* chip = newChip(QStringLiteral("NONAME1"), 8, 8);
    ToolData->setTool(ToolMask);
    ChildwinProbe(*chip).selected() = true;
    AlphaDlg->show();
    activate(AlphaDlg);
    auto* entry = AlphaDlg->findChild<TIntEdit*>();
    QVERIFY(entry);
    entry->setFocus();
    const QString before = entry->text();
    MessageBoxCatcher catcher;
    QVERIFY(xkey(keys));
    if (effect == "confirm")
        QTRY_COMPARE(ChildwinProbe(*chip).selected(), false);
    else if (effect == "pen")
        QTRY_COMPARE(ToolData->FTool, ToolPen);
    else
        QTRY_COMPARE(ToolData->FTool, ToolMove);
    QTest::qWait(50);
    QCOMPARE(entry->text(), before);
    QCOMPARE(catcher.boxes().size(), 0);
}

// With the File menu open, N is its New item, not the pen; Esc leaves things as they were.
void TestShellKeys::openMenuKeepsItsLetters()
{
    ToolData->setTool(ToolMask);
    activate(MainForm);
    bool dialogOpened = false;
    ModalAnswer answer([&](QWidget* modal) {
        dialogOpened = modal == FileNewDlg;
        FileNewDlg->reject();
    });
    QVERIFY(xkey(QStringLiteral("alt+f")));
    QTRY_VERIFY(qobject_cast<QMenu*>(QApplication::activePopupWidget()));
    QVERIFY(xkey(QStringLiteral("n")));
    QTRY_VERIFY(answer.answered());
    QVERIFY(dialogOpened);
    QCOMPARE(ToolData->FTool, ToolMask);
}

QTEST_MAIN(TestShellKeys)
#include "x11_shell_keys.moc"
