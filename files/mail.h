// The command line that hands an output on to the mail sender SendKDUX.EXE.
#pragma once

#include <cstddef>

// Big enough for a program folder and an output file name of any length the program keeps.
constexpr size_t MAIL_MODULE_BUF = 300;
constexpr size_t MAIL_COMMAND_BUF = 600;

// The mail sender's path "<program_dir>\SendKDUX.EXE" and its command line
// "<program_dir>\SendKDUX.EXE <base>.LZH", where the base is the output file name without
// its file name's own extension (all of it when it has none); each of the two is quoted when
// it holds a blank. False, with both emptied, when either does not fit.
bool form_mail_command(char* module, size_t module_size, char* command, size_t command_size,
                       const char* program_dir, const char* output_file_name);
