// SPDX-License-Identifier: MIT
#pragma once
#include <QRect>

class QWidget;

// The position nearest to frame's at which it lies inside area; a frame larger than the area
// keeps its top-left corner in it.
QRect FitInside(const QRect& frame, const QRect& area);

// Moves a top-level window as little as needed for its frame to lie inside the available area of
// its screen. The designed positions of the tool windows assume a large screen at a scale of 1;
// on a small or scaled screen they would put a window out of reach.
void KeepInsideScreen(QWidget* window);
// The same, each time the window is shown.
void KeepInsideScreenWhenShown(QWidget* window);
