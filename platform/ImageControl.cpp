// SPDX-License-Identifier: MIT
#include "platform/ImageControl.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPaintEngine>
#include <QPainter>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "platform/Checkerboard.h"

namespace {

TMouseButton buttonOf(Qt::MouseButton b)
{
    switch (b) {
    case Qt::RightButton: return TMouseButton::mbRight;
    case Qt::MiddleButton: return TMouseButton::mbMiddle;
    default: return TMouseButton::mbLeft;
    }
}

// A source coordinate enlarged, kept within what a widget can be: a coordinate clamped this way
// stays outside every widget when the true one does.
int viewCoord(int v, int zoom)
{
    return int(std::clamp<int64_t>(int64_t(v) * zoom, -1, QWIDGETSIZE_MAX + 1));
}

// The pixels GDI's LineTo covers on a vertical or horizontal line: the start, not the end.
QRect lineTo(int x0, int y0, int x1, int y1)
{
    if (x0 == x1 && y0 != y1)
        return y0 < y1 ? QRect(x0, y0, 1, y1 - y0) : QRect(x0, y1 + 1, 1, y0 - y1);
    if (y0 == y1 && x0 != x1)
        return x0 < x1 ? QRect(x0, y0, x1 - x0, 1) : QRect(x1 + 1, y0, x0 - x1, 1);
    return QRect();
}

// The outline through the enlarged corners of a block, drawn as four LineTo calls that close it.
QRegion frameRegion(const TRect& frame, int zoom)
{
    const int l = viewCoord(frame.Left, zoom), t = viewCoord(frame.Top, zoom);
    const int r = viewCoord(frame.Right, zoom), b = viewCoord(frame.Bottom, zoom);
    QRegion region;
    region += lineTo(l, t, l, b);
    region += lineTo(l, b, r, b);
    region += lineTo(r, b, r, t);
    region += lineTo(r, t, l, t);
    return region;
}

// Writes count source pixels, each repeated zoom times. For the zooms a chip window uses the run is
// a constant, which the compiler writes with a few wide stores instead of a loop per pixel.
template <int Z>
void repeatPixels(QRgb* d, const QRgb* s, int count)
{
    for (int i = 0; i < count; ++i, d += Z)
        std::fill_n(d, Z, s[i]);
}

using RepeatPixels = void (*)(QRgb*, const QRgb*, int);
constexpr RepeatPixels kRepeatPixels[] = {
    repeatPixels<1>,  repeatPixels<2>,  repeatPixels<3>,  repeatPixels<4>,  repeatPixels<5>,  repeatPixels<6>,
    repeatPixels<7>,  repeatPixels<8>,  repeatPixels<9>,  repeatPixels<10>, repeatPixels<11>, repeatPixels<12>,
    repeatPixels<13>, repeatPixels<14>, repeatPixels<15>, repeatPixels<16>,
};

void repeatPixels(int zoom, QRgb* d, const QRgb* s, int count)
{
    if (zoom <= int(std::size(kRepeatPixels))) {
        kRepeatPixels[zoom - 1](d, s, count);
        return;
    }
    for (int i = 0; i < count; ++i, d += zoom)
        std::fill_n(d, zoom, s[i]);
}

// One row of the view from width pixels on: the first run may start inside a source pixel and
// the last may stop inside one.
void enlargeRow(QRgb* d, const QRgb* s, int zoom, int firstRun, int width)
{
    std::fill_n(d, firstRun, *s++);
    const int whole = (width - firstRun) / zoom;
    repeatPixels(zoom, d + firstRun, s, whole);
    const int done = firstRun + whole * zoom;
    if (done < width)
        std::fill_n(d + done, width - done, s[whole]);
}

bool opaqueRun(const QRgb* s, int count)
{
    return std::all_of(s, s + count, [](QRgb p) { return qAlpha(p) == 255; });
}

// One row of the view at view row y, from view column left on, for a source row with see-through
// pixels: each pixel over the checkerboard, which changes every kCheckerSquare view pixels. Each
// source pixel is laid over both greys once, then its run is filled square by square.
void enlargeRowOverChecker(QRgb* d, const QRgb* s, int zoom, int left, int width, int y)
{
    const int end = left + width;
    for (int x = left; x < end; ++s) {
        const int runEnd = std::min((x / zoom + 1) * zoom, end);
        const QRgb overLight = OverGrey(*s, kCheckerLight), overDark = OverGrey(*s, kCheckerDark);
        while (x < runEnd) {
            const int squareEnd = std::min((x / kCheckerSquare + 1) * kCheckerSquare, runEnd);
            const QRgb v = CheckerAt(x, y) == kCheckerLight ? overLight : overDark;
            d = std::fill_n(d, squareEnd - x, v);
            x = squareEnd;
        }
    }
}

// Writes the block area of source enlarged by zoom to rows of stride pixels from dst: each source
// row is enlarged once, then copied down at memcpy speed. A row with see-through pixels is laid
// over the checkerboard, whose squares a copy down may not cross.
void enlargeBlock(const Bitmap& source, int zoom, const QRect& area, QRgb* dst, qsizetype stride)
{
    const int width = area.width();
    const int firstRun = std::min(zoom - area.left() % zoom, width);
    const int sourceCount = area.right() / zoom - area.left() / zoom + 1;
    for (int y = area.top(); y <= area.bottom();) {
        const QRgb* src = source.scanLine(y / zoom) + area.left() / zoom;
        const int rows = std::min((y / zoom + 1) * zoom, area.bottom() + 1) - y;
        QRgb* first = dst + (y - area.top()) * stride;
        const bool opaque = opaqueRun(src, sourceCount);
        for (int r = 0; r < rows; ++r) {
            QRgb* row = first + r * stride;
            if (r > 0 && (opaque || (y + r) % kCheckerSquare != 0))
                std::memcpy(row, row - stride, size_t(width) * sizeof(QRgb));
            else if (opaque)
                enlargeRow(row, src, zoom, firstRun, width);
            else
                enlargeRowOverChecker(row, src, zoom, area.left(), width, y + r);
        }
        y += rows;
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

void TImageControl::showMagnified(const Bitmap* source, int zoom, const std::optional<TRect>& frame)
{
    source_ = source;
    zoom_ = std::max(zoom, 1);
    frame_ = source ? frame : std::nullopt;
    frameCovered_ = QRegion();
    if (!source)
        std::vector<QRgb>().swap(band_);
    const QSize content = contentRect().size();
    if (size() != content)
        resize(content);
    // Qt paints only the part that is visible in the scroll box. Going back to the retained
    // picture (as a window does when it closes) is not worth painting at once.
    if (source)
        repaint();
    else
        update();
}

void TImageControl::refreshSourceBlock(const TRect& sourceBlock)
{
    if (!source_)
        return;
    const QRect block = QRect(QPoint(viewCoord(sourceBlock.Left, zoom_), viewCoord(sourceBlock.Top, zoom_)),
                              QPoint(viewCoord(sourceBlock.Right, zoom_) - 1, viewCoord(sourceBlock.Bottom, zoom_) - 1)) &
                        contentRect();
    if (block.isEmpty())
        return;
    if (frame_)
        frameCovered_ += frameRegion(*frame_, zoom_) & block;
    repaint(block);
}

QRect TImageControl::contentRect() const
{
    if (!source_)
        return QRect(0, 0, picture_.width(), picture_.height());
    return QRect(0, 0, viewCoord(source_->width(), zoom_), viewCoord(source_->height(), zoom_));
}

void TImageControl::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QRect content = contentRect();
    const QRegion shown = event->region() & content;
    if (!source_) {
        for (const QRect& r : shown)
            paintPicture(painter, r);
    } else {
        if (!paintMagnifiedDirect(painter, shown))
            for (const QRect& r : shown)
                paintMagnified(painter, r);
        if (frame_)
            paintFrame(painter, shown);
    }
    // The control may be larger than its picture for a moment while it is being resized.
    for (const QRect& r : event->region() - content)
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

void TImageControl::paintPicture(QPainter& painter, const QRect& area)
{
    painter.drawImage(area.topLeft(), picture_.sharedImage(), area);
}

// Where the painter writes into a plain image with nothing but a shift (the backing store of a
// screen whose pixels are the view's, or a picture being rendered at the same size), the view is
// written straight into that image: every exposed pixel once, no copy in between, only within
// the region the painter may touch.
bool TImageControl::paintMagnifiedDirect(QPainter& painter, const QRegion& shown)
{
    QPaintEngine* engine = painter.paintEngine();
    if (!engine || engine->type() != QPaintEngine::Raster || !engine->paintDevice() ||
        engine->paintDevice()->devType() != QInternal::Image)
        return false;
    const QImage& image = *static_cast<QImage*>(engine->paintDevice());
    if ((image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32_Premultiplied) ||
        image.devicePixelRatio() != 1.0)
        return false;
    const QTransform toDevice = painter.deviceTransform();
    if (toDevice.type() > QTransform::TxTranslate || toDevice.dx() != std::trunc(toDevice.dx()) ||
        toDevice.dy() != std::trunc(toDevice.dy()))
        return false;
    const QPoint offset(int(toDevice.dx()), int(toDevice.dy()));
    QRegion allowed = engine->systemClip().isEmpty() ? QRegion(image.rect()) : engine->systemClip() & image.rect();
    if (painter.hasClipping())
        allowed &= painter.clipRegion().translated(offset);
    // The very pixels the paint engine writes to: bits() would detach a shared image instead.
    auto* bits = reinterpret_cast<QRgb*>(const_cast<uchar*>(image.constBits()));
    const qsizetype stride = image.bytesPerLine() / qsizetype(sizeof(QRgb));
    for (const QRect& d : shown.translated(offset) & allowed)
        enlargeBlock(*source_, zoom_, d.translated(-offset), bits + d.top() * stride + d.left(), stride);
    return true;
}

// Elsewhere (a device pixel ratio above 1, another kind of device) through a band of one source
// row's height, which the painter copies or enlarges again without smoothing, so every pixel
// stays a crisp block.
void TImageControl::paintMagnified(QPainter& painter, const QRect& area)
{
    const int z = zoom_;
    const int width = area.width();
    const size_t bandPixels = size_t(width) * size_t(std::min(z, area.height()));
    if (band_.size() < bandPixels)
        band_.resize(bandPixels);
    for (int top = area.top(); top <= area.bottom();) {
        const int rows = std::min((top / z + 1) * z, area.bottom() + 1) - top;
        const QRect band(area.left(), top, width, rows);
        enlargeBlock(*source_, z, band, band_.data(), width);
        painter.drawImage(band.topLeft(), QImage(reinterpret_cast<const uchar*>(band_.data()), width, rows,
                                                 qsizetype(width) * qsizetype(sizeof(QRgb)), QImage::Format_RGB32));
        top += rows;
    }
}

void TImageControl::paintFrame(QPainter& painter, const QRegion& exposed)
{
    const QColor black = QColor::fromRgb(ColorToQRgb(ClrBlack));
    for (const QRect& r : (frameRegion(*frame_, zoom_) & exposed) - frameCovered_)
        painter.fillRect(r, black);
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
