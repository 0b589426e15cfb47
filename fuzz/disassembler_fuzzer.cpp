// The disassembler reads images nobody vouches for (`zorvat dis` on any
// file): whatever the bytes, it lists them or refuses them, and never reads
// outside them.
#include <cstddef>
#include <cstdint>
#include <string>

#include "host/disassembler.h"

namespace {

// A few commands of each shape: fixed counts, open-ended lists, texts and
// blocks, enough for the fuzzer to reach every parameter form.
const char kCommands[] =
    "4,2,2,SetDWORD,7,#[8],#de[9]`0`\n"
    "6,9,2,SetBlock,16,#[8],!de[17]`empty`\n"
    "7,2,0,FramePush,18\n"
    "10,9,2,SetInt,25,#[8],+de[26]`0`\n"
    "15,1,1,Exit,40,#de[41]`0`\n"
    "23,10,?,Switch,68,#[69]\n"
    "43,9,2,SetFloat,104,#[8],*[105]\n"
    "286,20,2,TextSet,593,#[139],$de[592]`empty`\n"
    "298,20,$,TextConcat,1,#[1]\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TCommandNames commands;
  static bool parsed = [] {
    std::string error;
    return ParseCommandNames(kCommands, &commands, &error);
  }();
  if (!parsed || size > 0xFFFFFFFFu) return 0;
  std::string listing, error;
  Disassemble(data, uint32_t(size), commands, TListingKeywords(), &listing, &error);
  return 0;
}
