// SPDX-License-Identifier: MIT
#include "tools/UAlphaDlg.h"

#include <QEvent>
#include <QKeyEvent>
#include <QSlider>

#include "platform/DialogKeys.h"
#include "platform/ScreenPlacement.h"
#include "tools/UEditerData.h"
#include "tools/UIntEdit.h"

TAlphaDlg* AlphaDlg = nullptr;

TAlphaDlg::TAlphaDlg(QWidget* parent) : QDialog(parent)
{
    setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint);
    setWindowTitle(QStringLiteral("不透明度ダイアログ"));
    setFixedSize(329, 34);
    move(629, 159);
    setAttribute(Qt::WA_AlwaysShowToolTips);
    KeepInsideScreenWhenShown(this);

    FTrackBarAlpha = new QSlider(Qt::Horizontal, this);
    FTrackBarAlpha->setGeometry(0, 0, 256, 45);
    FTrackBarAlpha->setRange(0, 255);
    FTrackBarAlpha->setValue(255);
    FTrackBarAlpha->setPageStep(16);
    FTrackBarAlpha->setTickInterval(32);
    FTrackBarAlpha->setTickPosition(QSlider::TicksAbove);
    FTrackBarAlpha->setFocusPolicy(Qt::NoFocus);

    FEditAlphaNum = new TIntEdit(this);
    FEditAlphaNum->setGeometry(264, 8, 57, 20);
    FEditAlphaNum->setMaxValue(255);
    FEditAlphaNum->setMinValue(0);
    FEditAlphaNum->setShowName(QString());
    FEditAlphaNum->setText(QStringLiteral("0"));
    // The entry is the only tab stop; it takes the focus when the window is first activated.
    FEditAlphaNum->setFocus();

    connect(FTrackBarAlpha, &QSlider::valueChanged, this, [this] { FTrackBarAlphaChange(); });
    connect(FEditAlphaNum, &TIntEdit::Change, this, [this] { FEditAlphaNumChange(); });
}

uint8_t TAlphaDlg::getAlpha() const
{
    return uint8_t(FTrackBarAlpha->value());
}

void TAlphaDlg::setAlpha(uint8_t Value)
{
    FTrackBarAlpha->setValue(Value);
    FEditAlphaNum->setValue(Value);
}

void TAlphaDlg::FTrackBarAlphaChange()
{
    FEditAlphaNum->setValue(FTrackBarAlpha->value());
}

void TAlphaDlg::FEditAlphaNumChange()
{
    // A cleared entry is a text being typed, not a request for 0.
    if (FEditAlphaNum->text().isEmpty())
        return;
    if (FEditAlphaNum->ValidateText())
        FTrackBarAlpha->setValue(FEditAlphaNum->Value());
}

void TAlphaDlg::FormDeactivate()
{
    ToolData->FAlpha = getAlpha();
}

bool TAlphaDlg::event(QEvent* e)
{
    if (e->type() == QEvent::WindowDeactivate)
        FormDeactivate();
    return QDialog::event(e);
}

// Only the close box hides the window.
void TAlphaDlg::keyPressEvent(QKeyEvent* event)
{
    if (!HandleDialogKey(this, event))
        QDialog::keyPressEvent(event);
}
