#pragma once

// Where the main frame goes: its stored place checked against the screen's work area, and the
// expanded (two-column) and collapsed widths. Pure, so every edge rule is a table test.

#include <optional>

namespace qv {

// Rectangles are half-open, as the work area is given: right and bottom are the first pixel
// outside.
struct WorkArea {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

struct FrameMetrics {
    int caption = 0;  // caption height
    int menu = 0;     // menu bar height
    int fx = 0;       // side frame and edge width
    int fy = 0;       // top and bottom frame and edge height
    // The room inside the frame: one column, two columns, the least height below the menu and
    // the least height a drag may leave. The defaults are the classic sizes; a window whose
    // controls need more raises them.
    int columnWidth = 140;
    int expandedWidth = 280;
    int minClientHeight = 380;
    int minTrackHeight = 280;
};

// What the machine settings hold; an absent value takes its default.
struct StoredPlacement {
    std::optional<int> left;
    std::optional<int> top;
    std::optional<int> height;
    int expandOffset = 0;
};

struct FramePlacement {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int expandOffset = 0;  // written back as ExpandOffset
};

int CollapsedWidth(const FrameMetrics& m);
int ExpandedWidth(const FrameMetrics& m);
// The least outer height a drag of the bottom or top edge may leave.
int MinimumTrackHeight(const FrameMetrics& m);

// The frame's rectangle, collapsed or expanded. Expanding near the right edge shifts the frame
// left by what would not fit and adds that shift to the offset; collapsing puts the offset back.
FramePlacement PlaceFrame(const WorkArea& work, const FrameMetrics& m, const StoredPlacement& s,
                          bool expanded);

}  // namespace qv
