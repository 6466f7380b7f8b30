// The console over a fake system that hands input over in the pieces a
// table gives and records every read, write and clearing: when output is
// written is the console's own business, and only here can it be seen.

#include "console.hpp"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "console_platform.hpp"

namespace {

std::vector<std::string> pieces;  // what each read still to come hands over
// "<" and what a read gave, ">" and what a write took, "#" for a clearing.
std::string events;

}  // namespace

namespace platform {

std::ptrdiff_t read_input(char* buffer, std::size_t size) {
  if (pieces.empty()) {
    ADD_FAILURE() << "read past the input given";
    return 0;
  }
  const std::string piece = pieces.front().substr(0, size);
  pieces.front().erase(0, piece.size());
  if (pieces.front().empty()) pieces.erase(pieces.begin());
  std::memcpy(buffer, piece.data(), piece.size());
  events += '<' + piece;
  return static_cast<std::ptrdiff_t>(piece.size());
}

bool write_output(std::string_view data) {
  if (!data.empty()) events += '>' + std::string(data);
  return true;
}

const char* error_reason() { return "guasto"; }
void write_error(std::string_view message) { ADD_FAILURE() << message; }
bool output_is_console() { return true; }

bool clear_console() {
  events += '#';
  return true;
}

}  // namespace platform

namespace {

// Keys as a program of the console's own: n reads a number and writes it,
// c clears the screen, q ends as the menu's Q does, any other key is
// written back. Each case ends its input with its q, so that the next
// starts from a console with nothing left over.
void run_keys() {
  for (int c; (c = read_key()) != 'q' && c != EOF;) {
    std::int32_t number = 0;
    if (c == 'c')
      clear_screen();
    else if (c != 'n')
      write_text(std::string(1, static_cast<char>(c)));
    else if (read_number(number))
      write_number(number);
  }
  flush_output();
}

TEST(Console, WritesJustBeforeItMayWait) {
  struct case_ {
    std::vector<std::string> pieces;
    const char* events;
  } const cases[] = {
      // Keys already waiting get one write between them, not one each.
      {{"s s\nh\nq"}, "<s s\nh\nq>s s\nh\n"},
      // Each answer is out before the next read, which may wait.
      {{"s\n", "ab", "q"}, "<s\n>s\n<ab>ab<q"},
      // A number goes on in the next read.
      {{"n12", "34 q"}, "<n12<34 q>1234 "},
      // What was written before a clearing is not held back until after it.
      {{"xcyq"}, "<xcyq>x#>y"},
  };
  for (const case_& t : cases) {
    SCOPED_TRACE(t.events);
    pieces = t.pieces;
    events.clear();
    run_keys();
    EXPECT_EQ(events, t.events);
  }
}

}  // namespace
