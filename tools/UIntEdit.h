#pragma once
#include <QLineEdit>

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

signals:
    // Raised on every change of the text, typed or set through Value.
    void Change();

private:
    int FValue = 0;
    int FMinValue = 0;
    int FMaxValue = 0;
    int FIncrement = 1;
    QString FShowName;
};
