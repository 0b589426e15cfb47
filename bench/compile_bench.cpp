// Compiles generated scripts of 10,000, 100,000 and 1,000,000 lines from a
// file and prints lines per second for each, to show that compile time grows
// linearly with the script. The scripts mix many distinct and many repeated
// texts and blocks (long data stored once), labels referenced backwards,
// forwards and across sections, data directives and statements.
//   compile_bench [LINES...]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "compiler/command_list.h"
#include "compiler/compilation.h"
#include "compiler/compile_codes.h"
#include "compiler/image_writer.h"
#include "tests/support/image_builder.h"
#include "tests/support/test_harness.h"

namespace {

// One line of the generated script; `i` is the line number from 0.
std::string Line(uint32_t i, uint32_t lines) {
  const uint32_t sectionEvery = 5000;
  if (i % sectionEvery == 0 && i > 0) {
    return "SECTION CODE S" + std::to_string(i / sectionEvery);
  }
  switch (i % 10) {
    case 0:
      return "^L" + std::to_string(i);
    case 1:
      return "MessageShow \"repeated text " + std::to_string(i % 97) + "\" \"distinct text " +
             std::to_string(i) + "\" $ $ .";
    case 2:
      return "SetBlock @1 !" + std::to_string(1000000000u + i) + "!";
    case 3:  // back in the same section, or forward just after a section starts
      return "Goto ^L" + std::to_string((i - 3) % sectionEvery == 0 && i > 3 ? i + 7 : i - 3);
    case 4:
      return "SetInt @2 %" + std::to_string(i) + " ; comment";
    case 5:
      return "VarAdd @_3 " + std::to_string(i) + " 2.5 \"x" + std::to_string(i % 13) + "\" .";
    case 6:
      return "^.G" + std::to_string(i);
    case 7:  // forward within the section, and a section-global label anywhere
      return "Switch 1 ^L" +
             std::to_string(i + 3 < lines && (i + 3) % sectionEvery > 5 ? i + 3 : i - 7) + " ^.G" +
             std::to_string(i - 1) + " .";
    case 8:
      return "SetBlock @4 'bytes #41 " + std::to_string(i % 211) + "'";
    default:
      return "Exit 0";
  }
}

std::string Script(uint32_t lines) {
  std::string s;
  s.reserve(size_t(lines) * 40);
  for (uint32_t i = 0; i < lines; ++i) {
    s += Line(i, lines);
    s += '\n';
  }
  return s;
}

bool Measure(uint32_t lines, double* seconds, uint32_t* imageBytes) {
  const std::string path = TempPath("bench_" + std::to_string(lines) + ".zvs");
  const std::string text = Script(lines);
  if (!WriteFileBytes(path, Bytes(text.begin(), text.end()))) return false;
  TRawScript raw{};
  const auto start = std::chrono::steady_clock::now();
  uint32_t result = CompileSourceFile(&raw, ToU16(path).c_str());
  TGrowArray<uint8_t> image{};
  bool built = result == kCompileOk && BuildCompiledImage(&raw, &image);
  AfterCompiling(&raw);
  *seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  *imageBytes = image.Count;
  GrowArrayFree(image);
  std::remove(path.c_str());
  if (!built) std::fprintf(stderr, "compile_bench: %u lines failed with %u\n", lines, result);
  return built;
}

}  // namespace

int main(int argc, char** argv) {
  UseTestCommandList();
  std::vector<uint32_t> sizes = {10000, 100000, 1000000};
  if (argc > 1) sizes.clear();
  for (int i = 1; i < argc; ++i) sizes.push_back(uint32_t(std::strtoul(argv[i], nullptr, 10)));
  std::printf("%10s %10s %12s %12s %8s\n", "lines", "seconds", "lines/s", "image bytes", "ratio");
  std::fflush(stdout);
  double firstRate = 0;
  for (uint32_t lines : sizes) {
    double seconds = 0;
    uint32_t bytes = 0;
    if (!Measure(lines, &seconds, &bytes)) return 1;
    double rate = lines / seconds;
    if (firstRate == 0) firstRate = rate;
    std::printf("%10u %10.3f %12.0f %12u %8.2f\n", lines, seconds, rate, bytes, rate / firstRate);
  }
  FreeCommandList();
  return 0;
}
