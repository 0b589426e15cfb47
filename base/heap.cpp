#include "base/heap.h"

#include <atomic>
#include <cstdlib>

#include "base/fatal.h"

namespace {

// Process-wide rather than per thread: thread-local storage costs a call per
// access on the Windows toolchain, and two contexts that run short at the same
// moment at worst see each other's shortage, which is real either way.
std::atomic<bool> gShortage{false};

#ifdef ZORVAT_HEAP_INJECTION
std::atomic<uint64_t> gRequests{0};
std::atomic<uint64_t> gFailAt{0};
std::atomic<bool> gHit{false};
std::atomic<int64_t> gLive{0};
std::atomic<uint64_t> gLimit{~uint64_t(0)};

// Counts the request; true when it is the one armed to fail, or larger than
// the heap that tests pretend to have.
bool InjectFailure(size_t bytes) {
  uint64_t n = ++gRequests;
  if (bytes > gLimit.load()) return true;
  if (n != gFailAt.load()) return false;
  gHit = true;
  return true;
}

void CountNewBlock() {
  ++gLive;
}
void CountReleasedBlock() {
  --gLive;
}
#else
constexpr bool InjectFailure(size_t) {
  return false;
}
void CountNewBlock() {}
void CountReleasedBlock() {}
#endif

void* Shortage() {
  gShortage.store(true, std::memory_order_relaxed);
  return nullptr;
}

}  // namespace

void* MemAlloc(size_t bytes) {
  if (InjectFailure(bytes)) return Shortage();
  void* block = std::malloc(bytes == 0 ? 1 : bytes);
  if (block == nullptr) return Shortage();
  CountNewBlock();
  return block;
}

void* MemResize(void* block, size_t bytes) {
  if (InjectFailure(bytes)) return Shortage();
  void* resized = std::realloc(block, bytes == 0 ? 1 : bytes);
  if (resized == nullptr) return Shortage();
  if (block == nullptr) CountNewBlock();
  return resized;
}

void* MemResizeRequired(void* block, size_t bytes) {
  void* resized = std::realloc(block, bytes == 0 ? 1 : bytes);
  if (resized == nullptr) FatalOutOfMemory();
  if (block == nullptr) CountNewBlock();
  return resized;
}

void MemRelease(void* block) {
  if (block == nullptr) return;
  CountReleasedBlock();
  std::free(block);
}

bool HeapTakeShortage() {
  if (!gShortage.load(std::memory_order_relaxed)) return false;
  return gShortage.exchange(false, std::memory_order_relaxed);
}

#ifdef ZORVAT_HEAP_INJECTION
void HeapFailRequest(uint64_t n) {
  gHit = false;
  gFailAt = n == 0 ? 0 : gRequests.load() + n;
}

void HeapLimitRequests(uint64_t bytes) {
  gLimit = bytes;
}
bool HeapFailureHit() {
  return gHit.load();
}
uint64_t HeapRequestCount() {
  return gRequests.load();
}
int64_t HeapLiveBlocks() {
  return gLive.load();
}
#endif
