// SPDX-License-Identifier: MIT
#pragma once
#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

// The About box: the program's name and version until it is closed.
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);

    QFrame* Panel1 = nullptr;
    QLabel* ProgramIcon = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* Version = nullptr;
    QLabel* Copyright = nullptr;
    QLabel* Comments = nullptr;
    QPushButton* OKButton = nullptr;

    void setVisible(bool visible) override;
};

extern TAboutBox* AboutBox;
