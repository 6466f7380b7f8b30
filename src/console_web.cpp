#include "console_platform.hpp"

#include <emscripten.h>

// In the browser the page owns the console (web/page/): a log of plain
// rows, which it clears when asked, and a line field, which hands each
// line over on Enter, as a console does. The program keeps its blocking
// loop: a read that must wait suspends it.

// Takes input the page already holds, without suspending the program;
// returns how many bytes it put into `buffer`, 0 at the end of input, or
// -1 if the program must wait: for input, or, every 30 ms of a long
// paste, for the page to draw and take keys.
EM_JS(int, page_read_now, (char* buffer, int size), {
  const bytes = Module.readInputNow(size);
  if (bytes === null) return -1;
  HEAPU8.set(bytes, buffer);
  return bytes.length;
});

// Waits for input; returns how many bytes it put into `buffer`, 0 once the
// user has ended the input.
EM_ASYNC_JS(int, page_read, (char* buffer, int size), {
  const bytes = await Module.readInput(size);
  HEAPU8.set(bytes, buffer);
  return bytes.length;
});

EM_JS(void, page_write, (const char* data, int size), {
  Module.writeOutput(HEAPU8.slice(data, data + size));
});

EM_JS(void, page_clear, (), { Module.clearScreen(); });

namespace platform {

// A suspension costs far more than the line it brings in, so a read
// suspends only when it must wait.
std::ptrdiff_t read_input(char* buffer, std::size_t size) {
  const int now = page_read_now(buffer, static_cast<int>(size));
  return now >= 0 ? now : page_read(buffer, static_cast<int>(size));
}

bool write_output(std::string_view data) {
  page_write(data.data(), static_cast<int>(data.size()));
  return true;
}

// Writing to the page cannot fail, so no reason is ever asked for.
const char* error_reason() { return "errore della pagina"; }

void write_error(std::string_view message) { (void)write_output(message); }

bool output_is_console() { return true; }

bool clear_console() {
  page_clear();
  return true;
}

}  // namespace platform
