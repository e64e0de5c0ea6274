// Field rules of the settings dialogs.
#include "settings/dialog_fields.h"

#include "base/cp932.h"

int32_t leading_number(const char* text, size_t max_chars)
{
    size_t end = 0;
    while (end < max_chars && text[end])
        end++;
    size_t i = 0;
    while (i < end && (text[i] == ' ' || text[i] == '\t'))
        i++;
    bool negative = false;
    if (i < end && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    int64_t value = 0;
    for (; i < end && text[i] >= '0' && text[i] <= '9'; i++) {
        value = value * 10 + (text[i] - '0');
        if (value > INT32_MAX)
            value = (int64_t)INT32_MAX + 1;  // only reachable with very long fields
    }
    if (negative)
        value = -value;
    if (value > INT32_MAX)
        value = INT32_MAX;
    return (int32_t)value;
}

size_t cp932_prefix_length(const char* text, size_t max_bytes)
{
    size_t n = 0;
    while (n < max_bytes && text[n]) {
        size_t width = cp932_lead_byte((unsigned char)text[n]) && text[n + 1] ? 2 : 1;
        if (n + width > max_bytes)
            break;
        n += width;
    }
    return n;
}

int scroll_to(int code, int position, int thumb, int max)
{
    int to;
    switch (code) {
    case SCROLL_LINE_LEFT:
        to = position - SCROLL_LINE_STEP;
        break;
    case SCROLL_LINE_RIGHT:
        to = position + SCROLL_LINE_STEP;
        break;
    case SCROLL_PAGE_LEFT:
        to = position - SCROLL_PAGE_STEP;
        break;
    case SCROLL_PAGE_RIGHT:
        to = position + SCROLL_PAGE_STEP;
        break;
    case SCROLL_THUMB_POSITION:
    case SCROLL_THUMB_TRACK:
        to = thumb;
        break;
    default:
        return -1;
    }
    if (to < 0)
        to = 0;
    if (to > max)
        to = max;
    return to;
}

bool fixed_area_valid(int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    return left < right && top < bottom;
}

const char* const PLACE_ITEMS[6] = {"左上", "中上", "右上", "左下", "中下", "右下"};
const char* const SPEED_ITEMS[3] = {"早い", "ノーマル", "遅い"};
const char* const HINT_TIME_ITEMS[3] = {"なし", "ノーマル", "早い"};
const char* const DEVICE_ITEMS[3] = {"プリンター", "ファイル", "プリンター&ファイル"};
const char* const FILE_MODE_ITEMS[3] = {"上書き", "ファイル名自動作成", "出力しない"};
