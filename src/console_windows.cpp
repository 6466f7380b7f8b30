#include "console_platform.hpp"

#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

// The CRT's _read and _write keep the streams' text mode: CR LF arrives as
// LF and every LF leaves as CR LF, as in any Windows console program.

namespace {

// The reason for the last failure: the C library's (errno) after a read
// or write, Windows' own after a console call.
DWORD console_error = 0;

bool console_failed() {
  console_error = GetLastError();
  return false;
}

bool write_all(int fd, std::string_view data) {
  console_error = 0;
  while (!data.empty()) {
    const int n = _write(fd, data.data(), static_cast<unsigned>(data.size()));
    if (n <= 0) {
      if (n == 0) errno = EIO;  // Nothing taken: waiting again would never end.
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

HANDLE output_handle() { return reinterpret_cast<HANDLE>(_get_osfhandle(1)); }

// Blanks every cell of the buffer in the current colours.
bool blank_buffer(HANDLE console, const CONSOLE_SCREEN_BUFFER_INFO& screen) {
  const DWORD cells = static_cast<DWORD>(screen.dwSize.X) * static_cast<DWORD>(screen.dwSize.Y);
  DWORD done = 0;
  return FillConsoleOutputCharacterA(console, ' ', cells, COORD{0, 0}, &done) != 0 &&
         FillConsoleOutputAttribute(console, screen.wAttributes, cells, COORD{0, 0}, &done) != 0;
}

// Does what the console's "cls" does, without starting an interpreter for
// it: the whole buffer scrolled up out of sight, blanks in the current
// colours left behind, and the cursor home. Wine's console refuses a scroll
// out of the buffer; there the cells are blanked.
bool clear_cells(HANDLE console, const CONSOLE_SCREEN_BUFFER_INFO& screen) {
  const SMALL_RECT whole{0, 0, static_cast<SHORT>(screen.dwSize.X - 1),
                         static_cast<SHORT>(screen.dwSize.Y - 1)};
  const COORD above{0, static_cast<SHORT>(-screen.dwSize.Y)};
  CHAR_INFO blank{};
  blank.Char.AsciiChar = ' ';
  blank.Attributes = screen.wAttributes;
  if (ScrollConsoleScreenBufferA(console, &whole, nullptr, above, &blank) == 0 &&
      !blank_buffer(console, screen))
    return console_failed();
  if (SetConsoleCursorPosition(console, COORD{0, 0}) == 0) return console_failed();
  return true;
}

// A console drawn by a terminal keeps the terminal's scrollback through
// the scroll above: Windows Terminal empties it for cmd.exe's cls alone, a
// shim keyed to the process's name. So the terminal's own sequence for it
// is written, with sequences understood for that write only. A console that
// refuses them (Windows before 10) stays as it was; one that takes the mode
// but puts the sequence in its cells as text (Wine) has moved the cursor,
// and is cleared again.
bool erase_scrollback(HANDLE console, const CONSOLE_SCREEN_BUFFER_INFO& screen) {
  DWORD mode = 0;
  if (GetConsoleMode(console, &mode) == 0) return console_failed();
  if (SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) == 0) return true;
  static constexpr char erase[] = "\x1b[3J";
  DWORD written = 0;
  const bool wrote = WriteConsoleA(console, erase, sizeof erase - 1, &written, nullptr) != 0 ||
                     console_failed();
  if (SetConsoleMode(console, mode) == 0) return console_failed();
  if (!wrote) return false;
  CONSOLE_SCREEN_BUFFER_INFO after;
  if (GetConsoleScreenBufferInfo(console, &after) == 0) return console_failed();
  const COORD cursor = after.dwCursorPosition;
  return (cursor.X == 0 && cursor.Y == 0) || clear_cells(console, screen);
}

}  // namespace

namespace platform {

std::ptrdiff_t read_input(char* buffer, std::size_t size) {
  console_error = 0;
  return _read(0, buffer, static_cast<unsigned>(size));
}

bool write_output(std::string_view data) { return write_all(1, data); }

const char* error_reason() {
  if (console_error == 0) return std::strerror(errno);
  // In English, as the C library gives its reasons here and on every other
  // system, on one line and without a full stop. In the system's own
  // language the text would come in the ANSI code page, which a console
  // showing the OEM one garbles; where Windows has no English text, the
  // number stands instead.
  static char text[256];
  DWORD n = FormatMessageA(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
      nullptr, console_error, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), text, sizeof text, nullptr);
  while (n > 0 && std::strchr(". ", text[n - 1]) != nullptr) --n;
  if (n == 0) std::snprintf(text, sizeof text, "errore %lu della console", console_error);
  else text[n] = '\0';
  return text;
}

void write_error(std::string_view message) { (void)write_all(2, message); }

// _isatty is also true for NUL and other character devices; only a real
// console has a console mode.
bool output_is_console() {
  DWORD mode = 0;
  const HANDLE handle = output_handle();
  return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

bool clear_console() {
  const HANDLE console = output_handle();
  CONSOLE_SCREEN_BUFFER_INFO screen;
  if (GetConsoleScreenBufferInfo(console, &screen) == 0) return console_failed();
  return clear_cells(console, screen) && erase_scrollback(console, screen);
}

}  // namespace platform
