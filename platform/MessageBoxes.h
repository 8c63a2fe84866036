// SPDX-License-Identifier: MIT
#pragma once
#include <QString>

class QWidget;

// The error kind: error icon, one "OK" button.
void ShowErrorBox(QWidget* parent, const QString& title, const QString& text);
// The confirmation kind: question icon, one "OK" button.
void ShowConfirmationBox(QWidget* parent, const QString& caption, const QString& text);
// A question: "はい" or "いいえ", the latter being what Esc and closing the box answer. True for "はい".
bool AskYesNo(QWidget* parent, const QString& title, const QString& text);
// The text of --help, --version or a wrong option, where the one who started the program reads
// it: standard output, or standard error for an error. A Windows program started from the desktop
// has neither, and shows it in a message box of that title instead.
void ShowStartText(const QString& title, const QString& text, bool error);
// The system's default beep.
void Beep();
// How many times Beep has sounded; lets tests hear it.
int BeepCount();
