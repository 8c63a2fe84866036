// SPDX-License-Identifier: MIT
#pragma once

class QKeyEvent;
class QWidget;

// The keys of the program's dialogs, as in the dialogs of the platform the program comes from:
// Escape closes nothing, since none of them has a cancel button, and Return or Enter presses the
// push button that has the focus although no button is the default one. Returns true when the
// key was taken; the dialog's keyPressEvent then stops.
bool HandleDialogKey(QWidget* dialog, QKeyEvent* event);
