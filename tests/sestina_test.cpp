#include "sestina.hpp"

#include <climits>

#include <gtest/gtest.h>

namespace {

struct derivation_case {
  std::int32_t a, b, c, d;
  sestina totals, recalc;
  std::array<std::int32_t, 8> ends;  // fifth and sixth numbers of the four playable rows
};

constexpr std::int32_t min = INT32_MIN;
constexpr std::int32_t max = INT32_MAX;

constexpr derivation_case cases[] = {
    {56, 63, 76, 84, {119, 160, 132, 147, 139, 140}, {63, 76, 76, 84, 63, 56},
     {13, 16, 71, 48, 35, 43, 71, 28}},
    {0, 0, 0, 0, {0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}, {15, 3, 0, 0, 0, 0, 0, 0}},
    {1, 2, 3, 4, {3, 7, 4, 6, 5, 5}, {2, 3, 3, 4, 2, 1}, {12, 4, 3, 0, 1, 0, 3, 2}},
    {-5, 7, -9, 11, {2, 2, 14, 18, 2, 6}, {7, 9, 19, 11, 11, 5}, {1, 13, 5, 25, 9, 21, 5, 21}},
    // Sums leave the 32-bit range and wrap; |min| is min itself.
    {max, 1, 0, 0, {min, 0, max, 1, 1, max}, {1, 0, 0, 0, 1, max},
     {max - 13, 2, 1, max, max - 1, max - 1, 1, 0}},
    {min, 0, 0, 0, {min, 0, min, 0, 0, min}, {0, 0, 0, 0, 0, min},
     {max - 14, 3, 0, min, min, min, 0, 0}},
    {max, max, max, max, {2, 2, 2, 2, 2, 2}, {max - 2, max - 2, max - 2, max - 2, max - 2, max - 2},
     {15, 3, max, max, max, max, max, max}},
};

TEST(DeriveSestinas, Table) {
  for (const derivation_case& t : cases) {
    SCOPED_TRACE(testing::Message() << t.a << ' ' << t.b << ' ' << t.c << ' ' << t.d);
    const sestina_report r = derive_sestinas(t.a, t.b, t.c, t.d);
    EXPECT_EQ(r.totals, t.totals);
    EXPECT_EQ(r.recalc, t.recalc);
    for (std::size_t k = 0; k < 4; ++k)
      EXPECT_EQ(r.playable[k], (sestina{t.a, t.b, t.c, t.d, t.ends[2 * k], t.ends[2 * k + 1]}));
  }
}

// Usable at compile time: the derivation is pure.
static_assert(derive_sestinas(56, 63, 76, 84).totals[0] == 119);

}  // namespace
