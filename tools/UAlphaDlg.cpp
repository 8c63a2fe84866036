#include "tools/UAlphaDlg.h"

TAlphaDlg* AlphaDlg = nullptr;

TAlphaDlg::TAlphaDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("不透明度ダイアログ"));
}

uint8_t TAlphaDlg::getAlpha() const { return 255; }
void TAlphaDlg::setAlpha(uint8_t) {}
