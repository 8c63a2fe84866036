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
#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

// The device pixel that the view reads as the logical pixel v: Qt hands a device pixel d of the
// window on as the logical position d / ratio and the view takes its floor, so the first device
// pixel of v is ceil(v * ratio). The epsilon keeps a product that should be whole from rounding up.
int devicePixel(int v, qreal ratio)
{
    const double d = std::ceil(v * ratio - 1e-9);
    return int(std::clamp(d, double(INT16_MIN), double(INT16_MAX)));
}

// Where a point of the control lies in its window's own device pixels. QCursor::setPos takes whole
// logical pixels of the screen and Qt rounds the window's logical position, so on a scaled screen
// it can land a device pixel off, on the neighbouring view pixel; relative to the window nothing
// is rounded.
[[maybe_unused]] QPoint inWindowDevicePixels(QWidget* control, TPoint clientPoint)
{
    QWidget* window = control->window();
    const qreal ratio = window->windowHandle()->devicePixelRatio();
    const QPoint inWindow = control->mapTo(window, QPoint(clientPoint.X, clientPoint.Y));
    return QPoint(devicePixel(inWindow.x(), ratio), devicePixel(inWindow.y(), ratio));
}

bool warpInWindowPixels(QWidget* control, TPoint clientPoint)
{
    QWidget* window = control->window();
    if (!window->windowHandle())
        return false;
#if MARLO_HAVE_XCB
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11)
        return false;
    const QPoint to = inWindowDevicePixels(control, clientPoint);
    xcb_connection_t* connection = x11->connection();
    xcb_warp_pointer(connection, XCB_NONE, xcb_window_t(window->winId()), 0, 0, 0, 0, int16_t(to.x()), int16_t(to.y()));
    xcb_flush(connection);
    return true;
#elif defined(Q_OS_WIN)
    if (QGuiApplication::platformName() != QLatin1String("windows"))
        return false;
    const QPoint to = inWindowDevicePixels(control, clientPoint);
    POINT origin{0, 0};
    if (!::ClientToScreen(reinterpret_cast<HWND>(window->winId()), &origin))
        return false;
    return ::SetCursorPos(origin.x + to.x(), origin.y + to.y()) != 0;
#else
    Q_UNUSED(clientPoint);
    return false;
#endif
}

class TSystemPointer : public TPointerLayer {
public:
    void MovePointer(QWidget* control, TPoint clientPoint) override
    {
        // Qt would only print a warning for each try.
        if (!CanMovePointer())
            return;
        if (warpInWindowPixels(control, clientPoint))
            return;
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
