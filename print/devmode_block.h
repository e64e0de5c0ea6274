// The full device mode rebuilt from the stored printer setup, as the print dialogs and the
// printer device context take it.
#pragma once

#include <cstddef>

#include "print/printer_setup.h"
#include "settings/settings.h"

// Room for the public part, every driver byte block B can hold, and one more.
constexpr size_t DEVMODE_BLOCK_SIZE = DEVMODE_PUBLIC_SIZE + DRIVER_EXTRA_MAX + 1;

// Fills `block` (DEVMODE_BLOCK_SIZE bytes) with block A followed by the driver bytes of block B.
// The header in the block never claims more than the block holds: a size above 156 says 156,
// and driver bytes that were not kept (more than 5000) are declared as none.
void fill_devmode_block(const SettingsRecord& record, unsigned char* block);
