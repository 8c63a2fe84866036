// SPDX-License-Identifier: MIT
// The file commands: New with its dialog and captions, Open, Save As, Close, and their dialogs.
#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QWindow>
#include <atomic>
#include <thread>

#include "ShellTestSupport.h"
#include "pictures/BmpFile.h"
#include "platform/InterfaceFont.h"
#include "platform/MessageBoxes.h"
#include "pictures/PictureFile.h"
#include "platform/SingleInstance.h"
#include "shell/UFileNewDlg.h"
#include "tools/UIntEdit.h"

using namespace shell;

namespace {

QStringList captions()
{
    QStringList out;
    for (QMdiSubWindow* w : MainForm->mdiArea()->subWindowList())
        out << w->windowTitle();
    return out;
}

// Answers the new-chip dialog with the texts typed into its entries, then OK.
void answerNewDialog(const QString& width, const QString& height)
{
    FileNewDlg->FIntEditWidth->setText(width);
    FileNewDlg->FIntEditHeight->setText(height);
    QTest::mouseClick(FileNewDlg->FBtnOk, Qt::LeftButton);
}

// Types a name into a file dialog's name field and presses Return, as a user does.
void typeFileName(QWidget* dialog, const QString& name)
{
    auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    QVERIFY(edit);
    // The dialog reads its folder in the background and, once it has, selects the name it
    // proposed, over whatever was typed before. A person types after that; so does this.
    // A folder read before comes from the model's cache at once and sends no signal.
    if (auto* model = dialog->findChild<QFileSystemModel*>()) {
        QSignalSpy loaded(model, &QFileSystemModel::directoryLoaded);
        loaded.wait(1000);
        QTest::qWait(20);
    }
    edit->setText(name);
    QCOMPARE(edit->text(), name);
    QTest::keyClick(edit, Qt::Key_Return);
}

// A drag of the URLs and the text over the main window at a point of it, as the window system
// brings it: it enters, and is dropped whether or not the window took it. Whether the window took
// it as a copy.
bool dropOnMainWindow(QPoint at, const QList<QUrl>& urls, const QString& text = {})
{
    QMimeData data;
    if (!urls.isEmpty())
        data.setUrls(urls);
    if (!text.isEmpty())
        data.setText(text);
    const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(MainForm->windowHandle(), &enter);
    QDropEvent drop(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(MainForm->windowHandle(), &drop);
    return enter.isAccepted() && enter.dropAction() == Qt::CopyAction && drop.isAccepted();
}

// Where a drop lands: on the frame's empty area, or on the view of a chip window made for it.
QPoint dropPoint(const QString& target)
{
    if (target == "chip")
        return newChip(QStringLiteral("NONAME1"), 32, 32)->frontImage()->mapTo(MainForm, QPoint(4, 4));
    QMdiArea* area = MainForm->mdiArea();
    return area->mapTo(MainForm, QPoint(area->width() - 4, area->height() - 4));
}

Bitmap sample(int w, int h)
{
    Bitmap b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.setPixel(x, y, RGBColor(x * 7, y * 5, (x + y) * 3));
    return b;
}

} // namespace

class TestFileCommands : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void newDialogLayout();
    void newChipCaptions_data();
    void newChipCaptions();
    void newDialogStartsAt32();
    void newDialogValidates_data();
    void newDialogValidates();
    void newDialogKeys_data();
    void newDialogKeys();
    void openMakesChipFromFile_data();
    void openMakesChipFromFile();
    void filesGivenOpenInOrder_data();
    void filesGivenOpenInOrder();
    void handOverTakesSoundMessagesOnly_data();
    void handOverTakesSoundMessagesOnly();
    void openDialog();
    void completerListGoesWithTheDialog();
    void saveAs_data();
    void saveAs();
    void saveAsUnwritableFolder();
    void saveWritesBack_data();
    void saveWritesBack();
    void saveDialogProposesLastName();
    void closeDestroysWithoutQuestion();
    void noKeyClosesAChip();
    void qtsOwnTextsAreJapanese();
    void interfaceFaceShowsJapanese();

private:
    QTemporaryDir dir;
};

void TestFileCommands::initTestCase()
{
    QVERIFY(dir.isValid());
    CreateMarloWindows();
    MainForm->show();
    activate(MainForm);
}

void TestFileCommands::cleanupTestCase()
{
    DestroyMarloWindows();
}

void TestFileCommands::init()
{
    ResetToolData();
    runIdle();
}

void TestFileCommands::cleanup()
{
    closeAllChips();
}

void TestFileCommands::newDialogLayout()
{
    TFileNewDlg* d = FileNewDlg;
    QCOMPARE(d->windowTitle(), QStringLiteral("新規作成"));
    QCOMPARE(d->size(), QSize(242, 222));
    QCOMPARE(d->minimumSize(), d->maximumSize());
    QCOMPARE(d->GroupBox1->title(), QStringLiteral("チップサイズ"));
    QCOMPARE(d->GroupBox1->geometry(), QRect(8, 16, 145, 89));
    QCOMPARE(d->Label1->text(), QStringLiteral("幅："));
    QCOMPARE(d->Label2->text(), QStringLiteral("高さ："));
    QCOMPARE(d->FIntEditWidth->geometry(), QRect(48, 24, 81, 20));
    QCOMPARE(d->FIntEditHeight->geometry(), QRect(48, 56, 81, 20));
    QVERIFY(d->Label1->geometry().right() < d->FIntEditWidth->x());
    for (TIntEdit* e : {d->FIntEditWidth, d->FIntEditHeight}) {
        QCOMPARE(e->MinValue(), 0);
        QCOMPARE(e->MaxValue(), 256);
    }
    QCOMPARE(d->FIntEditWidth->ShowName(), QStringLiteral("チップの幅"));
    QCOMPARE(d->FIntEditHeight->ShowName(), QStringLiteral("チップの高さ"));
    QCOMPARE(d->FBtnOk->text(), QStringLiteral("OK"));
    QCOMPARE(d->FBtnOk->geometry(), QRect(8, 192, 75, 25));
    QCOMPARE(d->FBtnCancel->text(), QStringLiteral("キャンセル"));
    QCOMPARE(d->FBtnCancel->geometry(), QRect(160, 192, 75, 25));
    for (QPushButton* b : {d->FBtnOk, d->FBtnCancel}) {
        QVERIFY(!b->isDefault());
        QVERIFY(!b->autoDefault());
    }
    // Tab order: width, height, OK, Cancel.
    const auto nextTabStop = [](QWidget* w) {
        do
            w = w->nextInFocusChain();
        while (!(w->focusPolicy() & Qt::TabFocus));
        return w;
    };
    QCOMPARE(nextTabStop(d->FIntEditWidth), static_cast<QWidget*>(d->FIntEditHeight));
    QCOMPARE(nextTabStop(d->FIntEditHeight), static_cast<QWidget*>(d->FBtnOk));
    QCOMPARE(nextTabStop(d->FBtnOk), static_cast<QWidget*>(d->FBtnCancel));
}

void TestFileCommands::newChipCaptions_data()
{
    QTest::addColumn<int>("open");
    QTest::addColumn<int>("closeIndex"); // -1: none
    QTest::addColumn<QString>("caption");
    QTest::newRow("first") << 0 << -1 << "NONAME1";
    QTest::newRow("two open") << 2 << -1 << "NONAME3";
    QTest::newRow("repeats after a close") << 2 << 0 << "NONAME2";
    QTest::newRow("ten open") << 10 << -1 << "NONAME11";
}

void TestFileCommands::newChipCaptions()
{
    QFETCH(int, open);
    QFETCH(int, closeIndex);
    for (int i = 0; i < open; ++i) {
        ModalAnswer answer([](QWidget*) { answerNewDialog("32", "32"); });
        MainForm->ActFileNew->trigger();
        QVERIFY(answer.answered());
    }
    if (closeIndex >= 0) {
        MainForm->mdiArea()->setActiveSubWindow(MainForm->mdiArea()->subWindowList().at(closeIndex));
        runIdle();
        MainForm->ActFileClose->trigger();
    }
    ModalAnswer answer([](QWidget*) { answerNewDialog("5", "7"); });
    activate(MainForm); // the offscreen platform does not give it back after a dialog
    QTest::keyClick(MainForm, Qt::Key_N, Qt::ControlModifier);
    QVERIFY(answer.answered());
    QFETCH(QString, caption);
    QCOMPARE(MainForm->ActiveChipWindow()->windowTitle(), caption);
    TMDIChild* chip = MainForm->ActiveChip();
    QCOMPARE(chip->FChipBmp.width(), 5);
    QCOMPARE(chip->FChipBmp.height(), 7);
    QCOMPARE(chip->FChipBmp.pixel(4, 6), ClrWhite);
    QCOMPARE(chip->getZoom(), 1);
}

void TestFileCommands::newDialogStartsAt32()
{
    ModalAnswer first([](QWidget*) { answerNewDialog("100", "20"); });
    MainForm->ActFileNew->trigger();
    QString widthText, heightText;
    bool selected = false;
    ModalAnswer second([&](QWidget*) {
        widthText = FileNewDlg->FIntEditWidth->text();
        heightText = FileNewDlg->FIntEditHeight->text();
        selected = FileNewDlg->focusWidget() == FileNewDlg->FIntEditWidth
                   && FileNewDlg->FIntEditWidth->selectedText() == widthText;
        QTest::mouseClick(FileNewDlg->FBtnCancel, Qt::LeftButton);
    });
    MainForm->ActFileNew->trigger();
    QVERIFY(second.answered());
    QCOMPARE(widthText, QStringLiteral("32"));
    QCOMPARE(heightText, QStringLiteral("32"));
    QVERIFY(selected);
    QCOMPARE(captions(), QStringList{"NONAME1"}); // Cancel made nothing
    QCOMPARE(MainForm->ActiveChip()->FChipBmp.width(), 100);
    QCOMPARE(MainForm->ActiveChip()->FChipBmp.height(), 20);
}

void TestFileCommands::newDialogValidates_data()
{
    QTest::addColumn<QString>("width");
    QTest::addColumn<QString>("height");
    QTest::addColumn<QString>("message"); // empty: accepted
    QTest::addColumn<QString>("focus");
    QTest::newRow("width too big") << "300" << "10" << QStringLiteral("チップの幅は 0～256 の範囲で指定してね") << "width";
    QTest::newRow("both wrong: width first") << "abc" << "-1"
                                             << QStringLiteral("チップの幅は 0～256 の範囲で指定してね") << "width";
    QTest::newRow("height wrong") << "16" << "257" << QStringLiteral("チップの高さは 0～256 の範囲で指定してね")
                                  << "height";
    QTest::newRow("zero by zero") << "0" << "0" << "" << "";
    QTest::newRow("largest") << "256" << "256" << "" << "";
    QTest::newRow("hex and blanks") << " $10" << "0x20" << "" << "";
}

void TestFileCommands::newDialogValidates()
{
    QFETCH(QString, width);
    QFETCH(QString, height);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    QList<MessageBoxCatcher::Box> boxes;
    bool stayedOpen = false;
    QString focusName, selection;
    const int beeps = BeepCount();
    ModalAnswer answer([&](QWidget*) {
        {
            MessageBoxCatcher catcher;
            answerNewDialog(width, height);
            boxes = catcher.boxes();
        }
        stayedOpen = FileNewDlg->isVisible();
        if (stayedOpen) {
            QWidget* f = FileNewDlg->focusWidget();
            focusName = f == FileNewDlg->FIntEditWidth ? "width" : f == FileNewDlg->FIntEditHeight ? "height" : "?";
            selection = static_cast<QLineEdit*>(f)->selectedText();
            FileNewDlg->reject();
        }
    });
    MainForm->ActFileNew->trigger();
    QVERIFY(answer.answered());
    if (message.isEmpty()) {
        QVERIFY(!stayedOpen);
        QCOMPARE(boxes.size(), 0);
        QCOMPARE(captions(), QStringList{"NONAME1"});
        const Bitmap& chip = MainForm->ActiveChip()->FChipBmp;
        QCOMPARE(chip.width(), TIntEdit::TextToInt(width, -1));
        QCOMPARE(chip.height(), TIntEdit::TextToInt(height, -1));
        return;
    }
    QVERIFY(stayedOpen);
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.first().title, QStringLiteral("確認"));
    QCOMPARE(boxes.first().text, message);
    QCOMPARE(BeepCount(), beeps + 1);
    QCOMPARE(focusName, focus);
    QCOMPARE(selection, focus == "width" ? width : height);
    QCOMPARE(captions(), QStringList{});
}

void TestFileCommands::newDialogKeys_data()
{
    QTest::addColumn<QString>("ending");
    QTest::addColumn<QStringList>("chips");
    QTest::newRow("the close box cancels") << "close" << QStringList{};
    QTest::newRow("Return presses the focused OK") << "ok" << QStringList{QStringLiteral("NONAME1")};
    QTest::newRow("keypad Enter presses the focused Cancel") << "cancel" << QStringList{};
}

// Return in an entry only validates it and Escape does nothing; on a focused button Return or
// Enter presses that button, although neither is the default.
void TestFileCommands::newDialogKeys()
{
    QFETCH(QString, ending);
    QFETCH(QStringList, chips);
    bool openAfterKeys = false;
    int widthAfterEnter = -1;
    ModalAnswer answer([&](QWidget*) {
        TIntEdit* w = FileNewDlg->FIntEditWidth;
        w->setFocus();
        w->setText(QStringLiteral("48"));
        QTest::keyClick(w, Qt::Key_Return);
        widthAfterEnter = w->Value();
        QTest::keyClick(w, Qt::Key_Escape);
        openAfterKeys = FileNewDlg->isVisible();
        if (ending == "close") {
            FileNewDlg->close();
            return;
        }
        QPushButton* button = ending == "ok" ? FileNewDlg->FBtnOk : FileNewDlg->FBtnCancel;
        button->setFocus();
        if (ending == "ok")
            QTest::keyClick(button, Qt::Key_Return);
        else
            QTest::keyClick(button, Qt::Key_Enter, Qt::KeypadModifier);
    });
    MainForm->ActFileNew->trigger();
    QVERIFY(answer.answered());
    QVERIFY(openAfterKeys);
    QCOMPARE(widthAfterEnter, 48);
    QVERIFY(!FileNewDlg->FBtnOk->isDefault() && !FileNewDlg->FBtnCancel->isDefault());
    QCOMPARE(captions(), chips);
    if (!chips.isEmpty())
        QCOMPARE(ChildwinProbe(*MainForm->ActiveChip()).chip().width(), 48);
}

void TestFileCommands::openMakesChipFromFile_data()
{
    QTest::addColumn<QString>("name"); // of the file, which its start tells the content of
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("undoSteps");
    QTest::addColumn<QString>("via"); // the open command's dialog, the command line, a drop on a chip
    QTest::newRow("16 by 16") << "bmp16.bmp" << QSize(16, 16) << 2 << "dialog";
    QTest::newRow("300 by 200 cut") << "bmp300.bmp" << QSize(256, 200) << 2 << "dialog";
    QTest::newRow("missing file") << "missing.bmp" << QSize(256, 256) << 1 << "dialog";
    QTest::newRow("not a bmp") << "png.bmp" << QSize(256, 256) << 1 << "dialog";
    QTest::newRow("PNG 16 by 16") << "png16.png" << QSize(16, 16) << 2 << "dialog";
    QTest::newRow("transparent PNG") << "transparent.png" << QSize(16, 16) << 2 << "dialog";
    QTest::newRow("command line: transparent PNG") << "transparent.png" << QSize(16, 16) << 2 << "command line";
    QTest::newRow("dropped on a chip: transparent PNG") << "transparent.png" << QSize(16, 16) << 2 << "chip";
}

void TestFileCommands::openMakesChipFromFile()
{
    QFETCH(QString, name);
    QString path = dir.filePath(name);
    Bitmap picture;
    if (name == "bmp300.bmp")
        picture = sample(300, 200);
    else if (name != "missing.bmp" && name != "png.bmp")
        picture = sample(16, 16);
    if (name == "png.bmp")
        QVERIFY(sample(4, 4).toImage().save(path, "PNG"));
    else if (!picture.isEmpty())
        WritePictureFile(path, picture);
    if (name == "transparent.png") {
        // A quarter opaque pixel: the chip takes its colour and its alpha as they are.
        picture.setArgb(3, 9, (picture.argb(3, 9) & 0xFFFFFFu) | 0x40000000u);
        QVERIFY(picture.toImage().save(path, "PNG"));
    }

    QFETCH(QString, via);
    MessageBoxCatcher catcher;
    if (via == "dialog") {
        ModalAnswer answer([&](QWidget* modal) { typeFileName(modal, path); });
        activate(MainForm);
        QTest::keyClick(MainForm, Qt::Key_O, Qt::ControlModifier);
        QVERIFY(answer.answered());
    } else if (via == "command line") {
        MainForm->OpenFiles(ParseCommandLine({QStringLiteral("marlo"), name}, dir.path()).Files);
    } else {
        QVERIFY(dropOnMainWindow(dropPoint(via), {QUrl::fromLocalFile(path)}));
    }
    QCOMPARE(MainForm->ActiveChipWindow()->windowTitle(), QDir::toNativeSeparators(path));
    // A chip keeps whatever a file holds, transparency too: nothing to tell.
    QCOMPARE(catcher.boxes().size(), 0);
    TMDIChild* chip = MainForm->ActiveChip();
    QFETCH(QSize, size);
    QCOMPARE(chip->FChipBmp.width(), size.width());
    QCOMPARE(chip->FChipBmp.height(), size.height());
    QTEST(int(ChildwinProbe(*chip).undoCount()), "undoSteps");
    if (picture.isEmpty()) {
        QCOMPARE(chip->FChipBmp.pixel(255, 255), ClrWhite);
        return;
    }
    QCOMPARE(chip->FChipBmp.argb(15, 15), picture.argb(15, 15));
    QCOMPARE(chip->FChipBmp.argb(3, 9), picture.argb(3, 9));
    // Undo right after opening shows the blank 256 by 256 chip made first.
    runIdle();
    MainForm->ActUndo->trigger();
    QCOMPARE(chip->FChipBmp.width(), 256);
    QCOMPARE(chip->FChipBmp.height(), 256);
    QCOMPARE(chip->FChipBmp.pixel(3, 9), ClrWhite);
}

// Files named on the command line, from the folder "sub" of the test's, or dropped on the window
// open in order. Anything else dropped, and an option the program does not know, opens nothing.
void TestFileCommands::filesGivenOpenInOrder_data()
{
    QTest::addColumn<QString>("via"); // the command line, or a drop on the frame or on a chip
    // The arguments, or the URLs dropped, of which a name without a scheme is a file of the test's folder.
    QTest::addColumn<QStringList>("given");
    QTest::addColumn<QStringList>("opened"); // under the test's folder, in order
    QTest::addColumn<int>("exitCode"); // -1: the program starts
    QTest::addColumn<QString>("shown"); // on standard output, or standard error when the code is not 0
    const QStringList none;
    const QString line = QStringLiteral("command line"), web = QStringLiteral("https://marlo.invalid/a.png");
    QTest::newRow("relative to the working folder, in order") << line
        << QStringList{"../up.bmp", "./same.png", dir.filePath("abs.bmp")}
        << QStringList{"up.bmp", "sub/same.png", "abs.bmp"} << -1 << "";
    QTest::newRow("--block without its file") << line << QStringList{"--block", "4x3+1+2"} << none << 2 << "--block needs";
    QTest::newRow("--block, a wrong geometry") << line << QStringList{"--block", "4x3-1+2", "a.bmp"} << none << 2
        << "'4x3-1+2' is not a block geometry";
    QTest::newRow("--block larger than a chip") << line << QStringList{"--block", "257x3+0+0", "a.bmp"} << none << 2
        << "larger than a chip";
    QTest::newRow("a lone dash is a file, -- ends the options") << line << QStringList{"-", "--", "-x.png", "--help"}
        << QStringList{"sub/-", "sub/-x.png", "sub/--help"} << -1 << "";
    QTest::newRow("--help") << line << QStringList{"a.bmp", "--help"} << none << 0 << "Usage: marlo [OPTION]... [FILE]...";
    QTest::newRow("-h") << line << QStringList{"-h"} << none << 0 << "Usage: marlo";
    QTest::newRow("--version") << line << QStringList{"--version"} << none << 0 << "Marlo 0.20";
    QTest::newRow("unknown option") << line << QStringList{"-x"} << none << 2 << "marlo: unknown option '-x'";
    QTest::newRow("unknown option after a file") << line << QStringList{"a.bmp", "--bogus"} << none << 2 << "unknown option '--bogus'";
    QTest::newRow("dropped: two files, in order") << "frame" << QStringList{"b.png", "a.bmp"} << QStringList{"b.png", "a.bmp"} << -1 << "";
    QTest::newRow("dropped: a web address") << "frame" << QStringList{web} << none << -1 << "";
    QTest::newRow("dropped: a web address on a chip") << "chip" << QStringList{web} << none << -1 << "";
    QTest::newRow("dropped: a file with a web address") << "frame" << QStringList{"a.bmp", "ftp://marlo.invalid/b.bmp"}
                                                        << none << -1 << "";
    QTest::newRow("dropped: text naming a file") << "chip" << none << none << -1 << "";
}

void TestFileCommands::filesGivenOpenInOrder()
{
    QFETCH(QString, via);
    QFETCH(QStringList, given);
    QFETCH(QStringList, opened);
    QFETCH(int, exitCode);
    const QPoint at = via == "command line" ? QPoint() : dropPoint(via);
    QStringList expected = captions();
    for (const QString& file : opened)
        expected << QDir::toNativeSeparators(dir.filePath(file));
    if (via != "command line") {
        QList<QUrl> urls;
        for (const QString& url : given)
            urls << (url.contains(u':') ? QUrl(url) : QUrl::fromLocalFile(dir.filePath(url)));
        // A file manager's drop names its files as text too; text alone names no file.
        QCOMPARE(dropOnMainWindow(at, urls, dir.filePath("a.bmp")), !opened.isEmpty());
        QCOMPARE(captions(), expected);
        return;
    }
    const QString working = dir.filePath("sub");
    QVERIFY(QDir().mkpath(working));
    const TCommandLine line = ParseCommandLine(QStringList{QStringLiteral("marlo")} + given, working);
    QCOMPARE(line.ExitCode.value_or(-1), exitCode);
    if (exitCode < 0) {
        MainForm->OpenFiles(line.Files);
        QCOMPARE(captions(), expected);
        return;
    }
    // The built program says it where its user reads it, past Qt's own options.
    QString binary = qEnvironmentVariable("MARLO_BINARY");
    if (binary.isEmpty())
        QSKIP("MARLO_BINARY is not set");
#ifdef Q_OS_WIN
    binary.prepend(QStringLiteral("Z:")); // Wine's name of the Unix root
#endif
    QProcess marlo;
    marlo.start(binary, QStringList{"-platform", "offscreen", "-style", "Fusion"} + given);
    QVERIFY(marlo.waitForFinished(kWindowEventTimeout));
    QCOMPARE(marlo.exitCode(), exitCode);
    QFETCH(QString, shown);
    const QByteArray said = exitCode == 0 ? marlo.readAllStandardOutput() : marlo.readAllStandardError();
    QVERIFY2(said.contains(shown.toUtf8()), said.constData());
}

void TestFileCommands::handOverTakesSoundMessagesOnly_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QStringList>("taken"); // empty: the message is refused
    const QStringList files{dir.filePath("a.png"), dir.filePath("サブ/b.bmp")}, none;
    const QByteArray sound = EncodeHandOver(files, "launcher-7_TIME42");
    const QByteArray header = EncodeHandOver({"/"}, {}).left(12); // up to the count of files, no token
    const auto be32 = [](quint32 n) { return QByteArray::fromHex(QByteArray::number(n, 16).rightJustified(8, '0')); };
    QTest::newRow("sound") << sound << files;
    QTest::newRow("another magic") << QByteArray(sound).replace(3, 1, "X") << none;
    QTest::newRow("another version") << QByteArray(sound).replace(4, 4, be32(2)) << none;
    QTest::newRow("no file") << EncodeHandOver({}, {}) << none;
    QTest::newRow("a relative path") << EncodeHandOver({"a.png"}, {}) << none;
    const QStringList block{QStringLiteral("--block=16x16+32+0"), dir.filePath("a.png")};
    QTest::newRow("a block of a file") << EncodeHandOver(block, {}) << block;
    QTest::newRow("a NUL in a path") << EncodeHandOver({dir.filePath(QStringLiteral("a") + QChar(0) + "b")}, {}) << none;
    QTest::newRow("broken UTF-8") << QByteArray(header + be32(1) + be32(3) + "/\xff\xfe") << none;
    QTest::newRow("a path claiming a gigabyte") << QByteArray(header + be32(1) + be32(0x40000000) + "/a") << none;
    QTest::newRow("too many files") << QByteArray(header + be32(kMaxFiles + 1)) << none;
    QTest::newRow("a token with a blank") << EncodeHandOver(files, "a b") << none;
    QTest::newRow("bytes after the message") << QByteArray(sound + "x") << none;
    QTest::newRow("cut short") << sound.left(sound.size() - 3) << none;
}

// What another start sends is read as hostile: anything but a whole, sound message is dropped
// without an answer, and the running Marlo goes on.
void TestFileCommands::handOverTakesSoundMessagesOnly()
{
    QFETCH(QByteArray, message);
    QFETCH(QStringList, taken);
    const QString name = InstanceName();
    TInstanceServer server;
    QStringList handed;
    server.OnFilesHandedOver = [&handed](const QStringList& files, const QByteArray&) { handed += files; };
    QVERIFY(server.Listen(name));
    TInstanceServer second;
    QVERIFY(!second.Listen(name)); // the first one keeps serving
    // The start blocks until it has its answer, as a start does; the server answers from here.
    std::atomic<int> accepted{-1};
    std::thread start([&] { accepted = SendHandOver(name, message) ? 1 : 0; });
    QTRY_VERIFY_WITH_TIMEOUT(accepted >= 0, kWindowEventTimeout);
    start.join();
    QCOMPARE(accepted == 1, !taken.isEmpty());
    runIdle();
    QCOMPARE(handed, taken);
}

void TestFileCommands::openDialog()
{
    const QString path = dir.filePath(QStringLiteral("preview.bmp"));
    WriteBmpFile(path, sample(20, 10));
    const QString pngPath = dir.filePath(QStringLiteral("preview.png"));
    WritePictureFile(pngPath, sample(30, 12));
    QString filter, title;
    QStringList filters;
    QString previewSize, pngPreviewSize;
    bool previewHasPicture = false;
    ModalAnswer answer([&](QWidget* modal) {
        auto* d = static_cast<QFileDialog*>(modal);
        filters = d->nameFilters();
        title = d->windowTitle();
        QVERIFY(d->testOption(QFileDialog::DontUseNativeDialog));
        QCOMPARE(d->acceptMode(), QFileDialog::AcceptOpen);
        QCOMPARE(d->fileMode(), QFileDialog::AnyFile);
        QCOMPARE(d->defaultSuffix(), QString());
        d->setDirectory(dir.path());
        d->selectFile(path);
        emit d->currentChanged(path);
        auto* picture = d->findChild<QLabel*>(QStringLiteral("PreviewPicture"));
        auto* size = d->findChild<QLabel*>(QStringLiteral("PreviewSize"));
        QVERIFY(picture && size);
        QVERIFY(picture->isVisible());
        previewHasPicture = !picture->pixmap().isNull();
        previewSize = size->text();
        emit d->currentChanged(pngPath);
        pngPreviewSize = size->text();
        d->reject();
    });
    MainForm->ActFileOpen->trigger();
    QVERIFY(answer.answered());
    QCOMPARE(filters, (QStringList{QStringLiteral("ビットマップ(*.bmp)"), QStringLiteral("PNG(*.png)"),
                                   QStringLiteral("画像(*.bmp *.png)")}));
    QVERIFY(previewHasPicture);
    QCOMPARE(previewSize, QStringLiteral("20 x 10"));
    QCOMPARE(pngPreviewSize, QStringLiteral("30 x 12"));
    QCOMPARE(captions(), QStringList{}); // cancelled

    // The dialog is reused and proposes the file last chosen in it.
    ModalAnswer open([&](QWidget* modal) { typeFileName(modal, path); });
    MainForm->ActFileOpen->trigger();
    QString proposed;
    ModalAnswer again([&](QWidget* modal) {
        proposed = static_cast<QFileDialog*>(modal)->selectedFiles().value(0);
        static_cast<QDialog*>(modal)->reject();
    });
    MainForm->ActFileOpen->trigger();
    QCOMPARE(proposed, path);
}

// Return in the name completer's list opens the file; the list must not stay on the screen.
void TestFileCommands::completerListGoesWithTheDialog()
{
    const QString path = dir.filePath(QStringLiteral("unique-name.bmp"));
    WriteBmpFile(path, sample(5, 5));
    QPointer<QWidget> list;
    ModalAnswer answer([&](QWidget* modal) {
        auto* d = static_cast<QFileDialog*>(modal);
        // Whatever fails below, the dialog must close or the test would wait forever.
        const auto closeDialog = qScopeGuard([d] {
            if (d->isVisible())
                d->reject();
        });
        d->setDirectory(dir.path());
        // The completer knows the names only once the dialog has read the folder.
        auto* model = d->findChild<QFileSystemModel*>();
        QVERIFY(model);
        QTRY_VERIFY_WITH_TIMEOUT(model->index(path).isValid() && model->rowCount(model->index(dir.path())) > 0, 10000);
        auto* edit = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(edit);
        edit->clear();
        edit->setFocus();
        QCompleter* completer = edit->completer();
        QVERIFY(completer);
        QTest::keyClicks(edit, QStringLiteral("unique-na"));
        QTRY_VERIFY(completer->popup()->isVisible());
        list = completer->popup();
        // Keys sent to the list would be lost whenever the busy folder model has just closed it,
        // so the rest of the name goes to the entry itself.
        QTest::keyClicks(edit, QStringLiteral("me.bmp"));
        QCOMPARE(edit->text(), QStringLiteral("unique-name.bmp"));
        // The list follows the entry once the folder's model has answered, which a busy machine
        // delays, and may close meanwhile: Return goes to it only once it shows the whole name.
        QTRY_VERIFY([completer] {
            if (!completer->popup()->isVisible())
                completer->complete();
            return completer->popup()->isVisible() && completer->currentCompletion() == QStringLiteral("unique-name.bmp");
        }());
        QCOMPARE(edit->text(), QStringLiteral("unique-name.bmp"));
        QTest::keyClick(completer->popup(), Qt::Key_Return);
    });
    MainForm->ActFileOpen->trigger();
    QVERIFY(answer.answered());
    QVERIFY(list);
    QCOMPARE(captions(), QStringList{QDir::toNativeSeparators(path)});
    QVERIFY(!list->isVisible());
}

void TestFileCommands::saveAs_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("saved");
    QTest::addColumn<bool>("existing");
    QTest::addColumn<QString>("filter"); // chosen in the dialog; empty: the one it proposes
    QTest::newRow("with extension") << "a.bmp" << "a.bmp" << false << "";
    QTest::newRow("extension added") << "plain" << "plain.bmp" << false << "";
    QTest::newRow("replaces without question") << "old.bmp" << "old.bmp" << true << "";
    QTest::newRow("PNG filter keeps a typed .bmp") << "d.bmp" << "d.bmp" << false << "PNG(*.png)";
    QTest::newRow("PNG filter adds .png") << "plain" << "plain.png" << false << "PNG(*.png)";
    QTest::newRow("the next save proposes BMP again") << "again" << "again.bmp" << false << "";
}

void TestFileCommands::saveAs()
{
    QFETCH(QString, typed);
    QFETCH(bool, existing);
    QDir sub(dir.filePath(QString::fromLatin1(QTest::currentDataTag())));
    QVERIFY(sub.mkpath(QStringLiteral(".")));
    QFETCH(QString, saved);
    const QString target = sub.filePath(saved);
    if (existing)
        WriteBmpFile(target, sample(3, 3));

    ModalAnswer make([](QWidget*) { answerNewDialog("6", "4"); });
    MainForm->ActFileNew->trigger();
    TMDIChild* chip = MainForm->ActiveChip();
    chip->FChipBmp.setPixel(2, 1, RGBColor(1, 2, 3));
    const size_t steps = ChildwinProbe(*chip).undoCount();

    QFETCH(QString, filter);
    QString title, suffix, proposedFilter, chosenFilter;
    bool confirmOverwrite = true;
    MessageBoxCatcher catcher;
    ModalAnswer save([&](QWidget* modal) {
        auto* d = static_cast<QFileDialog*>(modal);
        title = d->windowTitle();
        suffix = d->defaultSuffix();
        proposedFilter = d->selectedNameFilter();
        confirmOverwrite = !d->testOption(QFileDialog::DontConfirmOverwrite);
        QCOMPARE(d->acceptMode(), QFileDialog::AcceptSave);
        QCOMPARE(d->nameFilters(), (QStringList{QStringLiteral("ビットマップ(*.bmp)"), QStringLiteral("PNG(*.png)")}));
        d->setDirectory(sub.path());
        if (!filter.isEmpty()) {
            // As the user picks it: the list of file types, one down.
            auto* types = d->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            QVERIFY(types);
            types->setFocus();
            QTest::keyClick(types, Qt::Key_Down);
        }
        chosenFilter = d->selectedNameFilter();
        typeFileName(d, typed);
    });
    MainForm->ActFileSaveAs->trigger();
    QVERIFY(save.answered());
    QCOMPARE(title, QStringLiteral("名前を付けて保存"));
    QCOMPARE(suffix, QStringLiteral("bmp"));
    QCOMPARE(proposedFilter, QStringLiteral("ビットマップ(*.bmp)"));
    QCOMPARE(chosenFilter, filter.isEmpty() ? proposedFilter : filter);
    QVERIFY(!confirmOverwrite);
    QCOMPARE(catcher.boxes().size(), 0);

    // Read by its name's format, which the file must be in.
    Bitmap written;
    QVERIFY(ReadPictureFile(target, written, kMaxChipSide, kMaxChipSide));
    QCOMPARE(written, chip->FChipBmp);
    QCOMPARE(written.pixel(2, 1), RGBColor(1, 2, 3));
    // The window keeps its caption and its history.
    QCOMPARE(MainForm->ActiveChipWindow()->windowTitle(), QStringLiteral("NONAME1"));
    QCOMPARE(ChildwinProbe(*chip).undoCount(), steps);
}

// Ctrl+S puts the chip back into the block of the file it came from and leaves every other pixel
// of the file as it was; what the file cannot hold is asked about or told, and then nothing is
// written unless the user agreed.
void TestFileCommands::saveWritesBack_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("block");  // --block's geometry; empty: opened as Ctrl+O opens it
    QTest::addColumn<QString>("caption"); // %1: the file
    QTest::addColumn<uint>("painted");    // at the chip's (1, 1)
    QTest::addColumn<int>("answer");      // to the question: -1 none asked, 0 no, 1 yes
    QTest::addColumn<QString>("told");    // the error box, %1: the file; empty: none
    QTest::addColumn<uint>("written");    // what the file holds at the block's (1, 1) afterwards
    const uint red = 0xFFFF0000, clear = 0x00FF0000, before = sample(20, 12).argb(6, 4);
    QTest::newRow("BMP block") << "sheet.bmp" << "4x3+5+3" << "%1 (5,3 4×3)" << red << -1 << "" << red;
    QTest::newRow("PNG as opened") << "sheet.png" << "" << "%1" << red << -1 << "" << red;
    QTest::newRow("PNG block with alpha") << "sheet.png" << "4x3+5+3" << "%1 (5,3 4×3)" << clear << -1 << "" << clear;
    QTest::newRow("whole picture, plain caption") << "sheet.png" << "20x12+0+0" << "%1" << red << -1 << "" << red;
    QTest::newRow("BMP asked about alpha, yes") << "sheet.bmp" << "4x3+5+3" << "%1 (5,3 4×3)" << clear << 1 << ""
                                               << red;
    QTest::newRow("BMP asked about alpha, no") << "sheet.bmp" << "4x3+5+3" << "%1 (5,3 4×3)" << clear << 0 << ""
                                              << before;
    QTest::newRow("file gone") << "gone.bmp" << "4x3+5+3" << "%1 (5,3 4×3)" << red << -1
                               << "ファイル %1 を読み込めないため保存できません." << 0u;
}

void TestFileCommands::saveWritesBack()
{
    QFETCH(QString, name);
    QFETCH(QString, block);
    QFETCH(int, answer);
    QFETCH(QString, told);
    QFETCH(uint, written);
    const QString path = QDir::toNativeSeparators(dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + "-" + name));
    Bitmap picture = sample(20, 12);
    if (name.endsWith(".png"))
        picture.setArgb(19, 11, 0x80123456); // so that the file holds alpha
    WritePictureFile(path, picture);
    const QStringList arguments = block.isEmpty() ? QStringList{"marlo", path} : QStringList{"marlo", "--block", block, path};
    MainForm->OpenFiles(ParseCommandLine(arguments, dir.path()).Files);
    TMDIChild* chip = MainForm->ActiveChip();
    QVERIFY(chip);
    QFETCH(QString, caption);
    QCOMPARE(MainForm->ActiveChipWindow()->windowTitle(), caption.arg(path));
    const TRect area = block.isEmpty() ? TRect{} : *ParseBlockGeometry(block);
    const QPoint origin(area.Left, area.Top);
    QCOMPARE(chip->FChipBmp.argb(0, 0), picture.argb(origin.x(), origin.y()));
    QFETCH(uint, painted);
    chip->FChipBmp.setArgb(1, 1, painted);
    if (name.startsWith("gone"))
        QVERIFY(QFile::remove(path));

    // The question's answer, or the error box's one button.
    QStringList shown;
    ModalAnswer reply([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box);
        shown << box->text();
        box->buttons().at(answer == 0 ? 1 : 0)->click();
    });
    activate(MainForm);
    QTest::keyClick(chip, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(shown.size(), answer >= 0 || !told.isEmpty() ? 1 : 0);
    if (!told.isEmpty()) {
        QCOMPARE(shown.first(), told.arg(path));
        QVERIFY(!QFile::exists(path));
        return;
    }
    Bitmap after;
    QVERIFY(ReadPictureBlock(path, TRect{0, 0, 20, 12}, after));
    Bitmap expected = picture;
    expected.setArgb(origin.x() + 1, origin.y() + 1, written);
    const QString difference = FirstDifference(after, expected);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

void TestFileCommands::saveAsUnwritableFolder()
{
    // A folder that is really a file cannot take a new file, whoever runs the test.
    const QString notAFolder = dir.filePath(QStringLiteral("plain-file"));
    {
        QFile f(notAFolder);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("x");
    }
    const QString target = notAFolder + QStringLiteral("/chip.bmp");
    TMDIChild* chip = newChip(QStringLiteral("NONAME1"), 4, 4);
    const Bitmap before = chip->FChipBmp;
    const size_t steps = ChildwinProbe(*chip).undoCount();
    QList<MessageBoxCatcher::Box> boxes;
    {
        MessageBoxCatcher catcher;
        ModalAnswer save([&](QWidget* modal) {
            typeFileName(modal, target);
        });
        MainForm->ActFileSaveAs->trigger();
        QTRY_COMPARE(catcher.boxes().size(), 1);
        boxes = catcher.boxes();
    }
    QCOMPARE(boxes.first().title, QStringLiteral("Ossery"));
    QCOMPARE(boxes.first().text, QStringLiteral("ファイル %1 を作成できません.").arg(QDir::toNativeSeparators(target)));
    QCOMPARE(boxes.first().icon, int(QMessageBox::Critical));
    QCOMPARE(boxes.first().buttons, QStringList{QStringLiteral("OK")});
    QVERIFY(!QFileInfo::exists(target));
    QVERIFY(chip->FChipBmp == before);
    QCOMPARE(ChildwinProbe(*chip).undoCount(), steps);
    QCOMPARE(MainForm->ActiveChip(), chip);
    // The program goes on.
    MainForm->ActZoomIn->trigger();
    QCOMPARE(chip->getZoom(), 2);
}

void TestFileCommands::saveDialogProposesLastName()
{
    TMDIChild* chip = newChip(QStringLiteral("NONAME1"), 2, 2);
    Q_UNUSED(chip);
    const QString first = dir.filePath(QStringLiteral("first.bmp"));
    ModalAnswer save([&](QWidget* modal) { typeFileName(modal, first); });
    MainForm->ActFileSaveAs->trigger();
    QVERIFY(QFileInfo::exists(first));
    QString proposed;
    ModalAnswer again([&](QWidget* modal) {
        proposed = static_cast<QFileDialog*>(modal)->selectedFiles().value(0);
        static_cast<QDialog*>(modal)->reject();
    });
    MainForm->ActFileSaveAs->trigger();
    QCOMPARE(proposed, first);
}

void TestFileCommands::closeDestroysWithoutQuestion()
{
    TMDIChild* a = newChip(QStringLiteral("NONAME1"));
    ChildwinProbe(*a).chip().setPixel(0, 0, ClrBlack);
    a->PushUndo();
    QPointer<TMDIChild> watch = a;
    MessageBoxCatcher catcher;
    runIdle();
    QVERIFY(MainForm->ActFileClose->isEnabled());
    MainForm->ActFileClose->trigger();
    QCOMPARE(MainForm->mdiArea()->subWindowList().size(), 0);
    runIdle();
    QVERIFY(!watch);
    QCOMPARE(catcher.boxes().size(), 0);
    QVERIFY(!MainForm->ActFileClose->isEnabled());
}

// Closing discards the chip without a question, so no key may close it; the system menu keeps
// its Close item.
void TestFileCommands::noKeyClosesAChip()
{
    TMDIChild* chip = newChip(QStringLiteral("NONAME1"));
    QMdiSubWindow* window = windowOf(chip);
    activate(MainForm);
    for (const QKeySequence& keys : QKeySequence::keyBindings(QKeySequence::Close)) {
        QTest::keySequence(chip, keys);
        QTest::keySequence(window, keys);
    }
    runIdle();
    QCOMPARE(captions(), QStringList{QStringLiteral("NONAME1")});
    QVERIFY(window->systemMenu()->actions().size() > 1);
    window->systemMenu()->actions().constLast()->trigger();
    runIdle();
    QCOMPARE(captions(), QStringList{});
}

// Qt's own dialogs and menus speak the program's language whatever the locale.
void TestFileCommands::qtsOwnTextsAreJapanese()
{
    QVERIFY2(InstallQtTranslation(), "Qt's Japanese translation (qt6-translations-l10n) is not installed");
    QStringList buttons;
    ModalAnswer answer([&](QWidget* modal) {
        for (const QPushButton* b : modal->findChildren<QPushButton*>())
            buttons << b->text();
        static_cast<QDialog*>(modal)->reject();
    });
    MainForm->ActFileOpen->trigger();
    QVERIFY(answer.answered());
    QVERIFY2(buttons.contains(QStringLiteral("キャンセル")), qPrintable(buttons.join(u',')));
    TMDIChild* chip = newChip(QStringLiteral("NONAME1"));
    QCOMPARE(windowOf(chip)->systemMenu()->actions().constLast()->text(), QStringLiteral("閉じる(&C)"));
}

// On Windows the interface gets a face drawn for Japanese, never a serif one, in the system's
// size; elsewhere the system's own choice stays.
void TestFileCommands::interfaceFaceShowsJapanese()
{
    const QString family = JapaneseInterfaceFamily();
    QVERIFY2(!family.isEmpty(), "no Japanese face is installed");
    QVERIFY(QFontDatabase::writingSystems(family).contains(QFontDatabase::Japanese));
    QVERIFY2(!family.contains(QLatin1String("Serif")) && !family.contains(QLatin1String("Mincho")), qPrintable(family));
    const QFont before = QApplication::font();
    UseJapaneseInterfaceFont();
    const QFont after = QApplication::font();
    QApplication::setFont(before);
#ifdef Q_OS_WIN
    QCOMPARE(after.family(), family);
    QCOMPARE(after.pointSizeF(), before.pointSizeF());
#else
    QCOMPARE(after, before);
#endif
}

QTEST_MAIN(TestFileCommands)
#include "test_filecommands.moc"
