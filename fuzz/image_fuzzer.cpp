// Feeds arbitrary bytes to the image loader and the executor: validation,
// the section index and preparation must reject every malformed image with a
// status and never read outside it, and a prepared image then runs for a
// bounded number of steps without a fault. The checksum comparison is skipped
// in fuzz builds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/bytes.h"
#include "base/platform_posix.h"
#include "runtime/core/context.h"
#include "runtime/core/executor.h"
#include "runtime/core/image.h"
#include "runtime/core/variables.h"

namespace {

constexpr int kMaxSteps = 2000;
constexpr uint32_t kWait = 11;  // sleeps for as long as the input says

int32_t SilentBox(const char16_t*, const char16_t*, uint32_t) {
  return 1;
}

// Runs the first code section the way ExecuteByteCode does, one step at a
// time, so that a script that loops for ever still ends.
void RunBounded(TScriptContext& context) {
  for (uint32_t k = 0; k < context.SectionCount; ++k) {
    const TSection& section = context.SectionIndex[k];
    if ((section.SectionFlag & kCodeSectionFlag) == 0 || section.SectionLength == 0) continue;
    context.IP = SectionOffset(&context, &section);
    context.CodeStart = context.IP;
    context.CodeEnd = context.IP + section.SectionLength;
    PushFrame(&context);
    for (int step = 0; step < kMaxSteps && !context.ExitFlag; ++step) {
      if (LoadU32(context.ScriptStart + context.IP) == kWait) break;
      ExecuteStep(&context);
    }
    return;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 20) return 0;
  SetMessageBoxObserver(&SilentBox);
  // An exactly sized copy, so that ASan sees any read past the image.
  std::vector<uint8_t> image(data, data + size);
  uint8_t* bytes = image.empty() ? nullptr : image.data();
  ValidateImage(bytes, uint32_t(size));
  TScriptContext context{};
  InitContext(&context, bytes, uint32_t(size));
  if (PrepareImage(&context) == 0) RunBounded(context);
  ReleaseContext(&context);
  return 0;
}
