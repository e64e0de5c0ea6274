// The fixed area picked with the mouse: its corners in order, and the question that confirms it.
#pragma once

#include <cstddef>

struct AreaRect {
    long left, top, right, bottom;
};

// The rectangle between two corners, whichever way the mouse was dragged.
AreaRect area_from_corners(long x1, long y1, long x2, long y2);

// The confirmation box's text for `area`.
void format_area_question(char* out, size_t size, const AreaRect& area);
