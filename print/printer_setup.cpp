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

bool devnames_device_name(const unsigned char* devnames, size_t available, char* out,
                          size_t size)
{
    if (size == 0)
        return false;
    out[0] = '\0';
    if (available < 8)
        return false;
    size_t at = get_u16(devnames, 2);
    if (at >= available)
        return false;
    size_t length = strnlen(reinterpret_cast<const char*>(devnames) + at, available - at);
    if (length == 0 || at + length >= available || length >= size)
        return false;
    memcpy(out, devnames + at, length + 1);
    return true;
}

bool printer_name_continues(const char* stored, const char* full)
{
    size_t length = strlen(stored);
    if (strncmp(stored, full, length) != 0)
        return false;
    return full[length] == '\0' || length >= STORED_NAME_MAY_BE_CUT;
}

PrinterMatch match_stored_printer(const char* stored, const char* const* installed, size_t count,
                                  size_t* found)
{
    // A printer of exactly the stored name is the one it always named, even where a longer
    // name begins with it too.
    for (size_t i = 0; i < count; i++) {
        if (stored[0] != '\0' && strcmp(stored, installed[i]) == 0) {
            *found = i;
            return PrinterMatch::ONE;
        }
    }
    size_t matches = 0;
    for (size_t i = 0; i < count; i++) {
        if (printer_name_continues(stored, installed[i])) {
            if (matches++ == 0)
                *found = i;
        }
    }
    if (stored[0] == '\0' || matches == 0)
        return PrinterMatch::NONE;
    return matches == 1 ? PrinterMatch::ONE : PrinterMatch::SEVERAL;
}

void store_driver_name(SettingsRecord& record, const char* driver_path)
{
    size_t n = strcspn(driver_path, ".");
    if (n > sizeof record.printer_driver_name - 1)
        n = sizeof record.printer_driver_name - 1;
    memset(record.printer_driver_name, 0, sizeof record.printer_driver_name);
    memcpy(record.printer_driver_name, driver_path, n);
}
