// SPDX-License-Identifier: MIT
#include "platform/Pointer.h"

#include <QCursor>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cmath>

#if MARLO_HAVE_XCB
#include <xcb/xcb.h>
#endif

namespace {

#if MARLO_HAVE_XCB
// The device pixel that the view reads as the logical pixel v: Qt hands a device pixel d of the
// window on as the logical position d / ratio and the view takes its floor, so the first device
// pixel of v is ceil(v * ratio). The epsilon keeps a product that should be whole from rounding up.
int16_t devicePixel(int v, qreal ratio)
{
    const double d = std::ceil(v * ratio - 1e-9);
    return int16_t(std::clamp(d, double(INT16_MIN), double(INT16_MAX)));
}

// Warps in the window's own device pixels. QCursor::setPos takes whole logical pixels of the
// screen and Qt rounds the window's logical position, so on a scaled screen it can land a device
// pixel off, on the neighbouring view pixel; relative to the window nothing is rounded.
bool warpInWindowPixels(QWidget* control, TPoint clientPoint)
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    QWidget* window = control->window();
    if (!x11 || !window->windowHandle())
        return false;
    const qreal ratio = window->windowHandle()->devicePixelRatio();
    const QPoint inWindow = control->mapTo(window, QPoint(clientPoint.X, clientPoint.Y));
    xcb_connection_t* connection = x11->connection();
    xcb_warp_pointer(connection, XCB_NONE, xcb_window_t(window->winId()), 0, 0, 0, 0,
                     devicePixel(inWindow.x(), ratio), devicePixel(inWindow.y(), ratio));
    xcb_flush(connection);
    return true;
}
#endif

class TSystemPointer : public TPointerLayer {
public:
    void MovePointer(QWidget* control, TPoint clientPoint) override
    {
        // Qt would only print a warning for each try.
        if (!CanMovePointer())
            return;
#if MARLO_HAVE_XCB
        if (warpInWindowPixels(control, clientPoint))
            return;
#endif
        QCursor::setPos(control->mapToGlobal(QPoint(clientPoint.X, clientPoint.Y)));
    }

    // A Wayland client may not move the pointer.
    bool CanMovePointer() const override
    {
        return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    }
};

TSystemPointer systemPointer;
TPointerLayer* currentLayer = &systemPointer;

} // namespace

void SetPointerLayer(TPointerLayer* layer)
{
    currentLayer = layer ? layer : &systemPointer;
}

void SetPointerPos(QWidget* control, TPoint clientPoint)
{
    currentLayer->MovePointer(control, clientPoint);
}

bool PointerCanMove()
{
    return currentLayer->CanMovePointer();
}
