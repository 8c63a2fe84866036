// SPDX-License-Identifier: MIT
#pragma once
#include <QString>

class QWidget;

// The error kind: error icon, one "OK" button.
void ShowErrorBox(QWidget* parent, const QString& title, const QString& text);
// The confirmation kind: question icon, one "OK" button.
void ShowConfirmationBox(QWidget* parent, const QString& caption, const QString& text);
// The warning kind: warning icon, one "OK" button.
void ShowWarningBox(QWidget* parent, const QString& title, const QString& text);
// The system's default beep.
void Beep();
// How many times Beep has sounded; lets tests hear it.
int BeepCount();
