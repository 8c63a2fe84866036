// SPDX-License-Identifier: MIT
#include "shell/UFileNewDlg.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include "platform/DialogKeys.h"
#include "tools/UIntEdit.h"

TFileNewDlg* FileNewDlg = nullptr;

namespace {

TIntEdit* makeSizeEntry(QWidget* parent, int y, const QString& name)
{
    auto* entry = new TIntEdit(parent);
    entry->setGeometry(48, y, 81, 20);
    entry->setMaxValue(256);
    entry->setMinValue(0);
    entry->setShowName(name);
    return entry;
}

QLabel* makeLabel(QWidget* parent, const QString& text, int y, QWidget* buddy)
{
    auto* label = new QLabel(text, parent);
    label->setGeometry(8, y, 40, 20);
    label->setBuddy(buddy);
    return label;
}

// Neither button is the default: Enter in an entry only validates that entry.
QPushButton* makeButton(QWidget* parent, const QString& text, int x)
{
    auto* button = new QPushButton(text, parent);
    button->setGeometry(x, 192, 75, 25);
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

} // namespace

TFileNewDlg::TFileNewDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("新規作成"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(242, 222);

    GroupBox1 = new QGroupBox(QStringLiteral("チップサイズ"), this);
    GroupBox1->setGeometry(8, 16, 145, 89);
    FIntEditWidth = makeSizeEntry(GroupBox1, 24, QStringLiteral("チップの幅"));
    FIntEditHeight = makeSizeEntry(GroupBox1, 56, QStringLiteral("チップの高さ"));
    Label1 = makeLabel(GroupBox1, QStringLiteral("幅："), 24, FIntEditWidth);
    Label2 = makeLabel(GroupBox1, QStringLiteral("高さ："), 56, FIntEditHeight);

    FBtnOk = makeButton(this, QStringLiteral("OK"), 8);
    FBtnCancel = makeButton(this, QStringLiteral("キャンセル"), 160);
    connect(FBtnOk, &QPushButton::clicked, this, &TFileNewDlg::FBtnOkClick);
    connect(FBtnCancel, &QPushButton::clicked, this, &QDialog::reject);

    setTabOrder(FIntEditWidth, FIntEditHeight);
    setTabOrder(FIntEditHeight, FBtnOk);
    setTabOrder(FBtnOk, FBtnCancel);
}

int TFileNewDlg::ChipWidth() const { return FIntEditWidth->Value(); }
void TFileNewDlg::setChipWidth(int v) { FIntEditWidth->setValue(v); }
int TFileNewDlg::ChipHeight() const { return FIntEditHeight->Value(); }
void TFileNewDlg::setChipHeight(int v) { FIntEditHeight->setValue(v); }

// Width first: the height is only looked at once the width is right, so a single message
// names the first wrong entry and leaves the focus there.
void TFileNewDlg::FBtnOkClick()
{
    if (!FIntEditWidth->ValidateText())
        return;
    if (!FIntEditHeight->ValidateText())
        return;
    accept();
}

void TFileNewDlg::keyPressEvent(QKeyEvent* event)
{
    // Esc does nothing here; only Cancel and the close box cancel.
    if (!HandleDialogKey(this, event))
        QDialog::keyPressEvent(event);
}

void TFileNewDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FIntEditWidth->setFocus(Qt::TabFocusReason);
}
