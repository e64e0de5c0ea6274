// Sizes at a display's scale; see dpi_scale.h.
#include "app/dpi_scale.h"

long scale_to_dpi(long value, int dpi)
{
    if (dpi <= 0)
        dpi = BASE_DPI;
    return (value * dpi + BASE_DPI / 2) / BASE_DPI;
}

DpiSize main_window_size(int dpi, DpiSize frame, DpiSize frame_96)
{
    if (dpi <= 0 || dpi == BASE_DPI)
        return {MAIN_WINDOW_WIDTH, MAIN_WINDOW_HEIGHT};
    long client_width = scale_to_dpi(MAIN_WINDOW_WIDTH - frame_96.width, dpi);
    long client_height = scale_to_dpi(MAIN_WINDOW_HEIGHT - frame_96.height, dpi);
    return {client_width + frame.width, client_height + frame.height};
}

StatusMetrics status_metrics(int dpi)
{
    return {scale_to_dpi(11, dpi), scale_to_dpi(5, dpi),  scale_to_dpi(55, dpi),
            scale_to_dpi(3, dpi),  scale_to_dpi(150, dpi), scale_to_dpi(40, dpi)};
}
