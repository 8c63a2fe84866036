// SPDX-License-Identifier: MIT
#include "shell/About.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

TAboutBox* AboutBox = nullptr;

namespace {

QLabel* makeLine(QWidget* parent, const QString& text, int y)
{
    auto* label = new QLabel(text, parent);
    label->setGeometry(88, y, 190, 20);
    return label;
}

} // namespace

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("バージョン情報"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(298, 206);

    Panel1 = new QFrame(this);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setGeometry(8, 8, 281, 161);
    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setGeometry(8, 8, 65, 57);
    ProductName = makeLine(Panel1, QStringLiteral("Product Name: Ossery"), 16);
    Version = makeLine(Panel1, QStringLiteral("Version：0.20"), 40);
    Copyright = makeLine(Panel1, QStringLiteral("チップ（タイル）エディタ Marlo"), 80);
    Comments = makeLine(Panel1, QStringLiteral("Qt 6 Widgets 版"), 104);
    Copyright->setGeometry(8, 80, 265, 20);
    Comments->setGeometry(8, 104, 265, 20);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setGeometry(111, 176, 75, 25);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

// The box opens in the middle of the screen, not over the main window.
void TAboutBox::setVisible(bool visible)
{
    if (visible && !isVisible()) {
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect area(QPoint(0, 0), size());
            area.moveCenter(screen->availableGeometry().center());
            move(area.topLeft());
        }
    }
    QDialog::setVisible(visible);
}
