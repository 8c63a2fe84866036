// SPDX-License-Identifier: MIT
#pragma once
#include <QDialog>

class QGroupBox;
class QLabel;
class QPushButton;
class TIntEdit;

// The new-chip dialog: asks for the chip's width and height. Created once and reused.
class TFileNewDlg : public QDialog {
    Q_OBJECT
public:
    explicit TFileNewDlg(QWidget* parent = nullptr);

    // The entries' accepted values; writing clamps to 0..256 and shows the number.
    int ChipWidth() const;
    void setChipWidth(int v);
    int ChipHeight() const;
    void setChipHeight(int v);

    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    TIntEdit* FIntEditWidth = nullptr;
    TIntEdit* FIntEditHeight = nullptr;
    QPushButton* FBtnOk = nullptr;
    QPushButton* FBtnCancel = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void FBtnOkClick();
};

extern TFileNewDlg* FileNewDlg;
