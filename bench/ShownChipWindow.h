// SPDX-License-Identifier: MIT
#pragma once
#include <QPoint>
#include <QSize>
#include <cstddef>

#include "BenchSupport.h"
#include "document/Childwin.h"

// A chip window as the user has it at its most demanding: shown at 1920 by 1080, a 256 by 256 chip
// at the given zoom, the view scrolled away from its corner. Pointer events take Qt's real path,
// from the platform's window through the event dispatch to the view, and each returns only
// when the window has painted what it changed into its backing store.
class ShownChipWindow {
public:
    static constexpr int kWidth = 1920;
    static constexpr int kHeight = 1080;
    static constexpr int kChip = 256;

    explicit ShownChipWindow(int zoom);
    ~ShownChipWindow();

    // The part of the view the scroll box shows, and where it starts in the view.
    QSize visibleSize() const;
    size_t visibleBytes() const;
    QPoint visibleOrigin() const;

    // Points in view coordinates.
    void press(QPoint viewPoint, Qt::KeyboardModifiers modifiers = {});
    void moveTo(QPoint viewPoint);
    void release(QPoint viewPoint);

    TMDIChild child;

private:
    QPoint toWindow(QPoint viewPoint) const;
};

// The memset of the visible area of a ShownChipWindow at zoom 16: the floor for a full repaint.
void VisibleAreaMemsetBaseline(benchmark::State& state);
