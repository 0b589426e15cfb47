// Every heap request a script makes is made to fail in turn: the script is
// compiled once and run again with its first, second, third... request
// refused, until a run makes no request that fails. Each time the command that
// met the failure must report 1002 and leave every variable as it was, the
// script's error policy decides what happens next, and nothing the run
// allocated may outlive it. AddressSanitizer and LeakSanitizer watch the
// whole program. Scripts that need Windows stop natively at their first
// Windows-only command (1098); what they do before it is covered here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "base/bytes.h"
#include "base/heap.h"
#include "base/status.h"
#include "compiler/compilation.h"
#include "compiler/image_writer.h"
#include "runtime/core/variables.h"
#include "tests/support/box_recorder.h"
#include "tests/support/loaded_image.h"
#include "tests/support/script_state.h"

namespace {

namespace fs = std::filesystem;

// A run that has taken this many more steps than the undisturbed one is a
// script that loops on an error it ignores: it is stopped, not judged.
constexpr uint64_t kExtraSteps = 100000;

struct TRunResult {
  bool hit = false;
  uint64_t steps = 0;
};

// Runs "GCS" step by step as the executor does, refusing heap request
// `failAt` (0: none), and judges the step that met the refusal.
TRunResult RunOnce(const Bytes& image, uint64_t failAt, uint64_t stepLimit,
                   const std::string& name) {
  TRunResult result;
  const int64_t liveBefore = HeapLiveBlocks();
  {
    LoadedImage loaded(image);
    TScriptContext& c = loaded.context;
    if (loaded.prepared != kStatusOk) return result;
    const TSection* section = FindImageSection(&c, "GCS");
    if (section == nullptr || (section->SectionFlag & 1) == 0 || section->SectionLength == 0) {
      return result;
    }
    HeapFailRequest(failAt);
    c.IP = c.CodeStart = SectionOffset(&c, section);
    c.CodeEnd = c.CodeStart + section->SectionLength;
    if (PushFrame(&c) != kStatusOk) {
      EXPECT_TRUE(HeapFailureHit()) << name;
      result.hit = true;
    }
    while (!c.ExitFlag && !result.hit && result.steps < stepLimit) {
      const std::string before = DescribeVariables(c);
      const uint32_t at = c.IP;
      ExecuteStep(&c);
      ++result.steps;
      if (!HeapFailureHit()) continue;
      result.hit = true;
      EXPECT_EQ(c.ScriptErrorCode, int32_t(kStatusOutOfMemory))
          << name << ": request " << failAt << " refused in the command at " << std::hex << at;
      EXPECT_EQ(DescribeVariables(c), before)
          << name << ": request " << failAt << " refused in the command at " << std::hex << at;
    }
    while (!c.ExitFlag && result.steps < stepLimit) {
      ExecuteStep(&c);
      ++result.steps;
    }
    HeapFailRequest(0);
  }
  EXPECT_EQ(HeapLiveBlocks(), liveBefore)
      << name << ": blocks left after a run refusing request " << failAt;
  return result;
}

class HeapFailures : public ::testing::TestWithParam<fs::path> {
 protected:
  static void SetUpTestSuite() {
    // Scripts that ask for more than any heap has get their refusal without
    // this machine handing out gigabytes first.
    HeapLimitRequests(uint64_t(256) << 20);
    ASSERT_EQ(InitializeCompilerTables(u"" ZORVAT_COMMAND_LIST_DIR "/Commands.txt"), 0);
  }
  static void TearDownTestSuite() { HeapLimitRequests(~uint64_t(0)); }
};

TEST_P(HeapFailures, EveryRequestOfTheScriptFailsCleanly) {
  const fs::path& path = GetParam();
  const std::string name = path.filename().string();
  BoxRecorder boxes(1);  // a box shown on error is answered, not printed
  const Bytes image = CompileScriptFile(path);
  ASSERT_FALSE(image.empty()) << name << " does not compile";
  const uint64_t unbounded = ~uint64_t(0);
  // The undisturbed run also settles what the runtime builds once per process.
  const uint64_t steps = RunOnce(image, 0, unbounded, name).steps;
  for (uint64_t n = 1;; ++n) {
    if (!RunOnce(image, n, steps + kExtraSteps, name).hit) break;
    if (HasFailure()) break;  // one fault is reported once, not for every later request
  }
}

INSTANTIATE_TEST_SUITE_P(Scripts, HeapFailures,
                         ::testing::ValuesIn(ScriptTestFiles(ZORVAT_SCRIPTS_DIR)),
                         [](const ::testing::TestParamInfo<fs::path>& info) {
                           return ScriptTestName(info.param);
                         });

}  // namespace
