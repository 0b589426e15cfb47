// Writes the status-code reference, docs/status-codes.md, from the host's
// table of meanings.
//   gen_status_doc OUTPUT
#include <cstdio>

#include "host/status_meanings.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: gen_status_doc OUTPUT\n", stderr);
    return 2;
  }
  std::string text = StatusCodesDocument();
  FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr || std::fwrite(text.data(), 1, text.size(), out) != text.size()) {
    std::fprintf(stderr, "gen_status_doc: cannot write %s\n", argv[1]);
    return 1;
  }
  return std::fclose(out) == 0 ? 0 : 1;
}
