#!/usr/bin/env python3
"""Writes a KAVREL.INI for a first look at the program: shown as a window, copies saved as
numbered BMP files, printing on the system's default printer.

usage: demo_settings.py KAVREL.INI 'Z:\\path\\to\\COPY.BMP'
"""
import struct
import sys


def main():
    path, bmp_name = sys.argv[1], sys.argv[2]
    data = bytearray(5968)

    def put(offset, value):
        data[offset:offset + 4] = struct.pack('<i', value)

    put(5448, 2)      # processing_speed: slow, the default
    put(5456, 40)     # window_left
    put(5460, 40)     # window_top
    put(5580, 1)      # window_show_cmd: shown normally
    put(5584, 1)      # output_device: file
    name = bmp_name.encode('cp932')
    data[5588:5588 + len(name)] = name
    put(5844, name.rindex(b'.') + 1)  # output_file_ext_offset: just after the dot
    put(5848, 1)      # file_name_mode: add a number when the file exists
    put(5932, 2)      # printer_choice: the system default printer
    for offset, value in ((5936, 0), (5940, 44), (5944, 1), (5948, 44), (5952, 1), (5956, 80)):
        put(offset, value)  # hot keys: Print Screen, Alt+Print Screen, Alt+P
    with open(path, 'wb') as f:
        f.write(data)


if __name__ == '__main__':
    main()
