#include "ui/MainFramePlacement.h"

#include <algorithm>

namespace qv {

int CollapsedWidth(const FrameMetrics& m) {
    return 2 * m.fx + m.columnWidth;
}

int ExpandedWidth(const FrameMetrics& m) {
    return 2 * m.fx + m.expandedWidth;
}

int MinimumTrackHeight(const FrameMetrics& m) {
    return m.menu + 2 * m.fy + m.minTrackHeight + m.caption;
}

FramePlacement PlaceFrame(const WorkArea& work, const FrameMetrics& m, const StoredPlacement& s,
                          bool expanded) {
    const int w = CollapsedWidth(m);
    const int h0 = 2 * m.fy + m.minClientHeight;
    const int t0 = work.bottom - m.caption - m.menu - h0;

    int top = s.top.value_or(t0);
    int left = s.left.value_or(work.right - w);
    const int height = s.height.value_or(m.menu + m.caption + h0);

    if (left > work.right) {
        left = work.right - w;
    } else if (left < work.left) {
        left = work.left;
    }
    if (top >= work.bottom) {
        top = t0;
    } else if (top < work.top) {
        top = work.top;
    }
    int bottom = top + height;
    if (bottom > work.bottom) {
        bottom = work.bottom;
        if (bottom - top < MinimumTrackHeight(m)) {
            top = t0;
        }
    }

    FramePlacement p;
    p.y = top;
    p.height = bottom - top;
    if (expanded) {
        const int e = ExpandedWidth(m);
        const int shift = std::max(0, left - work.right + e);
        p.x = left - shift;
        p.width = e;
        // A frame placed expanded again (the next start) keeps the shift it already had, so
        // collapsing still finds its way back.
        p.expandOffset = s.expandOffset + shift;
    } else {
        p.x = left + s.expandOffset;
        p.width = w;
        p.expandOffset = 0;
    }
    return p;
}

}  // namespace qv
