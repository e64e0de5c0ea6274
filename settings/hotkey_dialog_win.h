// The key setup dialog SETHOTKEY: the three global hot keys, tried before they are stored.
#pragma once

// Shows it modally over the main window. The hot keys are removed while it is open.
void open_hotkey_dialog();
