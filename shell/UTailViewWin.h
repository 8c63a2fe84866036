// SPDX-License-Identifier: MIT
#pragma once
#include <QWidget>

#include "pictures/Bitmap.h"

class QComboBox;
class QFrame;
class TImageControl;

// The tile preview window: a copy of a chip repeated over the whole view, at one, two or four
// times its size. It shows the copy taken at the last request; later edits do not reach it.
class TTailViewWin : public QWidget {
    Q_OBJECT
public:
    explicit TTailViewWin(QWidget* parent = nullptr);

    // Picture may be null. With Copy the picture is first copied into the window's own snapshot.
    void ShowTiled(const Bitmap* Picture, bool Copy);
    int ZoomFactor() const;

    QWidget* Panel1 = nullptr;
    QComboBox* FCmbBoxZoom = nullptr;
    QFrame* Panel2 = nullptr;
    TImageControl* FImgView = nullptr;

private:
    void FCmbBoxZoomChange();

    // The picture last previewed; zoom changes redraw from it.
    Bitmap FSnapshot;

    friend struct TailViewProbe; // tests read the snapshot through it
};

// Fills view with picture repeated from its top-left corner, each picture pixel enlarged to a
// factor by factor block, tiles cut off at the right and bottom edges; see-through pixels over
// the checkerboard. Leaves view untouched
// when the picture or the factor gives empty tiles.
void DrawTiles(Bitmap& view, const Bitmap& picture, int factor);

extern TTailViewWin* TailViewWin;
