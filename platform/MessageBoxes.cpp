// SPDX-License-Identifier: MIT
#include "platform/MessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <cstdio>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

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

bool AskYesNo(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, parent);
    QPushButton* yes = box.addButton(QStringLiteral("はい(&Y)"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("いいえ(&N)"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

void ShowStartText(const QString& title, const QString& text, bool error)
{
#ifdef Q_OS_WIN
    const HANDLE stream = ::GetStdHandle(error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    if (!stream || stream == INVALID_HANDLE_VALUE) {
        showBox(nullptr, error ? QMessageBox::Critical : QMessageBox::Information, title, text);
        return;
    }
#else
    Q_UNUSED(title);
#endif
    std::FILE* out = error ? stderr : stdout;
    std::fputs(text.toLocal8Bit().constData(), out);
    std::fflush(out);
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
