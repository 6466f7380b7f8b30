#include "console.hpp"

#include <charconv>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "console_platform.hpp"

// Input and output go through buffers of our own. stdio on a pipe would
// hold a prompt back until its buffer filled, so a script waiting for the
// prompt would wait for ever; flushing per key would make batch use crawl.
// Here pending output is written exactly when the input buffer runs dry,
// that is, just before the program may wait.

namespace {

constexpr std::size_t buffer_size = std::size_t{1} << 16;

char input[buffer_size];
std::size_t input_pos = 0;
std::size_t input_len = 0;
bool input_ended = false;

char output[buffer_size];
std::size_t output_len = 0;

// A failure that would lose output or input ends the program: a script
// must never take a cut-short run for a whole one.
[[noreturn]] void fail(std::string_view what) {
  const char* reason = platform::error_reason();
  std::string message = "teklo: ";
  message += what;
  message += ": ";
  message += reason;
  message += '\n';
  platform::write_error(message);
  std::exit(1);
}

void check_written(bool written) {
  if (!written) fail("impossibile scrivere l'output");
}

// Like the C library's end-of-file indicator, the end of input is sticky:
// after Ctrl+D on a terminal the program must not wait for more.
bool fill_input() {
  if (input_ended) return false;
  flush_output();
  const std::ptrdiff_t n = platform::read_input(input, buffer_size);
  if (n < 0) fail("impossibile leggere l'input");
  if (n == 0) {
    input_ended = true;
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
  // Only a console has a screen; a pipe or a file keeps only the texts.
  static const bool console = platform::output_is_console();
  if (!console) return;
  flush_output();  // What was written before must not land after the clearing.
  check_written(platform::clear_console());
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
  while (text.size() > buffer_size - output_len) {
    const std::size_t room = buffer_size - output_len;
    std::memcpy(output + output_len, text.data(), room);
    output_len = buffer_size;
    text.remove_prefix(room);
    flush_output();
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
  const std::size_t pending = output_len;
  output_len = 0;
  check_written(platform::write_output(std::string_view(output, pending)));
}
