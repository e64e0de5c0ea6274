// Printing the clipboard image as a one-page document on the stored printer.
#pragma once

// 0 printed; -1 the image (or the scratch bitmap) could not be made a DIB; -5 the printer cannot
// copy bit blocks (no message); -6 another step failed (its box shown).
int print_image();

// The same page, handed to the printer band by band: 0 printed; -1 the image could not be made a
// DIB; -5 the printer can neither copy bit blocks nor band; -6 another step failed.
int print_image_banded();
