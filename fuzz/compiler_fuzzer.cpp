// Compiles arbitrary source text against a small command list, in memory:
// every input must end with a result code, never a crash, a hang or a read
// past a buffer; a failure must name a line that exists; and a successful
// compilation must give an image that the runtime's loader accepts. Nothing
// touches the file system: the input is not expanded for modules, and the
// file-embedding directives have no keyword here.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "compiler/command_list.h"
#include "compiler/compilation.h"
#include "compiler/compile_codes.h"
#include "compiler/image_writer.h"
#include "compiler/keywords.h"
#include "compiler/source_reader.h"
#include "runtime/core/context.h"
#include "runtime/core/image.h"

namespace {

// Codes with the parameter counts of the runtime's table, so that images
// prepare.
const char kCommands[] =
    "15,1,1,Exit,0,#de[0]\n"
    "21,2,1,Goto,0,#[0]\n"
    "23,2,?,Switch,0\n"
    "5,3,5,MessageShow,0,$[0],$de[1],#de[2],#de[3],#de[4]\n"
    "6,4,2,SetBlock,0,#[0],!de[1]\n"
    "10,4,2,SetInt,0,+#[0],+*de[1]\n"
    "7,4,0,FramePush,0\n"
    "25,4,$,VarAdd,0\n";

const char16_t kKeywords[] =
    u"0,SECTION\n1,CODE\n2,DATA\n3,\n4,\n5,&DB\n6,&DW\n7,&DD\n8,&DI\n9,&DF\n"
    u"10,&INCLUDE\n11,&USES\n12,&ICON";

bool Setup() {
  ParseCommandList(reinterpret_cast<const uint8_t*>(kCommands), sizeof kCommands - 1);
  ParseKeywords({kKeywords, sizeof kKeywords / sizeof kKeywords[0] - 1});
  return true;
}

void CheckImage(const TRawScript& raw) {
  TGrowArray<uint8_t> image{};
  if (!BuildCompiledImage(&raw, &image)) abort();
  // An exactly sized copy, so that the sanitizer sees any read past it.
  uint8_t* bytes = static_cast<uint8_t*>(std::malloc(image.Count));
  std::memcpy(bytes, image.Items, image.Count);
  if (ValidateImage(bytes, image.Count) != 0) abort();
  TScriptContext context{};
  if (InitContext(&context, bytes, image.Count) != 0) abort();
  // Only a label slot that points past the code (a label at the end of a
  // section, or one in a data section) may keep an image from preparing.
  TStatus prepared = PrepareImage(&context);
  if (prepared != 0 && (prepared != 2 || raw.TrueLabelRefCount == 0)) abort();
  FreePreparedImage(&context);
  std::free(context.SectionIndex);
  std::free(bytes);
  GrowArrayFree(image);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = Setup();
  if (!ready || size > 1 << 16) return 0;
  TRawScript raw{};
  BeforeCompiling(&raw);
  AddScriptLines(&raw, data, uint32_t(size), kMainScriptModule);
  CompileScript(&raw);
  if (raw.CompilingResult == kCompileOk) {
    CheckImage(raw);
  } else if (raw.ErrLine != kNoErrorLine && raw.ErrLine > raw.ScriptText.Count) {
    abort();
  }
  AfterCompiling(&raw);
  return 0;
}
