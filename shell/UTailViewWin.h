#pragma once
#include <QWidget>

#include "platform/Bitmap.h"

// The tile preview window.
class TTailViewWin : public QWidget {
    Q_OBJECT
public:
    explicit TTailViewWin(QWidget* parent = nullptr);
    // Picture may be null. With Copy the picture is first copied into the window's own snapshot.
    void ShowTiled(const Bitmap* Picture, bool Copy);
};

extern TTailViewWin* TailViewWin;
