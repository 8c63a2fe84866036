// SPDX-License-Identifier: MIT
#include "tools/UIntEdit.h"

#include <QApplication>
#include <QKeyEvent>
#include <QStyle>
#include <QToolButton>
#include <algorithm>
#include <limits>

#include "platform/MessageBoxes.h"

namespace {

QToolButton* makeArrow(QWidget* parent, Qt::ArrowType arrow)
{
    auto* button = new QToolButton(parent);
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setIconSize(QSize(7, 7));
    return button;
}

int hexDigit(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

} // namespace

TSpinButton::TSpinButton(QWidget* parent) : QWidget(parent)
{
    FBtnUp = makeArrow(this, Qt::UpArrow);
    FBtnDown = makeArrow(this, Qt::DownArrow);
    connect(FBtnUp, &QToolButton::clicked, this, &TSpinButton::UpClick);
    connect(FBtnDown, &QToolButton::clicked, this, &TSpinButton::DownClick);
    setCursor(Qt::ArrowCursor);
}

void TSpinButton::resizeEvent(QResizeEvent*)
{
    const int upper = height() / 2;
    FBtnUp->setGeometry(0, 0, width(), upper);
    FBtnDown->setGeometry(0, upper, width(), height() - upper);
}

TIntEdit::TIntEdit(QWidget* parent) : QLineEdit(parent)
{
    FSpinButton = new TSpinButton(this);
    setIncrement(1);
    connect(FSpinButton, &TSpinButton::UpClick, this, [this] { SpinClick(true); });
    connect(FSpinButton, &TSpinButton::DownClick, this, [this] { SpinClick(false); });
    connect(this, &QLineEdit::textChanged, this, &TIntEdit::Change);
    AdjustTextRect();
}

void TIntEdit::storeClamped(int64_t v)
{
    // Below the minimum first, then above the maximum: with crossed bounds the maximum wins.
    if (v < FMinValue)
        v = FMinValue;
    if (FMaxValue < v)
        v = FMaxValue;
    FValue = int(v);
    const QString shown = QString::number(FValue);
    if (text() != shown)
        setText(shown);
}

void TIntEdit::setValue(int v)
{
    storeClamped(v);
}

void TIntEdit::setMinValue(int v)
{
    FMinValue = v > FMaxValue ? FMaxValue : v;
    FSpinButton->setMinValue(FMinValue);
}

void TIntEdit::setMaxValue(int v)
{
    FMaxValue = v < FMinValue ? FMinValue : v;
    FSpinButton->setMaxValue(FMaxValue);
}

void TIntEdit::setIncrement(int v)
{
    if (v > 0)
        FIncrement = v;
    FSpinButton->setIncrement(FIncrement);
}

int TIntEdit::TextToInt(const QString& Text, int Fallback)
{
    const qsizetype n = Text.size();
    qsizetype i = 0;
    while (i < n && Text[i] == u' ')
        ++i;
    bool negative = false;
    if (i < n && (Text[i] == u'+' || Text[i] == u'-')) {
        negative = Text[i] == u'-';
        ++i;
    }
    int base = 10;
    if (i < n && (Text[i] == u'$' || Text[i] == u'x' || Text[i] == u'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < n && Text[i] == u'0' && (Text[i + 1] == u'x' || Text[i + 1] == u'X')) {
        base = 16;
        i += 2;
    }
    if (i == n)
        return Fallback;
    // One past the largest magnitude, -2^31, stops the accumulation long before it can overflow.
    constexpr int64_t limit = int64_t(std::numeric_limits<int32_t>::max()) + 1;
    int64_t magnitude = 0;
    for (; i < n; ++i) {
        const int digit = hexDigit(Text[i].unicode());
        if (digit < 0 || digit >= base)
            return Fallback;
        magnitude = magnitude * base + digit;
        if (magnitude > limit)
            return Fallback;
    }
    const int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<int32_t>::max())
        return Fallback;
    return int(value);
}

void TIntEdit::SpinClick(bool Up)
{
    storeClamped(TextToInt(text(), FValue));
    storeClamped(Up ? int64_t(FValue) + FIncrement : int64_t(FValue) - FIncrement);
}

bool TIntEdit::ValidateText()
{
    // The range box takes the focus away; an owner that validates again while it is open must
    // not stack a second box on the first.
    if (FValidating)
        return false;
    const int v = TextToInt(text(), -700000);
    if (v != -700000 && FMinValue <= v && v <= FMaxValue) {
        setValue(v);
        return true;
    }
    FValidating = true;
    Beep();
    ShowConfirmationBox(this, QStringLiteral("確認"),
                        FShowName + QStringLiteral("は ") + QString::number(FMinValue) + QStringLiteral("～")
                            + QString::number(FMaxValue) + QStringLiteral(" の範囲で指定してね"));
    FValidating = false;
    // Some window managers hand the activation elsewhere when the box closes; the entry's own
    // window must have it back for the focus to reach the entry.
    activateWindow();
    setFocus(Qt::OtherFocusReason);
    selectAll();
    return false;
}

bool TIntEdit::event(QEvent* event)
{
    // Outside modal dialogs the main window's shortcuts take their keys before the entry sees
    // them (Enter in the opacity entry confirms the tool, N selects the pen). Keys no shortcut
    // claims still arrive as ordinary key presses.
    if (event->type() == QEvent::ShortcutOverride && !QApplication::activeModalWidget())
        return QWidget::event(event);
    return QLineEdit::event(event);
}

void TIntEdit::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        ValidateText();
        return;
    case Qt::Key_Up:
        SpinClick(true);
        break;
    case Qt::Key_Down:
        SpinClick(false);
        break;
    default:
        break;
    }
    QLineEdit::keyPressEvent(event);
}

void TIntEdit::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    // A click places the caret where it lands; every other way in selects the whole number.
    if (event->reason() != Qt::MouseFocusReason && event->reason() != Qt::PopupFocusReason)
        selectAll();
}

void TIntEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        emit Leave();
}

void TIntEdit::resizeEvent(QResizeEvent* event)
{
    QLineEdit::resizeEvent(event);
    AdjustTextRect();
}

void TIntEdit::changeEvent(QEvent* event)
{
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::StyleChange)
        AdjustTextRect();
}

// The spin button sits inside the frame over the full inner height; the text stops 2 pixels
// short of it so typing never runs underneath.
void TIntEdit::AdjustTextRect()
{
    const int frame = hasFrame() ? style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this) : 0;
    const int spinWidth = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    FSpinButton->setGeometry(width() - frame - spinWidth, frame, spinWidth, std::max(0, height() - 2 * frame));
    setTextMargins(0, 0, spinWidth + 2, 0);
}
