#pragma once

// The console: keys and numbers in, texts out, and the clearing of the
// screen. This is the one unit (with its platform files below it) that
// touches standard input and output, so that every text reaches the user
// in order and before the program waits. A failure to read or write ends
// the program with status 1 and one line on standard error.

#include <cstdint>
#include <string_view>

inline constexpr std::string_view star_row =
    "**************************************************************************";
inline constexpr std::string_view program_title = "TeKLO v.4.0 - Quadrato Magico - ";
inline constexpr std::string_view credit_text = "Laboratorio Sestine Libere, anno 2026";

// The title line's two asterisks must close the box drawn by the star rows.
static_assert(star_row.size() == 74);
static_assert(std::string_view("*  ").size() + program_title.size() + credit_text.size() +
                  std::string_view(" *").size() ==
              star_row.size());

// Clears the console; prints nothing where there is no screen to clear.
void clear_screen();

// The next byte of input (0 to 255), or EOF once input has ended.
int read_key();

// Reads one decimal number the way scanf's %d does, but saturating at the
// 32-bit limits instead of overflowing. Returns false, leaving `number` as it
// was, when no digit could be read; like %d, it has then taken the white
// space and the sign before the first thing that was not a digit.
bool read_number(std::int32_t& number);

void write_text(std::string_view text);
// Writes `text` and a line feed, as puts does.
void write_line(std::string_view text);
void write_number(std::int32_t number);
// Star row, title line, star row, each line preceded by `indent`.
void write_title_box(std::string_view indent);

// Hands everything written so far to standard output.
void flush_output();
