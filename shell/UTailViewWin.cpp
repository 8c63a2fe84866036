// SPDX-License-Identifier: MIT
#include "shell/UTailViewWin.h"

#include <QComboBox>
#include <QFrame>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>

#include "platform/Checkerboard.h"
#include "platform/ImageControl.h"
#include "platform/ScreenPlacement.h"

TTailViewWin* TailViewWin = nullptr;

void DrawTiles(Bitmap& view, const Bitmap& picture, int factor)
{
    const int viewW = view.width(), viewH = view.height();
    const int64_t tileW = int64_t(picture.width()) * factor;
    const int64_t tileH = int64_t(picture.height()) * factor;
    if (tileW <= 0 || tileH <= 0 || viewW <= 0 || viewH <= 0)
        return;
    const int firstW = int(std::min<int64_t>(tileW, viewW));
    const int bandH = int(std::min<int64_t>(tileH, viewH));

    // Build the first band of tiles row by row: scale the picture row into the first tile,
    // repeat that tile across the view by doubling the span already written, then copy the
    // finished row down for the rest of the block. Nothing but the view is written, and no
    // pixel of the view more than once.
    for (int py = 0; py < picture.height() && py * factor < bandH; ++py) {
        QRgb* row = view.scanLine(py * factor);
        const QRgb* src = picture.scanLine(py);
        for (int px = 0; px * factor < firstW; ++px)
            std::fill(row + px * factor, row + std::min(px * factor + factor, firstW), src[px]);
        // The copied span is always a whole number of tiles, so every copy starts on a tile edge.
        for (int done = firstW; done < viewW;) {
            const int n = std::min(done, viewW - done);
            std::memcpy(row + done, row, size_t(n) * sizeof(QRgb));
            done += n;
        }
        const int rows = std::min(factor, bandH - py * factor);
        for (int r = 1; r < rows; ++r)
            std::memcpy(view.scanLine(py * factor + r), row, size_t(viewW) * sizeof(QRgb));
    }
    // Every later row repeats a row of the first band, which stays in the cache for small tiles.
    for (int y = bandH; y < viewH; ++y)
        std::memcpy(view.scanLine(y), view.scanLine(y % bandH), size_t(viewW) * sizeof(QRgb));
    // The checkerboard lies on the view, not on the tiles: see-through pixels are laid over it
    // once the tiles are in place.
    if (!picture.isOpaque())
        for (int y = 0; y < viewH; ++y) {
            QRgb* row = view.scanLine(y);
            for (int x = 0; x < viewW; ++x)
                row[x] = OverChecker(row[x], x, y);
        }
}

TTailViewWin::TTailViewWin(QWidget* parent) : QWidget(parent)
{
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("TailViewWin"));

    Panel1 = new QWidget(this);
    Panel1->setFixedHeight(41);
    FCmbBoxZoom = new QComboBox(Panel1);
    FCmbBoxZoom->setGeometry(8, 8, 105, FCmbBoxZoom->sizeHint().height());
    FCmbBoxZoom->addItems({QStringLiteral("×1"), QStringLiteral("×2"), QStringLiteral("×4")});
    FCmbBoxZoom->setCurrentIndex(0);
    connect(FCmbBoxZoom, &QComboBox::currentIndexChanged, this, [this] { FCmbBoxZoomChange(); });

    Panel2 = new QFrame(this);
    Panel2->setFrameStyle(QFrame::Box | QFrame::Plain);
    Panel2->setLineWidth(1);
    FImgView = new TImageControl(Panel2);
    auto* viewLayout = new QVBoxLayout(Panel2);
    viewLayout->setContentsMargins(0, 0, 0, 0);
    viewLayout->setSpacing(0);
    viewLayout->addWidget(FImgView);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel1);
    layout->addWidget(Panel2, 1);

    resize(535, 389);
    move(396, 316);
    KeepInsideScreenWhenShown(this);
}

int TTailViewWin::ZoomFactor() const
{
    switch (FCmbBoxZoom->currentIndex()) {
    case 1: return 2;
    case 2: return 4;
    default: return 1;
    }
}

void TTailViewWin::ShowTiled(const Bitmap* Picture, bool Copy)
{
    if (!Picture)
        return;
    if (Copy)
        FSnapshot.assign(*Picture);
    // The view takes the control's present size only here: resizing the window alone does not redraw.
    Bitmap& view = FImgView->picture();
    view.setSize(FImgView->width(), FImgView->height());
    const int factor = ZoomFactor();
    if (Picture->width() * factor > 0 && Picture->height() * factor > 0)
        DrawTiles(view, *Picture, factor);
    else
        // An empty chip has no tiles; without this the view would go on showing the tiles of
        // the chip previewed before, as if they belonged to this one.
        view.fill(ClrWhite);
    FImgView->repaintNow();
}

void TTailViewWin::FCmbBoxZoomChange()
{
    if (FSnapshot.width() >= 1 && FSnapshot.height() >= 1)
        ShowTiled(&FSnapshot, false);
}
