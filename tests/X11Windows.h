// SPDX-License-Identifier: MIT
// Finds the top-level windows of another process on the X server, by what does not depend on the
// locale: the process id a window carries (_NET_WM_PID) and its UTF-8 title (_NET_WM_NAME). The
// legacy WM_NAME is written in the locale's encoding, so a lookup by it fails without a locale.
#pragma once
#include <QString>

#include "TestSupport.h"

// The id of a mapped window of the process pid whose title is exactly title, as decimal text
// for xdotool; empty when none appears within timeoutMs. On the X server of display, or of
// DISPLAY when it is empty.
QString WaitForProcessWindow(qint64 pid, const QString& title, int timeoutMs = kWindowEventTimeout,
                             const QString& display = QString());
// Whether the keyboard focus of the X server of display comes, within timeoutMs, to a window of
// the process pid titled title. Unlike WaitForProcessWindow it needs no _NET_CLIENT_LIST, which
// not every window manager keeps (weston's for Xwayland does not).
bool WaitForInputFocus(qint64 pid, const QString& title, const QString& display, int timeoutMs = kWindowEventTimeout);
// Whether, within timeoutMs, no window of the process pid titled title is mapped any more on the
// X server of display: a dialog has gone. Looks through the window tree, not _NET_CLIENT_LIST.
bool WaitForWindowGone(qint64 pid, const QString& title, const QString& display, int timeoutMs = kWindowEventTimeout);
