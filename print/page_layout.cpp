// Page layout arithmetic of the print job. The scale factors are 32-bit floats on purpose: the
// printed size follows from their rounding (an 800-pixel image on 4,796 pixels prints 4,795).
#include "print/page_layout.h"

#include <cstdio>

PageLayout layout_page(int16_t page_width, int16_t page_height, int16_t image_width,
                       int16_t image_height, int32_t punch_margin_left, int32_t punch_margin_top,
                       bool proportional)
{
    PageLayout l{};
    l.left = punch_margin_left > page_width / 1000 ? punch_margin_left : page_width / 1000;
    l.top = punch_margin_top > page_height / 1000 ? punch_margin_top : page_height / 1000;
    if (proportional) {
        volatile float fx = (float)(page_width - l.left) / (float)image_width;
        volatile float fy = (float)(page_height - l.top) / (float)image_height;
        float s = fx <= fy ? fx : fy;
        l.width = (int)((double)s * image_width);
        l.height = (int)((double)s * image_height);
        l.frame_right = l.left + l.width + 1;
        l.frame_bottom = l.top + l.height;
    } else {
        l.width = page_width - l.left;
        l.height = page_height - l.top;
        l.frame_right = page_width + 1;
        l.frame_bottom = page_height;
    }
    l.frame_left = l.left - 1;
    l.frame_top = l.top - 1;
    return l;
}

TextPlace place_text(int position, int16_t page_width, int16_t page_height, int text_width,
                     int text_height)
{
    // Only six places exist; anything else stored goes top left rather than nowhere.
    if (position < 0 || position > 5)
        position = 0;
    int x, y;
    switch (position % 3) {
    case 0:
        x = page_width / 1000;
        break;
    case 1:
        x = (page_width - text_width) / 2;
        break;
    default:
        x = page_width - text_width - 2;
        break;
    }
    y = position >= 3 ? page_height - text_height / 4 : text_height + 2;
    return {(int16_t)x, (int16_t)y};
}

void format_timestamp(char* out, size_t size, int year, int month, int day, int hour, int minute,
                      int second)
{
    snprintf(out, size, "%04d/%02d/%02d %02d:%02d:%02d ", year, month, day, hour, minute, second);
}
