// How the settings dialogs read their fields back and move their scroll bars: the rules that
// need no window.
#pragma once

#include <cstddef>
#include <cstdint>

// A field typed into an edit control is read from its first `max_chars` bytes only, as a signed
// decimal number after optional blanks; text that is no number reads as 0.
int32_t leading_number(const char* text, size_t max_chars);

// How many bytes of `text` fit in `max_bytes` without cutting a double-byte character in two.
size_t cp932_prefix_length(const char* text, size_t max_bytes);

// Scroll-bar request codes as the window system numbers them.
enum ScrollCode {
    SCROLL_LINE_LEFT = 0,
    SCROLL_LINE_RIGHT = 1,
    SCROLL_PAGE_LEFT = 2,
    SCROLL_PAGE_RIGHT = 3,
    SCROLL_THUMB_POSITION = 4,
    SCROLL_THUMB_TRACK = 5,
};

constexpr int SCROLL_LINE_STEP = 1;
constexpr int SCROLL_PAGE_STEP = 10;
// The colour corrections are shown as -255..+255 on a bar of 0..510.
constexpr int CORRECTION_BAR_MAX = 510;
constexpr int CORRECTION_BAR_ZERO = 255;
constexpr int THRESHOLD_BAR_MAX = 100;

// Where a bar of 0..`max` at `position` goes for a request; -1 when the request moves nothing.
int scroll_to(int code, int position, int thumb, int max);

// A fixed area is usable only with its right edge right of the left one and its bottom below
// the top.
bool fixed_area_valid(int32_t left, int32_t top, int32_t right, int32_t bottom);

// The least values the extended settings accept for the automatic-output minutes.
constexpr int32_t LEAST_INTERVAL_MINUTES = 3;
constexpr int32_t LEAST_AFTER_START_MINUTES = 1;

// Items of the settings dialogs' drop-down lists, in index order.
extern const char* const PLACE_ITEMS[6];
extern const char* const SPEED_ITEMS[3];
extern const char* const HINT_TIME_ITEMS[3];
extern const char* const DEVICE_ITEMS[3];
extern const char* const FILE_MODE_ITEMS[3];
