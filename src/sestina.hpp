#pragma once

// The sestina calculation: the pure arithmetic that turns the four numbers
// of a magic square into six rows, and the console routine around it.

#include <array>
#include <cstdint>

using sestina = std::array<std::int32_t, 6>;

struct sestina_report {
  sestina totals;                  // "totale sestina"
  sestina recalc;                  // "sestina di ricalcolo"
  std::array<sestina, 4> playable; // "Prima" to "Quarta sestina giocabile"
};

// 32-bit two's-complement arithmetic that wraps instead of overflowing; the
// absolute value of the most negative number is that number itself. The
// sums are taken in unsigned arithmetic, where wrapping is defined, and
// converted back, which C++20 defines as modulo 2^32.
constexpr std::int32_t wrapping_add(std::int32_t x, std::int32_t y) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(x) + static_cast<std::uint32_t>(y));
}

constexpr std::int32_t wrapping_sub(std::int32_t x, std::int32_t y) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(x) - static_cast<std::uint32_t>(y));
}

constexpr std::int32_t wrapping_abs(std::int32_t x) { return x < 0 ? wrapping_sub(0, x) : x; }

constexpr sestina_report derive_sestinas(std::int32_t a, std::int32_t b, std::int32_t c,
                                         std::int32_t d) {
  const auto add = wrapping_add;
  const auto sub = wrapping_sub;
  const auto abs = wrapping_abs;

  const sestina totals = {abs(add(a, b)), abs(add(c, d)), abs(add(a, c)),
                          abs(add(b, d)), abs(add(b, c)), abs(add(a, d))};
  // Each pair total less one of its own two terms.
  const sestina recalc = {abs(sub(totals[0], a)), abs(sub(totals[1], d)),
                          abs(sub(totals[2], a)), abs(sub(totals[3], b)),
                          abs(sub(totals[4], c)), abs(sub(totals[5], d))};

  const std::int32_t s1 = add(add(a, b), c);
  const std::int32_t s2 = add(add(b, c), d);
  const std::int32_t s3 = add(add(a, b), d);
  const std::int32_t s4 = add(add(a, c), d);
  const std::int32_t d1 = sub(s2, s1);
  const std::int32_t d2 = sub(s4, s3);
  const std::int32_t q1 = abs(d1);
  const std::int32_t q2 = abs(d2);

  return {totals,
          recalc,
          {{{a, b, c, d, abs(sub(d1, 15)), abs(add(d2, 3))},
            {a, b, c, d, abs(sub(d, q2)), abs(sub(c, q1))},
            {a, b, c, d, abs(sub(b, q1)), abs(sub(a, q2))},
            {a, b, c, d, abs(sub(d, q2)), abs(sub(a, q1))}}}};
}

// Asks for the four numbers on the console, reads them and prints the six
// rows. Whatever follows the numbers stays in the input for the menu.
void run_sestina_calculation();
