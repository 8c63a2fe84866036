// SPDX-License-Identifier: MIT
#pragma once
#include <QDialog>
#include <cstdint>

class QSlider;
class TIntEdit;

// The opacity window: a slider and an entry for the pen's opacity. The slider holds the value;
// it reaches the tool state only when the window loses activation.
class TAlphaDlg : public QDialog {
    Q_OBJECT
public:
    explicit TAlphaDlg(QWidget* parent = nullptr);
    uint8_t getAlpha() const;
    void setAlpha(uint8_t Value);

    QSlider* FTrackBarAlpha = nullptr;
    TIntEdit* FEditAlphaNum = nullptr;

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FTrackBarAlphaChange();
    void FEditAlphaNumChange();
    void FormDeactivate();
};

extern TAlphaDlg* AlphaDlg;
