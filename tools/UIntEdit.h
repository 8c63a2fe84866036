// SPDX-License-Identifier: MIT
#pragma once
#include <QLineEdit>
#include <QWidget>
#include <cstdint>

class QToolButton;

// The two arrows at the right edge of an integer entry. It keeps the step and bounds it is
// handed but never a position: only the direction of a click matters to the entry.
class TSpinButton : public QWidget {
    Q_OBJECT
public:
    explicit TSpinButton(QWidget* parent = nullptr);

    int Increment() const { return FIncrement; }
    void setIncrement(int v) { FIncrement = v; }
    int MinValue() const { return FMinValue; }
    void setMinValue(int v) { FMinValue = v; }
    int MaxValue() const { return FMaxValue; }
    void setMaxValue(int v) { FMaxValue = v; }

    QToolButton* upButton() const { return FBtnUp; }
    QToolButton* downButton() const { return FBtnDown; }

signals:
    void UpClick();
    void DownClick();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QToolButton* FBtnUp = nullptr;
    QToolButton* FBtnDown = nullptr;
    int FIncrement = 1;
    int FMinValue = 0;
    int FMaxValue = 0;
};

// A one-line entry for one whole number in a range, with a spin button at its right edge.
// Value is the last accepted number, held apart from the text being typed.
class TIntEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TIntEdit(QWidget* parent = nullptr);

    int Value() const { return FValue; }
    void setValue(int v);
    int MinValue() const { return FMinValue; }
    void setMinValue(int v);
    int MaxValue() const { return FMaxValue; }
    void setMaxValue(int v);
    int Increment() const { return FIncrement; }
    void setIncrement(int v);
    QString ShowName() const { return FShowName; }
    void setShowName(const QString& name) { FShowName = name; }

    // True when the text was accepted as Value; otherwise the user has been told the range.
    bool ValidateText();

    // The number a text stands for: leading blanks, a sign, then decimal digits or hexadecimal
    // ones after "$", "x" or "0x". Anything else, or a number beyond 32 bits, gives Fallback.
    static int TextToInt(const QString& Text, int Fallback);

    TSpinButton* spinButton() const { return FSpinButton; }

signals:
    // Raised on every change of the text, typed or set through Value.
    void Change();
    // The focus moved to another control of the same window (not to another window, so the
    // range message of ValidateText does not raise it again).
    void Leave();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void SpinClick(bool Up);
    void AdjustTextRect();
    // Value arithmetic is done in 64 bits so a step beyond the 32-bit range clamps instead of
    // overflowing.
    void storeClamped(int64_t v);

    TSpinButton* FSpinButton = nullptr;
    int FValue = 0;
    int FMinValue = 0;
    int FMaxValue = 0;
    int FIncrement = 1;
    QString FShowName;
    bool FValidating = false;
};
