// SPDX-License-Identifier: MIT
#include "shell/USheetWin.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <new>

#include "document/Childwin.h"
#include "pictures/PictureFile.h"
#include "platform/Checkerboard.h"
#include "platform/ScreenPlacement.h"
#include "tools/UIntEdit.h"

namespace {

// The picture is held at most this large: enough for any view of it on a screen, and 4 MiB.
constexpr int kOverviewSide = 1024;
// How often the chips open from the sheet are looked at while the window is shown.
constexpr int kChipPollMs = 100;
// Grid lines are drawn only where cells are at least this many view pixels apart.
constexpr double kLeastCellOnScreen = 4.0;

const QColor kGridColour(0, 0, 0, 72);
const QColor kOpenColour(0, 120, 215);
const QColor kUnwrittenColour(255, 140, 0);
const QColor kChoiceFill(0, 120, 215, 60);

TIntEdit* makeGridEntry(QWidget* parent, QHBoxLayout* row, const QString& label, const QString& name, int least)
{
    auto* text = new QLabel(label, parent);
    auto* entry = new TIntEdit(parent);
    entry->setMinValue(least);
    entry->setMaxValue(kMaxChipSide);
    entry->setShowName(name);
    entry->setFixedWidth(64);
    text->setBuddy(entry);
    row->addWidget(text);
    row->addWidget(entry);
    row->addSpacing(8);
    return entry;
}

} // namespace

// ---- The view ----

TSheetView::TSheetView(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(false);
    setMinimumSize(64, 64);
}

void TSheetView::setPicture(const Bitmap& Overview, int64_t Width, int64_t Height)
{
    FOverview = Overview.toImage();
    FWidth = Width;
    FHeight = Height;
    update();
}

void TSheetView::setGrid(const TSheetGrid& Grid)
{
    FGrid = Grid;
    update();
}

void TSheetView::setChips(const std::vector<TSheetChip>& Chips)
{
    // Looked at ten times a second: nothing is copied while the chips stay as they are shown.
    const auto shownAlready = [](const TSheetChip& chip, const ShownChip& shown) {
        return chip.Block == shown.Block && chip.Unwritten == shown.Unwritten &&
               (chip.Pixels ? *chip.Pixels == shown.Pixels : shown.Pixels.isEmpty());
    };
    if (std::equal(Chips.begin(), Chips.end(), FChips.begin(), FChips.end(), shownAlready))
        return;
    std::vector<ShownChip> shown;
    shown.reserve(Chips.size());
    for (const TSheetChip& chip : Chips) {
        ShownChip copy{chip.Block, Bitmap(), chip.Unwritten};
        if (chip.Pixels)
            copy.Pixels.assign(*chip.Pixels);
        shown.push_back(std::move(copy));
    }
    FChips = std::move(shown);
    FChipImages.clear();
    for (const ShownChip& chip : FChips)
        FChipImages.push_back(chip.Pixels.toImage());
    update();
}

QRectF TSheetView::pictureArea() const
{
    if (FWidth <= 0 || FHeight <= 0)
        return QRectF();
    const double fit = std::min(double(width()) / double(FWidth), double(height()) / double(FHeight));
    // Enlarged, every pixel of the picture is the same whole number of view pixels.
    const double scale = fit >= 1 ? std::floor(fit) : fit;
    return QRectF(0, 0, double(FWidth) * scale, double(FHeight) * scale);
}

QRectF TSheetView::viewRect(const TRect& Block) const
{
    const QRectF area = pictureArea();
    const double scale = area.width() / double(FWidth);
    return QRectF(area.left() + Block.Left * scale, area.top() + Block.Top * scale, Block.width() * scale,
                  Block.height() * scale);
}

std::optional<TPoint> TSheetView::CellAtView(QPoint Point) const
{
    const QRectF area = pictureArea();
    if (area.isEmpty())
        return std::nullopt;
    const double scale = area.width() / double(FWidth);
    const auto x = int64_t(std::floor((Point.x() - area.left()) / scale));
    const auto y = int64_t(std::floor((Point.y() - area.top()) / scale));
    if (x < 0 || y < 0 || x >= FWidth || y >= FHeight)
        return std::nullopt;
    return FGrid.CellAt(x, y, FWidth, FHeight);
}

TRect TSheetView::DragBlock(TPoint First, TPoint Last) const
{
    return FGrid.Block(First, Last, kMaxChipSide);
}

void TSheetView::paintGrid(QPainter& Painter) const
{
    const QRectF area = pictureArea();
    const double scale = area.width() / double(FWidth);
    if (std::min(FGrid.CellWidth, FGrid.CellHeight) * scale < kLeastCellOnScreen)
        return;
    const int64_t columns = FGrid.Columns(FWidth), rows = FGrid.Rows(FHeight);
    if (columns == 0 || rows == 0)
        return;
    const double top = area.top() + FGrid.Margin * scale;
    const double bottom = area.top() + (FGrid.Margin + rows * (int64_t(FGrid.CellHeight) + FGrid.Spacing) - FGrid.Spacing) * scale;
    const double left = area.left() + FGrid.Margin * scale;
    const double right = area.left() + (FGrid.Margin + columns * (int64_t(FGrid.CellWidth) + FGrid.Spacing) - FGrid.Spacing) * scale;
    Painter.setPen(QPen(kGridColour, 0));
    // Each cell's two edges; without spacing they fall together.
    for (int64_t c = 0; c < columns; ++c) {
        const double x = left + double(c * (int64_t(FGrid.CellWidth) + FGrid.Spacing)) * scale;
        Painter.drawLine(QPointF(x, top), QPointF(x, bottom));
        Painter.drawLine(QPointF(x + FGrid.CellWidth * scale, top), QPointF(x + FGrid.CellWidth * scale, bottom));
    }
    for (int64_t r = 0; r < rows; ++r) {
        const double y = top + double(r * (int64_t(FGrid.CellHeight) + FGrid.Spacing)) * scale;
        Painter.drawLine(QPointF(left, y), QPointF(right, y));
        Painter.drawLine(QPointF(left, y + FGrid.CellHeight * scale), QPointF(right, y + FGrid.CellHeight * scale));
    }
}

void TSheetView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRectF area = pictureArea();
    if (area.isEmpty())
        return;
    // Pixel-crisp at every scale: each picture pixel keeps one colour.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const QBrush checker = ColourBrush(ClrTransparent);
    painter.fillRect(area, checker);
    painter.drawImage(area, FOverview);
    for (size_t i = 0; i < FChips.size(); ++i) {
        const QRectF place = viewRect(FChips[i].Block);
        painter.fillRect(place, checker);
        painter.drawImage(place, FChipImages[i]);
    }
    paintGrid(painter);
    for (const ShownChip& chip : FChips) {
        painter.setPen(QPen(chip.Unwritten ? kUnwrittenColour : kOpenColour, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(viewRect(chip.Block));
    }
    if (FDragFirst && FDragLast) {
        painter.setPen(QPen(kOpenColour, 1));
        painter.setBrush(kChoiceFill);
        painter.drawRect(viewRect(DragBlock(*FDragFirst, *FDragLast)));
    }
}

void TSheetView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    FDragFirst = FDragLast = CellAtView(event->position().toPoint());
    update();
}

void TSheetView::mouseMoveEvent(QMouseEvent* event)
{
    if (!FDragFirst)
        return;
    // Over a gap or the margin the drag keeps the last cell it was on.
    if (const std::optional<TPoint> cell = CellAtView(event->position().toPoint()); cell && cell != FDragLast) {
        FDragLast = cell;
        update();
    }
}

void TSheetView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !FDragFirst)
        return;
    const TPoint first = *FDragFirst, last = *FDragLast;
    FDragFirst.reset();
    FDragLast.reset();
    update();
    if (OnCellsChosen)
        OnCellsChosen(first, last);
}

// ---- The window ----

TSheetWin::TSheetWin(const QString& Path, const TSheetGrid& Grid, TSheetHost* Host, QWidget* parent)
    : QWidget(parent), FPath(Path), FGrid(Grid), FHost(Host)
{
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("タイルシート - %1").arg(QFileInfo(Path).fileName()));

    Panel1 = new QWidget(this);
    auto* row = new QHBoxLayout(Panel1);
    row->setContentsMargins(8, 8, 8, 8);
    FEditCellWidth = makeGridEntry(Panel1, row, QStringLiteral("幅："), QStringLiteral("セルの幅"), 1);
    FEditCellHeight = makeGridEntry(Panel1, row, QStringLiteral("高さ："), QStringLiteral("セルの高さ"), 1);
    FEditMargin = makeGridEntry(Panel1, row, QStringLiteral("余白："), QStringLiteral("余白"), 0);
    FEditSpacing = makeGridEntry(Panel1, row, QStringLiteral("間隔："), QStringLiteral("間隔"), 0);
    row->addStretch(1);
    // Before the entries are connected: the grid is this window's already.
    setGrid(FGrid);
    for (TIntEdit* edit : {FEditCellWidth, FEditCellHeight, FEditMargin, FEditSpacing})
        connect(edit, &TIntEdit::Change, this, [this, edit] { FEditGridChange(edit); });

    FView = new TSheetView(this);
    FView->setGrid(FGrid);
    FView->OnCellsChosen = [this](TPoint first, TPoint last) { OpenCells(first, last); };

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel1);
    layout->addWidget(FView, 1);

    FChipTimer = new QTimer(this);
    FChipTimer->setInterval(kChipPollMs);
    connect(FChipTimer, &QTimer::timeout, this, &TSheetWin::RefreshChips);

    resize(560, 520);
    // Beside the main window rather than over the chips it opens.
    if (parent)
        move(parent->frameGeometry().topRight() + QPoint(8, 0));
    KeepInsideScreenWhenShown(this);
}

bool TSheetWin::Reload()
{
    Bitmap overview;
    int step = 1;
    qint64 width = 0, height = 0;
    try {
        if (!ReadPictureSize(FPath, width, height) ||
            !ReadPictureOverview(FPath, kOverviewSide, kOverviewSide, overview, step))
            return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
    FView->setPicture(overview, width, height);
    RefreshChips();
    return true;
}

void TSheetWin::RefreshChips()
{
    FView->setChips(FHost ? FHost->ChipsOfFile(FPath) : std::vector<TSheetChip>());
}

void TSheetWin::setGrid(const TSheetGrid& Grid)
{
    FEditCellWidth->setValue(Grid.CellWidth);
    FEditCellHeight->setValue(Grid.CellHeight);
    FEditMargin->setValue(Grid.Margin);
    FEditSpacing->setValue(Grid.Spacing);
}

void TSheetWin::FEditGridChange(TIntEdit* Edit)
{
    // A cleared entry is a text being typed, not a request for its least value.
    if (Edit->text().isEmpty() || !Edit->ValidateText())
        return;
    TSheetGrid grid{FEditCellWidth->Value(), FEditCellHeight->Value(), FEditMargin->Value(), FEditSpacing->Value()};
    if (grid == FGrid)
        return;
    FGrid = grid;
    FView->setGrid(FGrid);
    emit GridChanged(FGrid);
}

void TSheetWin::OpenCells(TPoint First, TPoint Last)
{
    if (FHost)
        FHost->OpenSheetBlock(FPath, FView->DragBlock(First, Last));
    RefreshChips();
}

void TSheetWin::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    FChipTimer->start();
}

void TSheetWin::hideEvent(QHideEvent* event)
{
    FChipTimer->stop();
    QWidget::hideEvent(event);
}
