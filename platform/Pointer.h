#pragma once
#include "platform/Geometry.h"

class QWidget;

// Moves the mouse pointer to a point given in the control's client coordinates.
void SetPointerPos(QWidget* control, TPoint clientPoint);
