#include "shell/UTailViewWin.h"

TTailViewWin* TailViewWin = nullptr;

TTailViewWin::TTailViewWin(QWidget* parent) : QWidget(parent)
{
    setWindowTitle(QStringLiteral("TailViewWin"));
}

void TTailViewWin::ShowTiled(const Bitmap*, bool) {}
