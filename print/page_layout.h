// Where the image, its frame, the title and the time stamp go on the page, in device pixels.
#pragma once

#include <cstddef>
#include <cstdint>

struct PageLayout {
    int left, top;        // the image's top-left corner
    int width, height;    // the image's size on the page
    int frame_left, frame_top, frame_right, frame_bottom;  // corners of the closed frame line
};

// Page and image sizes are the 16-bit values the printer and the capture report.
PageLayout layout_page(int16_t page_width, int16_t page_height, int16_t image_width,
                       int16_t image_height, int32_t punch_margin_left, int32_t punch_margin_top,
                       bool proportional);

struct TextPlace {
    int16_t x;  // left end of the text
    int16_t y;  // baseline
};

// Positions 0..5: top left, centre, right; bottom left, centre, right.
TextPlace place_text(int position, int16_t page_width, int16_t page_height, int text_width,
                     int text_height);

// "yyyy/mm/dd hh:mm:ss " with its trailing blank.
void format_timestamp(char* out, size_t size, int year, int month, int day, int hour, int minute,
                      int second);
