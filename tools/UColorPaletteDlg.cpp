#include "tools/UColorPaletteDlg.h"

TColorPaletteDlg* ColorPaletteDlg = nullptr;

TColorPaletteDlg::TColorPaletteDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("カラーパレット"));
}

TColor TColorPaletteDlg::getPickedColor() const { return 0; }
