#pragma once
#include <QWidget>
#include <functional>

#include "platform/Bitmap.h"

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

// A control that shows a retained picture 1:1 from its top-left corner and hands press, motion
// and release to its owner in its own coordinates. Motion arrives with and without a button held;
// while a button is held the control keeps the pointer, so coordinates may leave the control.
// Painting copies only the exposed part of the picture.
class TImageControl : public QWidget {
    Q_OBJECT
public:
    explicit TImageControl(QWidget* parent = nullptr);
    ~TImageControl() override;

    Bitmap& picture() { return picture_; }
    const Bitmap& picture() const { return picture_; }

    // Sizes the control and its picture together.
    void setPictureSize(int width, int height);
    // Paints the whole control, or one block of it, before returning.
    void repaintNow();
    void repaintNow(const TRect& block);

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

    QSize sizeHint() const override { return QSize(picture_.width(), picture_.height()); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Drawn last, over whatever the control shows.
    void paintPointerMark(QPainter& painter);
    void movePointerMark(QPoint at);
    void restorePointer();

    Bitmap picture_;
    QPoint pointerAt_; // where the last pointer event put the pointer, in view pixels
    bool pointerHidden_ = false;
};

TShiftState ShiftStateOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons);
