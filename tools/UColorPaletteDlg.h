#pragma once
#include <QDialog>

#include "platform/Bitmap.h"

// The modal colour palette dialog.
class TColorPaletteDlg : public QDialog {
    Q_OBJECT
public:
    explicit TColorPaletteDlg(QWidget* parent = nullptr);
    TColor getPickedColor() const;
};

extern TColorPaletteDlg* ColorPaletteDlg;
