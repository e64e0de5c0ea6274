// The basic settings dialog SETTING: page fitting, punch margins and colour adjustment.
#pragma once

// Shows it modally over the main window.
void open_basic_settings_dialog();
