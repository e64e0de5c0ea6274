// What the shipped programs take in place of the compiler's prebuilt runtime, which is built
// for the Pentium Pro and later: their start-up goes through here before their own code runs.
#pragma once

// Resets the floating-point unit to 64-bit precision, as the prebuilt start-up did, and runs
// the static constructors.
void start_runtime();
