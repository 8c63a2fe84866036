// SPDX-License-Identifier: MIT
// One pointer motion of a move drag, a Ctrl scroll and a pen stroke in a shown chip window of
// 1920 by 1080 with a 256 by 256 chip at zoom 16, through Qt's real event path and painting
// included, beside a memset of the visible area's bytes. The design before the view was painted
// straight from the chip (the whole 4096 by 4096 view stretched at every motion) runs in the same
// program for the record.
#include "ShownChipWindow.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>
#include <QVBoxLayout>
#include <QWindow>

#include "tools/UEditerData.h"

namespace {

constexpr int kZoom = 16;

// Points spread over the visible area, each on another chip pixel than the one before.
QPoint motionPoint(const ShownChipWindow& w, int step)
{
    const QSize s = w.visibleSize();
    return w.visibleOrigin() + QPoint(100 + (step * 37 * kZoom) % (s.width() - 200),
                                      100 + (step * 53 * kZoom) % (s.height() - 200));
}

void runDrag(benchmark::State& state, uint8_t tool, bool loop, bool selection, Qt::KeyboardModifiers pressModifiers)
{
    ShownChipWindow w(kZoom);
    const QPoint centre = w.visibleOrigin() + QPoint(w.visibleSize().width() / 2, w.visibleSize().height() / 2);
    if (selection) {
        w.child.ChangeTool(ToolMask);
        w.press(centre - QPoint(300, 200));
        w.moveTo(centre + QPoint(300, 200));
        w.release(centre + QPoint(300, 200));
    }
    w.child.ChangeTool(tool);
    ToolData->FLoop = loop;
    w.press(centre, pressModifiers);
    int step = 0;
    for (auto _ : state)
        w.moveTo(motionPoint(w, ++step));
    w.release(centre);
    w.child.ConfirmTool();
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(w.visibleBytes()));
}

void BM_MoveMotion_loop(benchmark::State& state)
{
    runDrag(state, ToolMove, true, false, {});
}

void BM_MoveMotion_noloop(benchmark::State& state)
{
    runDrag(state, ToolMove, false, false, {});
}

void BM_MoveMotion_loop_selection(benchmark::State& state)
{
    runDrag(state, ToolMove, true, true, {});
}

void BM_ScrollMotion(benchmark::State& state)
{
    runDrag(state, ToolPen, false, false, Qt::ControlModifier);
}

// A slow hand at zoom 16: back and forth by one device pixel inside one chip pixel, so the picture
// stays where it is.
void BM_MoveMotion_withinAPixel(benchmark::State& state)
{
    ShownChipWindow w(kZoom);
    ToolData->FLoop = true;
    w.child.ChangeTool(ToolMove);
    const QPoint at = w.visibleOrigin() + QPoint(800, 500);
    w.press(at);
    bool back = false;
    for (auto _ : state) {
        w.moveTo(back ? at : at + QPoint(1, 0));
        back = !back;
    }
    w.release(at);
    w.child.ConfirmTool();
}

// Back and forth between two neighbouring chip pixels: every motion paints a segment and shows
// another position in the status line.
void BM_PenMotion(benchmark::State& state)
{
    ShownChipWindow w(kZoom);
    const QPoint at = w.visibleOrigin() + QPoint(800, 500);
    w.press(at);
    bool back = false;
    for (auto _ : state) {
        w.moveTo(back ? at : at + QPoint(kZoom, 0));
        back = !back;
    }
    w.release(at);
}

// ---- The former design, for the record ----

// The view as it was: a retained bitmap of chip size times zoom, stretched whole from the chip
// at every motion, then the exposed part copied to the screen.
class FormerView : public QWidget {
public:
    FormerView(Bitmap& chip, int zoom) : chip_(chip), zoom_(zoom)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        render();
    }

    void render()
    {
        view_.stretchFrom(chip_, zoom_);
        if (size() != QSize(view_.width(), view_.height()))
            resize(view_.width(), view_.height());
        repaint();
    }

    std::function<void(QPoint)> onPress;
    std::function<void(QPoint)> onDrag;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPainter painter(this);
        const QRect shown = event->rect() & QRect(0, 0, view_.width(), view_.height());
        painter.drawImage(shown.topLeft(), view_.sharedImage(), shown);
    }
    void mousePressEvent(QMouseEvent* event) override { onPress(event->position().toPoint()); }
    void mouseMoveEvent(QMouseEvent* event) override
    {
        if (event->buttons())
            onDrag(event->position().toPoint());
    }

private:
    Bitmap& chip_;
    int zoom_;
    Bitmap view_;
};

// A window laid out like the chip window, whose move with loop on stamps the lifted chip four
// times and redraws the whole view, as the move did.
class FormerChipWindow : public QWidget {
public:
    FormerChipWindow()
    {
        chip_ = Bitmap(ShownChipWindow::kChip, ShownChipWindow::kChip);
        FillPattern(chip_);
        box_ = new QScrollArea(this);
        box_->setFrameShape(QFrame::NoFrame);
        view_ = new FormerView(chip_, kZoom);
        box_->setWidget(view_);
        auto* status = new QStatusBar(this);
        status->setFixedHeight(19);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        layout->addWidget(box_, 1);
        layout->addWidget(status);
        view_->onPress = [this](QPoint p) {
            anchor_ = p;
            floating_ = chip_;
        };
        view_->onDrag = [this](QPoint p) { drag(p); };
        resize(ShownChipWindow::kWidth, ShownChipWindow::kHeight);
        show();
        if (!QTest::qWaitForWindowExposed(this))
            std::fprintf(stderr, "the former chip window was never exposed\n");
        box_->horizontalScrollBar()->setValue(box_->horizontalScrollBar()->maximum() / 3);
        box_->verticalScrollBar()->setValue(box_->verticalScrollBar()->maximum() / 3);
        QCoreApplication::processEvents();
    }

    QPoint toWindow(QPoint viewPoint) const { return view_->mapTo(this, viewPoint); }
    QRect visible() const { return view_->visibleRegion().boundingRect(); }

private:
    void drag(QPoint p)
    {
        const int w = chip_.width(), h = chip_.height();
        const int dx = (((p.x() - anchor_.x()) / kZoom) % w + w) % w;
        const int dy = (((p.y() - anchor_.y()) / kZoom) % h + h) % h;
        const TRect all{0, 0, w, h};
        chip_.copyRect(dx, dy, floating_, all);
        chip_.copyRect(dx - w, dy, floating_, all);
        chip_.copyRect(dx, dy - h, floating_, all);
        chip_.copyRect(dx - w, dy - h, floating_, all);
        view_->render();
    }

    Bitmap chip_;
    Bitmap floating_;
    QPoint anchor_;
    QScrollArea* box_ = nullptr;
    FormerView* view_ = nullptr;
};

void BM_FormerDesign_MoveMotion_loop(benchmark::State& state)
{
    FormerChipWindow w;
    const QRect visible = w.visible();
    QWindow* window = w.windowHandle();
    const QPoint centre = visible.center();
    QTest::mousePress(window, Qt::LeftButton, {}, w.toWindow(centre));
    int step = 0;
    for (auto _ : state) {
        ++step;
        const QPoint p = visible.topLeft() + QPoint(100 + (step * 37 * kZoom) % (visible.width() - 200),
                                                    100 + (step * 53 * kZoom) % (visible.height() - 200));
        QTest::mouseMove(window, w.toWindow(p));
    }
    QTest::mouseRelease(window, Qt::LeftButton, {}, w.toWindow(centre));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(visible.width()) * visible.height() * 4);
}

} // namespace

BENCHMARK(VisibleAreaMemsetBaseline)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MoveMotion_loop)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MoveMotion_noloop)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MoveMotion_loop_selection)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MoveMotion_withinAPixel)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ScrollMotion)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PenMotion)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FormerDesign_MoveMotion_loop)->Unit(benchmark::kMicrosecond);
