// SPDX-License-Identifier: MIT
#pragma once
#include "pictures/Geometry.h"

class QWidget;

// What moves the mouse pointer. The window system's own is used unless a test puts another in
// place, to stand for a platform that refuses to move the pointer.
class TPointerLayer {
public:
    virtual ~TPointerLayer() = default;
    // Asks for the pointer at a point given in the control's client coordinates. The platform may
    // refuse: then no motion event follows, or one from elsewhere.
    virtual void MovePointer(QWidget* control, TPoint clientPoint) = 0;
    // False where the platform is known never to move the pointer.
    virtual bool CanMovePointer() const = 0;
};

// Puts a layer in place of the window system's; null puts the window system's back.
void SetPointerLayer(TPointerLayer* layer);

// Moves the mouse pointer to a point given in the control's client coordinates.
void SetPointerPos(QWidget* control, TPoint clientPoint);
// Whether SetPointerPos may move the pointer at all: a Wayland session never lets it.
bool PointerCanMove();
