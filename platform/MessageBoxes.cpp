// SPDX-License-Identifier: MIT
#include "platform/MessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace {

int g_beeps = 0;

void showBox(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text)
{
    QMessageBox box(icon, title, text, QMessageBox::NoButton, parent);
    // The standard button's text follows the locale; the program's button always reads "OK".
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.exec();
}

} // namespace

void ShowErrorBox(QWidget* parent, const QString& title, const QString& text)
{
    showBox(parent, QMessageBox::Critical, title, text);
}

void ShowConfirmationBox(QWidget* parent, const QString& caption, const QString& text)
{
    showBox(parent, QMessageBox::Question, caption, text);
}

void ShowWarningBox(QWidget* parent, const QString& title, const QString& text)
{
    showBox(parent, QMessageBox::Warning, title, text);
}

void Beep()
{
    ++g_beeps;
    QApplication::beep();
}

int BeepCount()
{
    return g_beeps;
}
