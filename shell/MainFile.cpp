// SPDX-License-Identifier: MIT
// The file commands of the main window: new, open, save, save as, close and exit.
#include <QAbstractItemView>
#include <QCompleter>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "document/Childwin.h"
#include "pictures/Errors.h"
#include "pictures/PictureFile.h"
#include "platform/MessageBoxes.h"
#include "platform/RunSettings.h"
#include "platform/SingleInstance.h"
#include "shell/Main.h"
#include "shell/UFileNewDlg.h"

namespace {

// Two names of one file: a sheet window and a chip may have been given its path differently.
bool sameFile(const QString& a, const QString& b)
{
    return a == b || QFileInfo(a) == QFileInfo(b);
}

const QString kBitmapFilter = QStringLiteral("ビットマップ(*.bmp)");
const QString kPngFilter = QStringLiteral("PNG(*.png)");
const QString kPictureFilter = QStringLiteral("画像(*.bmp *.png)");
const QString kBlockRequestPrefix = QString::fromLatin1(kHandOverBlockPrefix);
constexpr int kPreviewSize = 160;

// The picture pane of the open dialog: the selected picture, fitted to the pane, and its size.
void showPreview(QLabel* picture, QLabel* size, const QString& path)
{
    Bitmap bitmap;
    if (!ReadPictureFile(path, bitmap, kMaxChipSide, kMaxChipSide) || bitmap.isEmpty()) {
        picture->clear();
        size->clear();
        return;
    }
    QImage image = bitmap.toImage();
    const int limit = kPreviewSize - 8;
    if (image.width() > limit || image.height() > limit)
        image = image.scaled(limit, limit, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    else {
        // Small chips are enlarged by a whole factor so their pixels stay square and sharp.
        const int factor = std::max(1, std::min(limit / image.width(), limit / image.height()));
        image = image.scaled(image.width() * factor, image.height() * factor);
    }
    picture->setPixmap(QPixmap::fromImage(image));
    size->setText(QStringLiteral("%1 x %2").arg(bitmap.width()).arg(bitmap.height()));
}

QFileDialog* makeOpenPictureDialog(QWidget* parent)
{
    QFileDialog* dialog = NewFileDialog(parent);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    // A name that does not exist is accepted: it becomes a white chip captioned with it.
    dialog->setFileMode(QFileDialog::AnyFile);

    auto* pane = new QWidget(dialog);
    pane->setObjectName(QStringLiteral("PicturePreview"));
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* picture = new QLabel(pane);
    picture->setObjectName(QStringLiteral("PreviewPicture"));
    picture->setFixedSize(kPreviewSize, kPreviewSize);
    picture->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    picture->setAlignment(Qt::AlignCenter);
    auto* size = new QLabel(pane);
    size->setObjectName(QStringLiteral("PreviewSize"));
    size->setAlignment(Qt::AlignCenter);
    layout->addWidget(picture);
    layout->addWidget(size);
    layout->addStretch();
    if (auto* grid = qobject_cast<QGridLayout*>(dialog->layout()))
        grid->addWidget(pane, 0, grid->columnCount(), grid->rowCount(), 1);
    QObject::connect(dialog, &QFileDialog::currentChanged, pane,
                     [picture, size](const QString& path) { showPreview(picture, size, path); });
    return dialog;
}

// Runs a file dialog. Return in the name completer's list accepts the dialog, and the list
// then stays on the screen after the dialog has gone unless it is hidden here.
bool execFileDialog(QFileDialog* dialog)
{
    const bool accepted = dialog->exec() == QDialog::Accepted && !dialog->selectedFiles().isEmpty();
    for (QCompleter* completer : dialog->findChildren<QCompleter*>())
        if (completer->popup())
            completer->popup()->hide();
    return accepted;
}

// Closing a chip discards its pixels without a question, so no key closes it: Qt's system menu
// gives its Close item Ctrl+W and Ctrl+F4, which the item keeps only as a menu entry.
void removeCloseShortcut(QMdiSubWindow* window)
{
    QMenu* menu = window->systemMenu();
    if (!menu)
        return;
    const QList<QKeySequence> closeKeys = QKeySequence::keyBindings(QKeySequence::Close);
    for (QAction* action : menu->actions())
        if (std::any_of(closeKeys.begin(), closeKeys.end(), [action](const QKeySequence& k) { return action->shortcuts().contains(k); }))
            action->setShortcuts({});
}

// The files a drag carries, or none when it carries anything but local files: text, a web
// address, a file of another machine.
QStringList droppedFiles(const QMimeData* data)
{
    QStringList files;
    for (const QUrl& url : data->urls()) {
        const QString path = url.isLocalFile() ? url.toLocalFile() : QString();
        if (!QDir::isAbsolutePath(path))
            return {};
        files << path;
    }
    return files;
}

// A drop copies: a file manager removes the file after a drop that moved it.
bool acceptFileDrop(QDropEvent* event)
{
    const bool files = !droppedFiles(event->mimeData()).isEmpty() && (event->possibleActions() & Qt::CopyAction);
    if (files) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
    return files;
}

// A non-negative decimal number of at most nine digits, so that sums of two stay in range.
std::optional<int> count(QStringView text)
{
    if (text.isEmpty() || text.size() > 9 || !std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return std::nullopt;
    return text.toInt();
}

// The question a write-back asks, or the refusal it tells; the file is left as it was either way.
QString writeBackText(const TWriteBackResult& result, const QString& path, const TRect& block)
{
    using R = TWriteBackResult;
    switch (result.kind) {
    case R::MissingColours:
        return QStringLiteral("ファイル %1 のパレットにない色が %2 色あります。\nパレットの空きに追加して保存しますか？")
            .arg(path).arg(result.count);
    case R::AlphaNotHeld:
        return QStringLiteral("ファイル %1 の形式は透明度を保存できません。\n透明または半透明の %2 画素を不透明にして保存しますか？")
            .arg(path).arg(result.count);
    case R::NoRoomForColours:
        return QStringLiteral("ファイル %1 のパレットにない色が %2 色あり、パレットに空きがないため保存できません")
            .arg(path).arg(result.count);
    case R::ColoursNotHeld:
        return QStringLiteral("%2 画素の色はファイル %1 の形式で正確に表せないため保存できません").arg(path).arg(result.count);
    case R::Unsupported:
        return QStringLiteral("ファイル %1 はこの形式のままでは書き戻せないため保存できません（名前をつけて保存はできます）").arg(path);
    case R::Unreadable:
        return QStringLiteral("ファイル %1 を読み込めないため保存できません").arg(path);
    case R::BlockOutside:
        return QStringLiteral("ファイル %1 に範囲 %2 がないため保存できません").arg(path, BlockGeometry(block));
    case R::CannotWrite:
    case R::Written:
        break;
    }
    return CannotCreateFileError(path).message();
}

} // namespace

std::optional<TRect> ParseBlockGeometry(const QString& Geometry)
{
    const qsizetype cross = Geometry.indexOf(u'x'), plus = Geometry.indexOf(u'+');
    const qsizetype second = plus < 0 ? -1 : Geometry.indexOf(u'+', plus + 1);
    if (cross < 0 || plus < cross || second < 0)
        return std::nullopt;
    const QStringView text(Geometry);
    const std::optional<int> w = count(text.mid(0, cross)), h = count(text.mid(cross + 1, plus - cross - 1)),
                             x = count(text.mid(plus + 1, second - plus - 1)), y = count(text.mid(second + 1));
    if (!w || !h || !x || !y || *w == 0 || *h == 0)
        return std::nullopt;
    return TRect{*x, *y, *x + *w, *y + *h};
}

QString BlockGeometry(const TRect& Block)
{
    return QStringLiteral("%1x%2+%3+%4").arg(Block.width()).arg(Block.height()).arg(Block.Left).arg(Block.Top);
}

QString BlockRequest(const TRect& Block)
{
    return kBlockRequestPrefix + BlockGeometry(Block);
}

// The file dialogs are made when first asked for, not at start: Qt's file dialog looks up its
// icons and the folder's contents as it is made, a good part of the time a start would take.
// Once made, each lives for the whole run and so proposes the name last chosen in it.
QFileDialog* TMainForm::openPicDlg()
{
    if (!OpenPicDlg)
        OpenPicDlg = makeOpenPictureDialog(this);
    return OpenPicDlg;
}

QFileDialog* TMainForm::saveFileDlg()
{
    if (FSaveFileDlg)
        return FSaveFileDlg;
    FSaveFileDlg = NewFileDialog(this, QStringLiteral("名前を付けて保存"));
    FSaveFileDlg->setAcceptMode(QFileDialog::AcceptSave);
    FSaveFileDlg->setFileMode(QFileDialog::AnyFile);
    FSaveFileDlg->setOption(QFileDialog::DontConfirmOverwrite);
    // The extension added to a name typed without one follows the filter the user picks; the file's
    // format then follows the name.
    connect(FSaveFileDlg, &QFileDialog::filterSelected, FSaveFileDlg, [dialog = FSaveFileDlg](const QString& filter) {
        dialog->setDefaultSuffix(filter == kPngFilter ? QStringLiteral("png") : QStringLiteral("bmp"));
    });
    return FSaveFileDlg;
}

TMDIChild* TMainForm::CreateChip(const QString& Caption, int Width, int Height, bool Blank)
{
    auto* child = new TMDIChild;
    QMdiSubWindow* window = FMdiArea->addSubWindow(child);
    window->setAttribute(Qt::WA_DeleteOnClose);
    removeCloseShortcut(window);
    child->NewChip(Caption, Width, Height);
    if (!Blank)
        child->LoadFromFile(Caption);
    window->show();
    FMdiArea->setActiveSubWindow(window);
    return child;
}

void TMainForm::OpenFiles(const QStringList& Paths)
{
    std::optional<TRect> block;
    for (const QString& entry : Paths) {
        if (entry.startsWith(kBlockRequestPrefix)) {
            block = ParseBlockGeometry(entry.mid(kBlockRequestPrefix.size()));
            continue;
        }
        const QString path = QDir::toNativeSeparators(entry);
        if (!block) {
            CreateChip(path, kMaxChipSide, kMaxChipSide, false);
            continue;
        }
        // One block that cannot be opened does not keep the files after it shut.
        try {
            OpenBlock(path, *block);
        } catch (const EMarloError& e) {
            ShowCommandError(e.message());
        }
        block.reset();
    }
}

void TMainForm::OpenBlock(const QString& Path, const TRect& Block)
{
    qint64 width = 0, height = 0;
    if (!ReadPictureSize(Path, width, height))
        throw EMarloError(QStringLiteral("ファイル %1 を読み込めません").arg(Path));
    if (Block.Right > width || Block.Bottom > height)
        throw EMarloError(QStringLiteral("ファイル %1 (%2×%3) に範囲 %4 はありません").arg(Path).arg(width).arg(height).arg(BlockGeometry(Block)));
    if (Block.width() > kMaxChipSide || Block.height() > kMaxChipSide)
        throw EMarloError(QStringLiteral("範囲 %1 はチップの大きさ (%2×%2) を超えています").arg(BlockGeometry(Block)).arg(kMaxChipSide));
    TMDIChild* chip = CreateChip(Path, Block.width(), Block.height(), true);
    if (!chip->LoadBlock(Path, Block)) {
        if (QMdiSubWindow* window = qobject_cast<QMdiSubWindow*>(chip->parentWidget()))
            window->close();
        throw EMarloError(QStringLiteral("ファイル %1 を読み込めません").arg(Path));
    }
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event)
{
    acceptFileDrop(event);
}

void TMainForm::dragMoveEvent(QDragMoveEvent* event)
{
    acceptFileDrop(event);
}

void TMainForm::dropEvent(QDropEvent* event)
{
    if (acceptFileDrop(event))
        runCommand([this, files = droppedFiles(event->mimeData())] { OpenFiles(files); });
}

void TMainForm::ActFileNewExecute()
{
    // Every new chip starts from 32 by 32, not from the last size chosen.
    FileNewDlg->setChipWidth(32);
    FileNewDlg->setChipHeight(32);
    if (FileNewDlg->exec() != QDialog::Accepted)
        return;
    const int height = FileNewDlg->ChipHeight();
    const int width = FileNewDlg->ChipWidth();
    const QString caption = QStringLiteral("NONAME%1").arg(FMdiArea->subWindowList().size() + 1);
    CreateChip(caption, width, height, true);
}

std::optional<QString> TMainForm::choosePictureToOpen()
{
    QFileDialog* dialog = openPicDlg();
    dialog->setNameFilters({kBitmapFilter, kPngFilter, kPictureFilter});
    if (!FLastOpened.isEmpty())
        dialog->selectFile(FLastOpened);
    if (!execFileDialog(dialog))
        return std::nullopt;
    // The caption and every message show the path as the system writes it.
    FLastOpened = QDir::toNativeSeparators(dialog->selectedFiles().first());
    return FLastOpened;
}

void TMainForm::ActFileOpenExecute()
{
    if (const std::optional<QString> path = choosePictureToOpen())
        CreateChip(*path, kMaxChipSide, kMaxChipSide, false);
}

void TMainForm::ActFileOpenSheetExecute()
{
    if (const std::optional<QString> path = choosePictureToOpen())
        OpenSheet(*path);
}

TSheetWin* TMainForm::SheetOf(const QString& Path) const
{
    for (const QPointer<TSheetWin>& sheet : FSheetWins)
        if (sheet && sameFile(sheet->Path(), Path))
            return sheet;
    return nullptr;
}

TSheetWin* TMainForm::OpenSheet(const QString& Path)
{
    TSheetWin* sheet = SheetOf(Path);
    if (!sheet) {
        sheet = new TSheetWin(Path, FSheetGrid, this, this);
        if (!sheet->Reload()) {
            delete sheet;
            throw EMarloError(QStringLiteral("ファイル %1 を読み込めません").arg(Path));
        }
        connect(sheet, &TSheetWin::GridChanged, this, [this](const TSheetGrid& grid) { FSheetGrid = grid; });
        FSheetWins.removeAll(nullptr);
        FSheetWins.append(sheet);
    }
    sheet->show();
    sheet->raise();
    sheet->activateWindow();
    return sheet;
}

std::vector<TSheetChip> TMainForm::ChipsOfFile(const QString& Path) const
{
    std::vector<TSheetChip> chips;
    for (QMdiSubWindow* window : FMdiArea->subWindowList())
        if (auto* chip = qobject_cast<TMDIChild*>(window->widget()); chip && chip->HasSource() && sameFile(chip->SourceFile(), Path))
            chips.push_back(TSheetChip{chip->SourceBlock(), &chip->FChipBmp, chip->HasUnwrittenChanges()});
    return chips;
}

// A block already open brings its chip to the front rather than opening a second copy, whose
// write-back would undo the first's.
void TMainForm::OpenSheetBlock(const QString& Path, const TRect& Block)
{
    for (QMdiSubWindow* window : FMdiArea->subWindowList())
        if (auto* chip = qobject_cast<TMDIChild*>(window->widget());
            chip && chip->HasSource() && sameFile(chip->SourceFile(), Path) && chip->SourceBlock() == Block) {
            FMdiArea->setActiveSubWindow(window);
            activateWindow();
            return;
        }
    runCommand([this, Path, Block] { OpenBlock(Path, Block); });
    activateWindow();
}

void TMainForm::ActFileCloseExecute()
{
    if (QMdiSubWindow* window = ActiveChipWindow())
        window->close();
}

// A chip read from a file goes back into its block there; one without a file is saved as.
void TMainForm::ActFileSaveExecute()
{
    TMDIChild* chip = ActiveChip();
    if (!chip)
        return;
    if (!chip->HasSource()) {
        ActFileSaveAsExecute();
        return;
    }
    TWriteBackConsent consent;
    for (;;) {
        const TWriteBackResult result = chip->WriteBack(consent);
        const QString text = writeBackText(result, chip->SourceFile(), chip->SourceBlock());
        switch (result.kind) {
        case TWriteBackResult::Written:
            if (TSheetWin* sheet = SheetOf(chip->SourceFile()))
                sheet->Reload();
            return;
        case TWriteBackResult::MissingColours:
        case TWriteBackResult::AlphaNotHeld:
            // The chip may be closed while the question is open: the answer then saves nothing.
            {
                QPointer<TMDIChild> target = chip;
                if (!AskYesNo(this, QString::fromLatin1(ApplicationTitle), text) || !target)
                    return;
            }
            {
                bool& agreed = result.kind == TWriteBackResult::MissingColours ? consent.addColours : consent.dropAlpha;
                if (agreed)
                    throw CannotCreateFileError(chip->SourceFile()); // asked once already: never ask twice
                agreed = true;
            }
            break;
        default:
            throw EMarloError(text);
        }
    }
}

void TMainForm::ActFileSaveAsExecute()
{
    TMDIChild* chip = ActiveChip();
    if (!chip)
        return;
    QFileDialog* dialog = saveFileDlg();
    dialog->setNameFilters({kBitmapFilter, kPngFilter});
    dialog->setDefaultSuffix(QStringLiteral("bmp"));
    if (!FLastSaved.isEmpty())
        dialog->selectFile(FLastSaved);
    // The window may go while the dialog is open; the command then acts on nothing.
    QPointer<TMDIChild> target = chip;
    if (!execFileDialog(dialog))
        return;
    FLastSaved = QDir::toNativeSeparators(dialog->selectedFiles().first());
    if (target)
        target->SaveToFile(FLastSaved);
}

void TMainForm::ActFileExitExecute()
{
    close();
}

