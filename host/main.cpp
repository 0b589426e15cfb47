// zorvat.exe: the console host. It drives the system the way any host does
// and reports on the console.
#include <windows.h>

#include <cstdio>
#include <string>

#include "host/image_info.h"

namespace {

const char kUsage[] =
    "usage: zorvat COMMAND [ARGS]\n"
    "\n"
    "commands:\n"
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

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return Usage(stderr, 2);
  std::wstring command = argv[1];
  if (command == L"info") return RunInfo(argc, argv);
  if (command == L"help" || command == L"--help" || command == L"-h") return Usage(stdout, 0);
  std::fprintf(stderr, "zorvat: unknown command\n");
  return Usage(stderr, 2);
}
