#include "runtime/commands/random_generator.h"

#include <mutex>
#include <random>

#include "base/platform.h"

namespace {

// Several contexts may run on several threads; they share one generator.
std::mutex generatorLock;
std::mt19937 generator;
bool seeded = false;

void SeedLocked(uint32_t seed) {
  generator.seed(seed);
  seeded = true;
}

}  // namespace

void SeedRandomGenerator(uint32_t seed) {
  std::lock_guard<std::mutex> hold(generatorLock);
  SeedLocked(seed);
}

double NextRandomUnit() {
  std::lock_guard<std::mutex> hold(generatorLock);
  if (!seeded) {
    uint64_t now = PlatformSystemTimeNow();
    SeedLocked(static_cast<uint32_t>(now ^ (now >> 32)) ^ PlatformTickCount());
  }
  // 27 + 26 bits make a 53-bit fraction, the full precision of a double.
  uint32_t high = generator() >> 5;
  uint32_t low = generator() >> 6;
  return (high * 67108864.0 + low) * (1.0 / 9007199254740992.0);
}
