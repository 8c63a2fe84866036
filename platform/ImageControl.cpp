#include "platform/ImageControl.h"

#include <QMouseEvent>
#include <QPainter>

namespace {

TMouseButton buttonOf(Qt::MouseButton b)
{
    switch (b) {
    case Qt::RightButton: return TMouseButton::mbRight;
    case Qt::MiddleButton: return TMouseButton::mbMiddle;
    default: return TMouseButton::mbLeft;
    }
}

QPoint posOf(const QMouseEvent* e)
{
    return e->position().toPoint();
}

} // namespace

TShiftState ShiftStateOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons)
{
    TShiftState s = 0;
    if (modifiers & Qt::ShiftModifier) s |= ssShift;
    if (modifiers & Qt::AltModifier) s |= ssAlt;
    if (modifiers & Qt::ControlModifier) s |= ssCtrl;
    if (buttons & Qt::LeftButton) s |= ssLeft;
    if (buttons & Qt::RightButton) s |= ssRight;
    if (buttons & Qt::MiddleButton) s |= ssMiddle;
    return s;
}

TImageControl::TImageControl(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TImageControl::setPictureSize(int width, int height)
{
    picture_.setSize(width, height);
    if (size() != QSize(width, height))
        resize(width, height);
}

void TImageControl::repaintNow()
{
    repaint();
}

void TImageControl::repaintNow(const TRect& block)
{
    repaint(QRect(block.Left, block.Top, block.width(), block.height()));
}

void TImageControl::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QRect exposed = event->rect();
    const QRect pictureRect(0, 0, picture_.width(), picture_.height());
    const QRect shown = exposed & pictureRect;
    if (!shown.isEmpty())
        painter.drawImage(shown.topLeft(), picture_.sharedImage(), shown);
    // The control may be larger than its picture for a moment while it is being resized.
    const QRegion rest = QRegion(exposed) - QRegion(pictureRect);
    for (const QRect& r : rest)
        painter.fillRect(r, palette().window());
}

void TImageControl::mousePressEvent(QMouseEvent* event)
{
    if (OnMouseDown)
        OnMouseDown(buttonOf(event->button()), ShiftStateOf(event->modifiers(), event->buttons()), posOf(event).x(),
                    posOf(event).y());
}

void TImageControl::mouseMoveEvent(QMouseEvent* event)
{
    if (OnMouseMove)
        OnMouseMove(ShiftStateOf(event->modifiers(), event->buttons()), posOf(event).x(), posOf(event).y());
}

void TImageControl::mouseReleaseEvent(QMouseEvent* event)
{
    if (OnMouseUp)
        OnMouseUp(buttonOf(event->button()), ShiftStateOf(event->modifiers(), event->buttons()), posOf(event).x(),
                  posOf(event).y());
}
