// Linked into the native unit-test programs: with ZORVAT_HEAP_FAIL_AT=N set,
// the N-th heap request of every test is refused, and the program ends by
// printing how many tests made that many requests. tools/heap_failures.sh
// raises N until no test reaches it. A test whose expectations then fail is
// fine; a crash, a sanitizer report or a leak is not.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "base/heap.h"

namespace {

class HeapFailureListener : public ::testing::EmptyTestEventListener {
 public:
  explicit HeapFailureListener(uint64_t failAt) : failAt_(failAt) {}

  void OnTestStart(const ::testing::TestInfo&) override { HeapFailRequest(failAt_); }
  void OnTestEnd(const ::testing::TestInfo&) override {
    if (HeapFailureHit()) ++reached_;
    HeapFailRequest(0);
  }
  void OnTestProgramEnd(const ::testing::UnitTest&) override {
    std::printf("heap request %llu refused in %d tests\n", static_cast<unsigned long long>(failAt_),
                reached_);
  }

 private:
  uint64_t failAt_;
  int reached_ = 0;
};

const bool gInstalled = [] {
  const char* failAt = std::getenv("ZORVAT_HEAP_FAIL_AT");
  if (failAt == nullptr) return false;
  ::testing::UnitTest::GetInstance()->listeners().Append(
      new HeapFailureListener(std::strtoull(failAt, nullptr, 10)));
  return true;
}();

}  // namespace
