// zorvat.exe: the console host. It drives the system the way any host does
// and reports on the console.
#include <windows.h>

#include <cstdio>
#include <string>

#include "host/image_info.h"
#include "host/runtime_library.h"
#include "runtime/core/image.h"
#include "runtime/core/status.h"

namespace {

const char kUsage[] =
    "usage: zorvat COMMAND [ARGS]\n"
    "\n"
    "commands:\n"
    "  run IMAGE [--section NAME] [--box]\n"
    "                run the image at the end of IMAGE through Zorvat.dll, from the code\n"
    "                section NAME (default GCS); the exit code is the script's status.\n"
    "                A failing command stops the script and is reported here (status and\n"
    "                offset of its command); with --box the runtime's own error box is shown\n"
    "                instead, as in a stand-alone program. Scripts can still choose their\n"
    "                own error policy with runtime setting 3.\n"
    "  info IMAGE    read the image at the end of IMAGE, check it and show its sections;\n"
    "                the exit code is the status a run would stop with before executing\n"
    "                (0 ok, 1 no image, 2 malformed, 3 checksum mismatch,\n"
    "                21 bad command code, 22 bad parameter kind)\n"
    "  help          this text\n";

int Usage(FILE* out, int code) {
  std::fputs(kUsage, out);
  return code;
}

int RunInfo(int argc, wchar_t** argv) {
  if (argc != 3) return Usage(stderr, 2);
  std::string report;
  TStatus status = DescribeImageFile(reinterpret_cast<const char16_t*>(argv[2]), report);
  std::fputs(report.c_str(), stdout);
  std::printf("status: %u\n", status);
  return int(status);
}

std::string Narrow(const std::wstring& s) { return std::string(s.begin(), s.end()); }

// Runs an image in the three steps a host may use, so that a failing command
// can be reported here instead of in a box.
int RunImage(int argc, wchar_t** argv) {
  if (argc < 3) return Usage(stderr, 2);
  std::wstring image = argv[2];
  std::string section = "GCS";
  bool box = false;
  for (int i = 3; i < argc; ++i) {
    std::wstring arg = argv[i];
    if (arg == L"--section" && i + 1 < argc) {
      section = Narrow(argv[++i]);
    } else if (arg == L"--box") {
      box = true;
    } else {
      return Usage(stderr, 2);
    }
  }
  TRuntimeLibrary runtime;
  std::wstring error;
  if (!runtime.Load(error)) {
    std::fprintf(stderr, "zorvat: %ls\n", error.c_str());
    return 1;
  }
  uint8_t* bytes = nullptr;
  uint32_t length = 0;
  TStatus status = LoadImageFile(reinterpret_cast<const char16_t*>(image.c_str()), &bytes, &length);
  if (status == kStatusOk) status = ValidateImage(bytes, length);
  if (status != kStatusOk) {
    std::fprintf(stderr, "zorvat: %ls: %s (status %u)\n", image.c_str(),
                 status == kStatusNoImage ? "no image at the end of the file"
                 : status == kStatusChecksumMismatch ? "checksum mismatch"
                                                     : "malformed image",
                 status);
    FreeImage(bytes);
    return int(status);
  }
  // The record stays in place for the whole run; its memory is the process's
  // until it ends (the exported interface has no release step).
  static TScriptContext context{};
  status = runtime.InitContext(&context, bytes, length);
  if (!box) context.ActionAfterError = 0;
  if (status == kStatusOk) status = runtime.CompileScript(&context);
  if (status != kStatusOk) {
    std::fprintf(stderr, "zorvat: %ls: the image does not prepare: status %u at offset 0x%X\n",
                 image.c_str(), status, context.Error_At);
    return int(status);
  }
  status = runtime.ExecuteByteCode(&context, section.c_str());
  if (status == kStatusNoSuchSection || status == kStatusNotCodeSection) {
    std::fprintf(stderr, "zorvat: %ls: %s: %s\n", image.c_str(), section.c_str(),
                 status == kStatusNoSuchSection ? "no such section" : "not a code section");
  } else if (status != kStatusOk && !box) {
    std::fprintf(stderr, "zorvat: %ls: stopped with status %u (command at offset 0x%X)\n",
                 image.c_str(), status, context.Error_At);
  }
  return int(status);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return Usage(stderr, 2);
  std::wstring command = argv[1];
  if (command == L"info") return RunInfo(argc, argv);
  if (command == L"run") return RunImage(argc, argv);
  if (command == L"help" || command == L"--help" || command == L"-h") return Usage(stdout, 0);
  std::fprintf(stderr, "zorvat: unknown command\n");
  return Usage(stderr, 2);
}
