// The one heap of the runtime's values, frames and stacks. A request that the
// heap cannot satisfy yields null and leaves any block it was to resize as it
// was, so that the caller can report 1002 and keep every value intact; only
// the callers that have no status to return end the process instead
// (FatalOutOfMemory).
//
// The native build can make one chosen request fail, so that tests walk the
// failure path of every allocation a script or a test makes.
#pragma once

#include <cstddef>
#include <cstdint>

// The largest block a value, frame or stack may occupy. Fuzz builds refuse
// anything above 64 MiB: a legitimate request for a gigabyte would spend the
// fuzzer's time limit zeroing memory, and refusing it walks the same 1002 path
// as a real shortage.
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
constexpr uint64_t kMaxHeapBlockBytes = uint64_t(64) << 20;
#else
constexpr uint64_t kMaxHeapBlockBytes = 0x7FFFFFFF;
#endif

// A new block of `bytes` (uninitialised), or null.
void* MemAlloc(size_t bytes);

// Resizes `block` (null = a new block); null on failure, `block` untouched.
void* MemResize(void* block, size_t bytes);

// A resize for a caller that has no status to report a shortage with: the
// process ends (FatalOutOfMemory) when it fails. The test switch never
// refuses it, since such a failure is the end of the process by design.
void* MemResizeRequired(void* block, size_t bytes);

// Frees a block; null is allowed.
void MemRelease(void* block);

// Whether a request has failed since the last call (which clears the mark).
// A command may turn a failed allocation into a status of its own, such as
// an unusable parameter; the executor reports 1002 for it instead, so that
// every shortage reaches the script as the same error.
bool HeapTakeShortage();

#ifdef ZORVAT_HEAP_INJECTION
// Arms the switch: the `n`-th request from now fails (0 disarms it). A
// request is every MemAlloc and every MemResize.
void HeapFailRequest(uint64_t n);
// Refuses every request above `bytes`, as a heap of that size would.
void HeapLimitRequests(uint64_t bytes);
// Whether the armed failure has happened since the last HeapFailRequest.
bool HeapFailureHit();
// Requests made and blocks live since the process started.
uint64_t HeapRequestCount();
int64_t HeapLiveBlocks();
#endif
