#pragma once
#include <QDialog>
#include <cstdint>

// The opacity window.
class TAlphaDlg : public QDialog {
    Q_OBJECT
public:
    explicit TAlphaDlg(QWidget* parent = nullptr);
    uint8_t getAlpha() const;
    void setAlpha(uint8_t Value);
};

extern TAlphaDlg* AlphaDlg;
