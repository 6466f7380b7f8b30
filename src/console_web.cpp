#include "console_platform.hpp"

#include <emscripten.h>

// In the browser the page owns the console (web/page.js): a log of plain
// rows and a line field, which hands each line over on Enter, as a
// console does. The program keeps its blocking loop: a read suspends it
// until the page has input for it.

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

namespace {

// The page takes any amount; the limit only keeps the count an int.
constexpr std::size_t max_chunk = std::size_t{1} << 30;

int chunk(std::size_t size) { return static_cast<int>(size < max_chunk ? size : max_chunk); }

}  // namespace

namespace platform {

std::ptrdiff_t read_input(char* buffer, std::size_t size) {
  return page_read(buffer, chunk(size));
}

bool write_output(std::string_view data) {
  while (!data.empty()) {
    const int n = chunk(data.size());
    page_write(data.data(), n);
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Writing to the page cannot fail, so no reason is ever asked for.
const char* error_reason() { return "errore della pagina"; }

void write_error(std::string_view message) { (void)write_output(message); }

bool output_is_console() { return true; }

// The page clears its log on the sequence that clears a terminal.
bool clear_console() { return write_output("\x1b[H\x1b[2J"); }

}  // namespace platform
