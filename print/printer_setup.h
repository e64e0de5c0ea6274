// The stored printer setup (blocks A, B, C and the driver name): how a device mode, DEVNAMES
// and driver path returned by the system are kept in the settings record.
#pragma once

#include <cstddef>
#include <cstdint>

#include "settings/settings.h"

constexpr size_t DEVMODE_PUBLIC_SIZE = 156;
constexpr size_t DRIVER_EXTRA_MAX = 5000;

// Offsets of the device-mode fields the program touches by name.
constexpr size_t DEVMODE_DEVICE_NAME_AT = 0;
constexpr size_t DEVMODE_SIZE_AT = 36;
constexpr size_t DEVMODE_DRIVER_EXTRA_AT = 38;
constexpr size_t DEVMODE_ORIENTATION_AT = 44;
constexpr int16_t ORIENTATION_LANDSCAPE = 2;

uint16_t stored_dm_size(const SettingsRecord& record);
uint16_t stored_dm_driver_extra(const SettingsRecord& record);
void set_stored_dm_size(SettingsRecord& record, uint16_t size);
void set_stored_dm_orientation(SettingsRecord& record, int16_t orientation);

// Keeps a device mode the system returned, split at byte 156 whatever its own size says. Only
// `available` bytes of `devmode` exist; nothing past them is read.
void store_returned_devmode(SettingsRecord& record, const unsigned char* devmode, size_t available);

// Keeps the four offsets at the head of a returned DEVNAMES block.
void store_returned_devnames(SettingsRecord& record, const unsigned char* devnames,
                             size_t available);

// Keeps a driver file path up to its first ".", at most 79 characters.
void store_driver_name(SettingsRecord& record, const char* driver_path);

// The device mode keeps at most 31 bytes of a printer's name (a cut two-byte character may
// leave 30): a stored name this long may be the start of a longer one.
constexpr size_t STORED_NAME_MAY_BE_CUT = 30;
// Room for a printer's whole name (a network printer's \\server\name included).
constexpr size_t PRINTER_NAME_SIZE = 256;

// The printer name of a DEVNAMES block (at its device offset), whole, into `out` of `size`
// bytes. False, with `out` empty, when the block holds none or it does not fit.
bool devnames_device_name(const unsigned char* devnames, size_t available, char* out,
                          size_t size);

// Whether `full` is the printer the stored (possibly cut) device name `stored` stands for.
bool printer_name_continues(const char* stored, const char* full);

enum class PrinterMatch { ONE, NONE, SEVERAL };
// Which of `count` installed printers' names `stored` stands for: a name shorter than
// STORED_NAME_MAY_BE_CUT is whole and stands for itself; a longer one for the printer of exactly
// that name, else the one printer whose name begins with it (`*found` its index), none when no
// printer's does, several when more do.
PrinterMatch match_stored_printer(const char* stored, const char* const* installed, size_t count,
                                  size_t* found);
