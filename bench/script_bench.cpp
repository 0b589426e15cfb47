// Runs scripts of the language in the portable core and prints how long
// each run took: compiles each script with the shipped command list, then
// loads, prepares and executes the image in this process, timing only the
// execution (best of the given number of runs). The Windows build links the
// same core library that Zorvat.dll is made of and runs each image in the
// three steps zorvat.exe uses (attach, prepare, execute), so that its figures
// are the runtime's own, free of Wine's process start.
//   script_bench COMMANDS.txt RUNS SCRIPT.zvs...
// Prints one line per script: "NAME SECONDS STATUS".
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench_clock.h"
#include "compiler/compilation.h"
#include "compiler/image_writer.h"
#include "runtime/core/context.h"
#include "runtime/core/executor.h"
#include "runtime/core/image.h"

namespace {

std::u16string Wide(const char* s) {
  return std::u16string(s, s + std::char_traits<char>::length(s));
}

// One timed run of an image; -1 when the image does not load.
double RunOnce(const TGrowArray<uint8_t>& compiled, TStatus* status) {
  // Preparation changes the image, so every run works on a fresh copy.
  std::basic_string<uint8_t> image(compiled.Items, compiled.Count);
  TScriptContext context{};
  *status = InitContext(&context, image.data(), uint32_t(image.size()));
  if (*status == 0) *status = PrepareImage(&context);
  if (*status != 0) return -1;
  context.ActionAfterError = kErrorPolicyStop;
  const double start = BenchSeconds();
  *status = ExecuteByteCode(&context, "GCS");
  const double elapsed = BenchSeconds() - start;
  ReleaseContext(&context);
  return elapsed;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: script_bench COMMANDS.txt RUNS SCRIPT.zvs...\n");
    return 2;
  }
  if (InitializeCompilerTables(Wide(argv[1]).c_str()) != 0) {
    std::fprintf(stderr, "script_bench: cannot load %s\n", argv[1]);
    return 1;
  }
  const int runs = std::atoi(argv[2]);
  int failures = 0;
  for (int i = 3; i < argc; ++i) {
    TRawScript raw{};
    TGrowArray<uint8_t> image{};
    uint32_t code = CompileSourceFile(&raw, Wide(argv[i]).c_str());
    if (code != 0 || !BuildCompiledImage(&raw, &image)) {
      std::fprintf(stderr, "script_bench: %s does not compile (%u, line %u)\n", argv[i], code,
                   raw.ErrLine);
      AfterCompiling(&raw);
      ++failures;
      continue;
    }
    AfterCompiling(&raw);
    double best = 1e30;
    TStatus status = 0;
    for (int run = 0; run < runs; ++run) {
      double seconds = RunOnce(image, &status);
      if (seconds >= 0 && seconds < best) best = seconds;
    }
    GrowArrayFree(image);
    std::printf("%s %.4f %u\n", argv[i], best, status);
    if (status != 0) ++failures;
  }
  return failures == 0 ? 0 : 1;
}
