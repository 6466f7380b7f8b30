#pragma once

// What the console needs from the system it runs on: one file per
// platform (console_posix.cpp, console_windows.cpp, console_web.cpp). Only
// these files touch a descriptor or the page; the console above them keeps
// the buffers and the texts.

#include <cstddef>
#include <string_view>

namespace platform {

// The console's buffers are 64 KiB: no size below is larger.

// Reads up to `size` bytes of standard input into `buffer`, waiting until
// at least one byte has come. Returns how many came, 0 at the end of input,
// or -1 on a failure, whose reason error_reason() then gives.
std::ptrdiff_t read_input(char* buffer, std::size_t size);

// Writes all of `data` to standard output, waiting as long as it takes.
// Returns false on a failure, whose reason error_reason() then gives.
bool write_output(std::string_view data);

// The system's own words for the last failure of read_input or
// write_output.
const char* error_reason();

// Writes a message for people to standard error, as best it can.
void write_error(std::string_view message);

// Whether standard output is a console whose screen can be cleared.
bool output_is_console();

// Clears the console, once everything written before has reached it.
// Returns false when the console could not be written to.
bool clear_console();

}  // namespace platform
