// Checks the literal conversion against the C library of the native build,
// whose strtold rounds correctly to the same 80-bit format. (The Windows
// build is held to the same bytes by the fixed cases in literals_test.cpp.)
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "compiler/extended_float.h"

namespace {

std::string RandomDecimal(std::mt19937_64& rng) {
  std::string s;
  if (rng() % 2) s += '-';
  const int intDigits = int(rng() % 25);
  const int fracDigits = int(rng() % 25);
  for (int i = 0; i < intDigits; ++i) s += char('0' + rng() % 10);
  if (fracDigits > 0 || intDigits == 0) {
    s += '.';
    for (int i = 0; i < fracDigits || (intDigits == 0 && i == 0); ++i) s += char('0' + rng() % 10);
  }
  if (rng() % 2) {
    s += 'e';
    s += std::to_string(int(rng() % 9900) - 4950);
  }
  return s;
}

TEST(ExtendedFloat, AgreesWithTheCLibrary) {
  std::mt19937_64 rng(20240611);
  for (int n = 0; n < 4000; ++n) {
    std::string text = RandomDecimal(rng);
    std::u16string units(text.begin(), text.end());
    uint8_t ours[kExtendedBytes];
    bool parsed = ParseExtended({units.data(), uint32_t(units.size())}, ours);
    long double expected = std::strtold(text.c_str(), nullptr);
    if (std::isinf(expected)) {
      EXPECT_FALSE(parsed) << text;
      continue;
    }
    ASSERT_TRUE(parsed) << text;
    ASSERT_EQ(std::memcmp(ours, &expected, kExtendedBytes), 0) << text;
  }
}

}  // namespace
