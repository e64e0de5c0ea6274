// Splitting the system's printer description into the settings record's fixed blocks.
#include "print/printer_setup.h"

#include <cstring>

#include "base/byte_order.h"

uint16_t stored_dm_size(const SettingsRecord& record)
{
    return get_u16(record.printer_devmode, DEVMODE_SIZE_AT);
}

uint16_t stored_dm_driver_extra(const SettingsRecord& record)
{
    return get_u16(record.printer_devmode, DEVMODE_DRIVER_EXTRA_AT);
}

void set_stored_dm_size(SettingsRecord& record, uint16_t size)
{
    put_u16(record.printer_devmode, DEVMODE_SIZE_AT, size);
}

void set_stored_dm_orientation(SettingsRecord& record, int16_t orientation)
{
    put_u16(record.printer_devmode, DEVMODE_ORIENTATION_AT, static_cast<uint16_t>(orientation));
}

void store_returned_devmode(SettingsRecord& record, const unsigned char* devmode, size_t available)
{
    memset(record.printer_devmode, 0, sizeof record.printer_devmode);
    memcpy(record.printer_devmode, devmode,
           available < DEVMODE_PUBLIC_SIZE ? available : DEVMODE_PUBLIC_SIZE);
    memset(record.printer_driver_extra, 0, sizeof record.printer_driver_extra);
    size_t extra = stored_dm_driver_extra(record);
    if (extra > DRIVER_EXTRA_MAX)
        return;
    size_t present = available > DEVMODE_PUBLIC_SIZE ? available - DEVMODE_PUBLIC_SIZE : 0;
    memcpy(record.printer_driver_extra, devmode + DEVMODE_PUBLIC_SIZE,
           extra < present ? extra : present);
}

void store_returned_devnames(SettingsRecord& record, const unsigned char* devnames,
                             size_t available)
{
    memset(record.printer_devnames, 0, sizeof record.printer_devnames);
    memcpy(record.printer_devnames, devnames,
           available < sizeof record.printer_devnames ? available : sizeof record.printer_devnames);
}

void store_driver_name(SettingsRecord& record, const char* driver_path)
{
    size_t n = strcspn(driver_path, ".");
    if (n > sizeof record.printer_driver_name - 1)
        n = sizeof record.printer_driver_name - 1;
    memset(record.printer_driver_name, 0, sizeof record.printer_driver_name);
    memcpy(record.printer_driver_name, driver_path, n);
}
