// The extended functions dialog SETTING2: title and time stamp, output, capture options, the
// fixed area and automatic output.
#pragma once

// Shows it modally over the main window.
void open_extended_settings_dialog();
