#include "console.hpp"

#include <charconv>
#include <cstddef>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <cstdlib>
#include <io.h>
#else
#include <cerrno>
#include <unistd.h>
#endif

// Input and output go through buffers of our own on the raw descriptors.
// stdio on a pipe would hold every prompt back until exit; flushing per key
// would make batch use crawl. Here pending output is written exactly when
// the input buffer runs dry, that is, just before the program may wait.
// On Windows the CRT's _read and _write keep the streams' text mode: CR LF
// arrives as LF and every LF leaves as CR LF.

namespace {

constexpr std::size_t buffer_size = std::size_t{1} << 16;

char input[buffer_size];
std::size_t input_pos = 0;
std::size_t input_len = 0;
bool input_ended = false;

char output[buffer_size];
std::size_t output_len = 0;

long read_some(char* buffer, std::size_t size) {
#ifdef _WIN32
  return _read(0, buffer, static_cast<unsigned>(size));
#else
  for (;;) {
    const ssize_t n = ::read(STDIN_FILENO, buffer, size);
    if (n >= 0 || errno != EINTR) return static_cast<long>(n);
  }
#endif
}

long write_some(const char* data, std::size_t size) {
#ifdef _WIN32
  return _write(1, data, static_cast<unsigned>(size));
#else
  for (;;) {
    const ssize_t n = ::write(STDOUT_FILENO, data, size);
    if (n >= 0 || errno != EINTR) return static_cast<long>(n);
  }
#endif
}

void write_all(const char* data, std::size_t size) {
  while (size > 0) {
    const long n = write_some(data, size);
    if (n <= 0) return;  // A failing output changes nothing in the program's course.
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

// Like the C library's end-of-file indicator, the end of input is sticky:
// after Ctrl+D on a terminal the program must not wait for more.
bool fill_input() {
  if (input_ended) return false;
  flush_output();
  const long n = read_some(input, buffer_size);
  if (n <= 0) {
    input_ended = true;  // A read error counts as the end of input.
    return false;
  }
  input_pos = 0;
  input_len = static_cast<std::size_t>(n);
  return true;
}

int peek_key() {
  if (input_pos == input_len && !fill_input()) return EOF;
  return static_cast<unsigned char>(input[input_pos]);
}

bool is_space(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool is_digit(int c) { return c >= '0' && c <= '9'; }

}  // namespace

void clear_screen() {
#ifdef _WIN32
  flush_output();  // What was written before must not land after the clearing.
  (void)std::system("cls");
#else
  // No shell and no external program: a terminal gets the clear sequence in
  // the same stream as the texts, and a pipe or file keeps only the texts.
  static const bool terminal = isatty(STDOUT_FILENO) == 1;
  if (terminal) write_text("\x1b[H\x1b[2J");
#endif
}

int read_key() {
  const int c = peek_key();
  if (c != EOF) ++input_pos;
  return c;
}

bool read_number(std::int32_t& number) {
  int c = peek_key();
  while (is_space(c)) {
    ++input_pos;
    c = peek_key();
  }
  const bool negative = c == '-';
  if (c == '-' || c == '+') {
    ++input_pos;
    c = peek_key();
  }
  if (!is_digit(c)) return false;

  // The magnitude stops growing just past the 32-bit range, so any run of
  // digits is taken whole in constant memory and saturates.
  constexpr std::uint64_t limit = std::uint64_t{1} << 31;
  std::uint64_t magnitude = 0;
  do {
    if (magnitude < limit) magnitude = magnitude * 10 + static_cast<std::uint64_t>(c - '0');
    ++input_pos;
    c = peek_key();
  } while (is_digit(c));

  if (negative)
    number = magnitude >= limit ? INT32_MIN : -static_cast<std::int32_t>(magnitude);
  else
    number = magnitude >= limit ? INT32_MAX : static_cast<std::int32_t>(magnitude);
  return true;
}

void write_text(std::string_view text) {
  if (text.size() > buffer_size - output_len) {
    flush_output();
    if (text.size() > buffer_size) {
      write_all(text.data(), text.size());
      return;
    }
  }
  std::memcpy(output + output_len, text.data(), text.size());
  output_len += text.size();
}

void write_line(std::string_view text) {
  write_text(text);
  write_text("\n");
}

void write_number(std::int32_t number) {
  char digits[12];
  const auto result = std::to_chars(digits, digits + sizeof digits, number);
  write_text(std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)));
}

void write_title_box(std::string_view indent) {
  write_text(indent);
  write_line(star_row);
  write_text(indent);
  write_text("*  ");
  write_text(program_title);
  write_text(credit_text);
  write_line(" *");
  write_text(indent);
  write_line(star_row);
}

void flush_output() {
  write_all(output, output_len);
  output_len = 0;
}
