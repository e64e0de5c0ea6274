// Area selection rules; see area_select.h.
#include "app/area_select.h"

#include <cstdint>
#include <cstdio>

AreaRect area_from_corners(long x1, long y1, long x2, long y2)
{
    return {x1 < x2 ? x1 : x2, y1 < y2 ? y1 : y2, x1 < x2 ? x2 : x1, y1 < y2 ? y2 : y1};
}

long area_coordinate(unsigned word, long extent)
{
    long value = (long)(int16_t)(uint16_t)word;
    if (value < 0)
        return 0;
    return value > extent ? extent : value;
}

void format_area_question(char* out, size_t size, const AreaRect& a)
{
    snprintf(out, size,
             "指定 開始\n     X=%ld\n     Y=%ld\n"
             "指定 終了\n     X=%ld\n     Y=%ld\n\n%s",
             a.left, a.top, a.right, a.bottom, "この設定でいいですか？");
}
