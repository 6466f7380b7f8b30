#include "console_platform.hpp"

#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

// The CRT's _read and _write keep the streams' text mode: CR LF arrives as
// LF and every LF leaves as CR LF, as in any Windows console program.

namespace {

constexpr std::size_t max_chunk = 1u << 30;

bool write_all(int fd, std::string_view data) {
  while (!data.empty()) {
    const int n = _write(fd, data.data(), static_cast<unsigned>(std::min(data.size(), max_chunk)));
    if (n <= 0) {
      if (n == 0) errno = EIO;  // Nothing taken: waiting again would never end.
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

namespace platform {

std::ptrdiff_t read_input(char* buffer, std::size_t size) {
  return _read(0, buffer, static_cast<unsigned>(std::min(size, max_chunk)));
}

bool write_output(std::string_view data) { return write_all(1, data); }

const char* error_reason() { return std::strerror(errno); }

void write_error(std::string_view message) { (void)write_all(2, message); }

// _isatty is also true for NUL and other character devices; only a real
// console has a console mode.
bool output_is_console() {
  DWORD mode = 0;
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(1));
  return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

// Does what the console's "cls" does, the whole buffer blanked in the
// current colours and the cursor home, without starting an interpreter
// for it. A console that refuses changes nothing: the texts still follow.
bool clear_console() {
  const auto console = reinterpret_cast<HANDLE>(_get_osfhandle(1));
  CONSOLE_SCREEN_BUFFER_INFO screen;
  if (GetConsoleScreenBufferInfo(console, &screen) == 0) return true;
  const DWORD cells = static_cast<DWORD>(screen.dwSize.X) * static_cast<DWORD>(screen.dwSize.Y);
  const COORD home{0, 0};
  DWORD done = 0;
  (void)FillConsoleOutputCharacterA(console, ' ', cells, home, &done);
  (void)FillConsoleOutputAttribute(console, screen.wAttributes, cells, home, &done);
  (void)SetConsoleCursorPosition(console, home);
  return true;
}

}  // namespace platform
