// SPDX-License-Identifier: MIT
#pragma once
#include <QPointer>
#include <QImage>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

#include "document/SheetGrid.h"
#include "pictures/Bitmap.h"

class QLabel;
class QTimer;
class TIntEdit;
class TSheetView;

// A chip open from a sheet, as the sheet window shows it.
struct TSheetChip {
    TRect Block;
    const Bitmap* Pixels = nullptr;
    bool Unwritten = false; // changed since its block was last read or written back
};

// What a sheet window asks of the window that made it.
class TSheetHost {
public:
    virtual ~TSheetHost() = default;
    // The open chips read from the file, each with its block.
    virtual std::vector<TSheetChip> ChipsOfFile(const QString& Path) const = 0;
    // Opens the block of the file as a chip, or brings the chip already open on it to the front.
    virtual void OpenSheetBlock(const QString& Path, const TRect& Block) = 0;
};

// The sheet window: a whole picture, scaled to fit, over a grid of cells. A click on a cell opens
// it as a chip, a drag over several their union; the chips open from the picture are shown in
// their places as they are painted, those not yet written back framed in orange. The picture is
// held only as large as the view needs, so a sheet of any size opens.
class TSheetWin : public QWidget {
    Q_OBJECT
public:
    TSheetWin(const QString& Path, const TSheetGrid& Grid, TSheetHost* Host, QWidget* parent = nullptr);

    const QString& Path() const { return FPath; }
    const TSheetGrid& Grid() const { return FGrid; }
    void setGrid(const TSheetGrid& Grid);
    // Reads the picture again, as after a chip was written back into it. False, the window as it
    // was, when the file cannot be read.
    bool Reload();
    // Looks at the open chips now rather than at the next tick.
    void RefreshChips();

    QWidget* Panel1 = nullptr;
    TIntEdit* FEditCellWidth = nullptr;
    TIntEdit* FEditCellHeight = nullptr;
    TIntEdit* FEditMargin = nullptr;
    TIntEdit* FEditSpacing = nullptr;
    TSheetView* FView = nullptr;

signals:
    void GridChanged(const TSheetGrid& Grid);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void FEditGridChange(TIntEdit* Edit);
    void OpenCells(TPoint First, TPoint Last);

    QString FPath;
    TSheetGrid FGrid;
    TSheetHost* FHost = nullptr;
    QTimer* FChipTimer = nullptr;

    friend struct SheetWinProbe; // tests read the view's state through it
};

// Where the picture lies in the view, and the picture shown there.
class TSheetView : public QWidget {
    Q_OBJECT
public:
    explicit TSheetView(QWidget* parent = nullptr);

    // The picture seen from afar (a reduced copy) of a width by height picture.
    void setPicture(const Bitmap& Overview, int64_t Width, int64_t Height);
    void setGrid(const TSheetGrid& Grid);
    // The chips to show over the picture; repaints only when they differ from those shown.
    void setChips(const std::vector<TSheetChip>& Chips);
    int64_t PictureWidth() const { return FWidth; }
    int64_t PictureHeight() const { return FHeight; }
    // The cell under a point of the view, if any.
    std::optional<TPoint> CellAtView(QPoint Point) const;
    // The block a drag from cell First to cell Last opens.
    TRect DragBlock(TPoint First, TPoint Last) const;

    // A press on a cell and the release after it, both in cells.
    std::function<void(TPoint First, TPoint Last)> OnCellsChosen;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // The picture's rectangle in the view: scaled to fit, its pixels' shapes kept.
    QRectF pictureArea() const;
    QRectF viewRect(const TRect& Block) const;
    void paintGrid(QPainter& Painter) const;

    struct ShownChip {
        TRect Block;
        Bitmap Pixels;
        bool Unwritten = false;
    };
    QImage FOverview;
    int64_t FWidth = 0;
    int64_t FHeight = 0;
    TSheetGrid FGrid;
    std::vector<ShownChip> FChips;
    std::vector<QImage> FChipImages; // FChips' pixels, as painted
    std::optional<TPoint> FDragFirst;
    std::optional<TPoint> FDragLast;

    friend struct SheetWinProbe;
};
