// The fixed area picked with the mouse: its corners in order, and the question that confirms it.
#pragma once

#include <cstddef>

struct AreaRect {
    long left, top, right, bottom;
};

// The rectangle between two corners, whichever way the mouse was dragged.
AreaRect area_from_corners(long x1, long y1, long x2, long y2);

// A corner's coordinate from a mouse message's 16-bit word, kept inside the screen the
// selection covers (0 to `extent`, the far edge included: a drag past it takes the last pixels).
// The mouse, held by the popup, reports points on other monitors too: left of or above the
// screen the word is a negative number, which stored as it comes would read as about 65,500.
long area_coordinate(unsigned word, long extent);

// The confirmation box's text for `area`.
void format_area_question(char* out, size_t size, const AreaRect& area);
