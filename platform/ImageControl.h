// SPDX-License-Identifier: MIT
#pragma once
#include <QRegion>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

#include "pictures/Bitmap.h"

class QPainter;

// Modifier keys and held buttons of a pointer event, as the handlers of an image control see them.
enum TShiftFlag : unsigned {
    ssShift = 1u << 0,
    ssAlt = 1u << 1,
    ssCtrl = 1u << 2,
    ssLeft = 1u << 3,
    ssRight = 1u << 4,
    ssMiddle = 1u << 5,
};
using TShiftState = unsigned;

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

// A control that shows a picture from its top-left corner and hands press, motion and release to
// its owner in its own coordinates. Motion arrives with and without a button held; while a button
// is held the control keeps the pointer, so coordinates may leave the control.
//
// The picture is either retained (picture(), shown 1:1) or magnified: a source bitmap enlarged by
// a whole factor, with an optional frame. A magnified picture is never stored: every paint scales
// only the exposed part straight from the source, so its cost follows what is on screen and its
// memory does not grow with the factor. Painting covers only the exposed part in both cases.
class TImageControl : public QWidget {
    Q_OBJECT
public:
    explicit TImageControl(QWidget* parent = nullptr);
    ~TImageControl() override;

    Bitmap& picture() { return picture_; }
    const Bitmap& picture() const { return picture_; }

    // Sizes the control and its retained picture together.
    void setPictureSize(int width, int height);
    // Paints the whole control, or one block of it, before returning.
    void repaintNow();
    void repaintNow(const TRect& block);

    // Shows source (which must outlive the control or be replaced first; null shows the retained
    // picture again) enlarged by zoom, sizes the control to match, and repaints what is visible
    // before returning. The frame, in source pixels, is drawn on top as a closed one-pixel black
    // outline through the enlarged corners (Left, Top), (Left, Bottom), (Right, Bottom),
    // (Right, Top); each side covers its start and stops one pixel short of its end, so with
    // Right and Bottom exclusive those sides lie just after the block.
    void showMagnified(const Bitmap* source, int zoom, const std::optional<TRect>& frame);
    // The block of source pixels was changed: repaint it now from the source alone. The frame is
    // not drawn again over it, just as a stretched copy of the block would cover it.
    void refreshSourceBlock(const TRect& sourceBlock);
    // Until the button is released, hides the window system's cursor over the control and draws a
    // mark of the control's own where the pointer is. Xwayland moves the pointer for a client only
    // while that client's cursor is hidden. The cursor comes back by itself whenever the release
    // may never arrive: the control is hidden, a modal box or a popup opens, the window is
    // deactivated or blocked, or motion arrives with no button held.
    void hidePointerUntilRelease();
    bool pointerHidden() const { return pointerHidden_; }

    std::function<void(TMouseButton, TShiftState, int X, int Y)> OnMouseDown;
    std::function<void(TShiftState, int X, int Y)> OnMouseMove;
    std::function<void(TMouseButton, TShiftState, int X, int Y)> OnMouseUp;

    QSize sizeHint() const override { return contentRect().size(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QRect contentRect() const;
    void paintPicture(QPainter& painter, const QRect& area);
    bool paintMagnifiedDirect(QPainter& painter, const QRegion& shown);
    void paintMagnified(QPainter& painter, const QRect& area);
    void paintFrame(QPainter& painter, const QRegion& exposed);
    // Drawn last, over whatever the control shows.
    void paintPointerMark(QPainter& painter);
    void movePointerMark(QPoint at);
    void restorePointer();

    Bitmap picture_;
    const Bitmap* source_ = nullptr;
    int zoom_ = 1;
    std::optional<TRect> frame_;
    // Where blocks refreshed since the last showMagnified hide the frame.
    QRegion frameCovered_;
    // One source row enlarged, repeated zoom times: the only pixels a magnified paint keeps, and
    // only where it cannot write into the backing store itself.
    std::vector<QRgb> band_;
    QPoint pointerAt_; // where the last pointer event put the pointer, in view pixels
    bool pointerHidden_ = false;
};

TShiftState ShiftStateOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons);
