#include "tools/UIntEdit.h"

TIntEdit::TIntEdit(QWidget* parent) : QLineEdit(parent)
{
    connect(this, &QLineEdit::textChanged, this, &TIntEdit::Change);
}

void TIntEdit::setValue(int v)
{
    FValue = std::min(std::max(v, FMinValue), FMaxValue);
    const QString text = QString::number(FValue);
    if (this->text() != text)
        setText(text);
}

void TIntEdit::setMinValue(int v) { FMinValue = v > FMaxValue ? FMaxValue : v; }
void TIntEdit::setMaxValue(int v) { FMaxValue = v < FMinValue ? FMinValue : v; }
void TIntEdit::setIncrement(int v) { if (v > 0) FIncrement = v; }

bool TIntEdit::ValidateText()
{
    bool ok = false;
    const int v = text().trimmed().toInt(&ok);
    if (!ok || v < FMinValue || v > FMaxValue)
        return false;
    setValue(v);
    return true;
}
