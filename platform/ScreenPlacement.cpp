// SPDX-License-Identifier: MIT
#include "platform/ScreenPlacement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMargins>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace {

int fitAxis(int start, int length, int areaStart, int areaLength)
{
    if (length >= areaLength)
        return areaStart;
    return std::clamp(start, areaStart, areaStart + areaLength - length);
}

// Before the window manager has framed a window its frame is unknown; a title bar and thin
// borders are what the frame of a tool window usually adds.
QMargins frameMarginsOf(QWidget* window)
{
    if (QWindow* handle = window->windowHandle(); handle && !handle->frameMargins().isNull())
        return handle->frameMargins();
    const int border = window->style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, window);
    const int title = window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window);
    return QMargins(border, title + border, border, border);
}

class ShowWatcher : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // Sent before the window is mapped, so it appears in its final place.
        if (event->type() == QEvent::Show && !event->spontaneous())
            KeepInsideScreen(static_cast<QWidget*>(watched));
        return false;
    }
};

QScreen* screenOf(QWidget* window, const QRect& frame)
{
    if (QScreen* s = QGuiApplication::screenAt(frame.center()))
        return s;
    if (QScreen* s = QGuiApplication::screenAt(frame.topLeft()))
        return s;
    return window->screen() ? window->screen() : QGuiApplication::primaryScreen();
}

} // namespace

QRect FitInside(const QRect& frame, const QRect& area)
{
    return QRect(QPoint(fitAxis(frame.x(), frame.width(), area.x(), area.width()),
                        fitAxis(frame.y(), frame.height(), area.y(), area.height())),
                 frame.size());
}

void KeepInsideScreen(QWidget* window)
{
    const QMargins margins = frameMarginsOf(window);
    const QRect frame = window->geometry().marginsAdded(margins);
    QScreen* screen = screenOf(window, frame);
    if (!screen)
        return;
    const QRect fitted = FitInside(frame, screen->availableGeometry());
    if (fitted.topLeft() != frame.topLeft())
        window->move(window->pos() + (fitted.topLeft() - frame.topLeft()));
}

void KeepInsideScreenWhenShown(QWidget* window)
{
    window->installEventFilter(new ShowWatcher(window));
}
