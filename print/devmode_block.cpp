// Rebuilding a device mode from blocks A and B of the settings record.
#include "print/devmode_block.h"

#include <cstring>

#include "base/byte_order.h"

void fill_devmode_block(const SettingsRecord& record, unsigned char* block)
{
    memset(block, 0, DEVMODE_BLOCK_SIZE);
    memcpy(block, record.printer_devmode, DEVMODE_PUBLIC_SIZE);
    size_t extra = stored_dm_driver_extra(record);
    if (extra <= DRIVER_EXTRA_MAX) {
        memcpy(block + DEVMODE_PUBLIC_SIZE, record.printer_driver_extra, extra);
    } else {
        // The system would read dmSize + dmDriverExtra bytes: more than there are.
        put_u16(block, DEVMODE_DRIVER_EXTRA_AT, 0);
    }
    if (stored_dm_size(record) > DEVMODE_PUBLIC_SIZE)
        put_u16(block, DEVMODE_SIZE_AT, DEVMODE_PUBLIC_SIZE);
}
