#include "platform/ImageControl.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <array>
#include <cmath>

namespace {

TMouseButton buttonOf(Qt::MouseButton b)
{
    switch (b) {
    case Qt::RightButton: return TMouseButton::mbRight;
    case Qt::MiddleButton: return TMouseButton::mbMiddle;
    default: return TMouseButton::mbLeft;
    }
}

QPoint floorOf(QPointF p)
{
    return QPoint(int(std::floor(p.x())), int(std::floor(p.y())));
}

// The view pixel under the pointer. On a scaled screen positions are fractional, and the pointer on
// the last device pixel of a magnified pixel lies in it: rounding would move it on to the next one.
// Qt hands a widget its position rounded from its window's, so the fraction survives only in the
// window's position. An event made by hand may carry no window position of its own; its own
// position is then taken as it is.
QPoint posOf(const QMouseEvent* e, const QWidget* control)
{
    const QWidget* native = control->nativeParentWidget() ? control->nativeParentWidget() : control->window();
    const QPointF local = e->scenePosition() - QPointF(control->mapTo(native, QPoint(0, 0)));
    const QPointF rounding = local - e->position();
    if (std::abs(rounding.x()) <= 0.5 && std::abs(rounding.y()) <= 0.5)
        return floorOf(local);
    return floorOf(e->position());
}

constexpr int kMarkArm = 6; // the mark's arms reach this far from the pointer
constexpr int kMarkGap = 2; // and leave the pixels this near it clear, so the pixel under it shows

// Left, right, upper and lower arm; the pixels within kMarkGap of the pointer stay clear.
std::array<QRect, 4> markArms(QPoint at)
{
    const int length = kMarkArm - kMarkGap;
    return {QRect(at.x() - kMarkArm, at.y(), length, 1), QRect(at.x() + kMarkGap + 1, at.y(), length, 1),
            QRect(at.x(), at.y() - kMarkArm, 1, length), QRect(at.x(), at.y() + kMarkGap + 1, 1, length)};
}

QRect markBounds(QPoint at)
{
    return QRect(at.x() - kMarkArm - 1, at.y() - kMarkArm - 1, 2 * kMarkArm + 3, 2 * kMarkArm + 3);
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

TImageControl::~TImageControl()
{
    restorePointer();
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
    paintPointerMark(painter);
}

// A cross around the pointer, black on a white halo so that it shows over any colour.
void TImageControl::paintPointerMark(QPainter& painter)
{
    if (!pointerHidden_)
        return;
    const std::array<QRect, 4> arms = markArms(pointerAt_);
    for (const QRect& arm : arms)
        painter.fillRect(arm.adjusted(-1, -1, 1, 1), Qt::white);
    for (const QRect& arm : arms)
        painter.fillRect(arm, Qt::black);
}

void TImageControl::hidePointerUntilRelease()
{
    if (pointerHidden_)
        return;
    pointerHidden_ = true;
    setCursor(Qt::BlankCursor);
    // Every window's events: the boxes and popups that take the pointer away are other windows.
    qApp->installEventFilter(this);
    update(markBounds(pointerAt_));
}

void TImageControl::restorePointer()
{
    if (!pointerHidden_)
        return;
    pointerHidden_ = false;
    qApp->removeEventFilter(this);
    unsetCursor();
    update(markBounds(pointerAt_));
}

void TImageControl::movePointerMark(QPoint at)
{
    if (pointerHidden_ && at != pointerAt_) {
        update(markBounds(pointerAt_));
        update(markBounds(at));
    }
    pointerAt_ = at;
}

void TImageControl::hideEvent(QHideEvent* event)
{
    restorePointer();
    QWidget::hideEvent(event);
}

// Watches for what ends a stroke without its release reaching the control.
bool TImageControl::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Show:
        if (auto* w = qobject_cast<QWidget*>(watched); w && w->isWindow() && (w->isModal() || w->windowType() == Qt::Popup))
            restorePointer();
        break;
    case QEvent::WindowBlocked:
    case QEvent::ApplicationDeactivate:
        restorePointer();
        break;
    case QEvent::WindowDeactivate:
        if (watched == window())
            restorePointer();
        break;
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->buttons() == Qt::NoButton)
            restorePointer();
        break;
    default:
        break;
    }
    return false;
}

void TImageControl::mousePressEvent(QMouseEvent* event)
{
    const QPoint at = posOf(event, this);
    movePointerMark(at);
    if (OnMouseDown)
        OnMouseDown(buttonOf(event->button()), ShiftStateOf(event->modifiers(), event->buttons()), at.x(), at.y());
}

void TImageControl::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint at = posOf(event, this);
    movePointerMark(at);
    if (OnMouseMove)
        OnMouseMove(ShiftStateOf(event->modifiers(), event->buttons()), at.x(), at.y());
}

void TImageControl::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint at = posOf(event, this);
    if (OnMouseUp)
        OnMouseUp(buttonOf(event->button()), ShiftStateOf(event->modifiers(), event->buttons()), at.x(), at.y());
    restorePointer();
}
