// The main window and its status line at a display's scale: their sizes at 96 DPI, the
// scale every Windows before high-DPI displays drew at, scaled to the display's DPI.
#pragma once

constexpr int BASE_DPI = 96;
// The main window at 96 DPI, frame included.
constexpr long MAIN_WINDOW_WIDTH = 180;
constexpr long MAIN_WINDOW_HEIGHT = 42;

struct DpiSize {
    long width, height;
};

// `value` (at 96 DPI) at `dpi`, to the nearest pixel; a DPI the system did not give (0 or
// less) counts as 96.
long scale_to_dpi(long value, int dpi);

// The main window's size at `dpi`: around the client area a 180 x 42 window has at 96 DPI,
// scaled to `dpi`, the frame the window has at `dpi` (`frame`: window size less client size;
// `frame_96` the same at 96 DPI). At 96 DPI it is 180 x 42, whatever the frame.
DpiSize main_window_size(int dpi, DpiSize frame, DpiSize frame_96);

// Where the status line is drawn, in what font, and the part of the client area its refresh
// repaints.
struct StatusMetrics {
    long font_height, font_width;
    long x, y;
    long refresh_right, refresh_bottom;
};
StatusMetrics status_metrics(int dpi);
