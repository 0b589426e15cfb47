#include "tests/support/script_state.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "base/bytes.h"
#include "compiler/compilation.h"
#include "compiler/compile_codes.h"
#include "compiler/image_writer.h"
#include "compiler/source_reader.h"
#include "runtime/values/unified_array.h"

namespace fs = std::filesystem;

namespace {

Bytes Finish(TRawScript* raw, bool compiled) {
  Bytes bytes;
  if (compiled) {
    TGrowArray<uint8_t> image{};
    BuildCompiledImage(raw, &image);
    bytes.assign(image.Items, image.Items + image.Count);
    GrowArrayFree(image);
  }
  AfterCompiling(raw);
  return bytes;
}

void AppendBytes(std::string* out, const void* data, size_t n) {
  out->append(static_cast<const char*>(data), n);
}

void AppendArray(std::string* out, const TArrayHeader* a) {
  if (a == nullptr) {
    out->append("-");
    return;
  }
  AppendBytes(out, &a->ElemSize, 4);
  AppendBytes(out, &a->ElemCount, 4);
  AppendBytes(out, UA_Data(a), size_t(a->ElemCount) * a->ElemSize);
}

}  // namespace

std::vector<fs::path> ScriptTestFiles(const fs::path& folder) {
  std::vector<fs::path> scripts;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    const fs::path& path = entry.path();
    if (path.extension() != ".zvs") continue;
    if (path.parent_path().filename() == "companions") continue;
    scripts.push_back(path);
  }
  std::sort(scripts.begin(), scripts.end());
  return scripts;
}

std::string ScriptTestName(const fs::path& path) {
  std::string name = path.parent_path().filename().string() + "_" + path.stem().string();
  for (char& ch : name) {
    if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
  }
  return name;
}

Bytes CompileScriptFile(const fs::path& path) {
  TRawScript raw{};
  BeforeCompiling(&raw);
  const std::u16string wide = path.u16string();
  return Finish(&raw, CompileSourceFile(&raw, wide.c_str()) == 0);
}

Bytes CompileScriptText(const std::string& source) {
  TRawScript raw{};
  BeforeCompiling(&raw);
  AddScriptLines(&raw, reinterpret_cast<const uint8_t*>(source.data()), uint32_t(source.size()),
                 kMainScriptModule);
  CompileScript(&raw);
  return Finish(&raw, raw.CompilingResult == kCompileOk);
}

std::string DescribeVariables(const TScriptContext& c) {
  std::string out;
  for (uint32_t f = 0; f < c.StackFrames.Count; ++f) {
    const TZorvatVariables& frame = c.StackFrames.Items[f];
    out += "|frame";
    for (uint32_t i = 0; i < frame.Count; ++i) {
      const TZorvatVariable& v = frame.Items[i];
      out += char('A' + v.VarType);
      switch (v.VarType) {
        case vtDWORD:
          AppendBytes(&out, &v.AsDWORD, 4);
          break;
        case vtInteger:
          AppendBytes(&out, &v.AsInteger, 8);
          break;
        case vtExtended:
          AppendBytes(&out, &v.AsExtended, kExtendedBytes);
          break;
        case vtBinBlockList:
        case vtUnicodeStringList:
          // The list's own items are pointers: only their number is compared.
          if (v.UA != nullptr) AppendBytes(&out, &v.UA->ElemCount, 4);
          for (uint32_t k = 0; v.UA != nullptr && k < v.UA->ElemCount; ++k) {
            PArrayHeader item;
            std::memcpy(&item, UA_Data(v.UA) + size_t(k) * kListElemSize, sizeof item);
            AppendArray(&out, item);
          }
          break;
        default:
          if (VarKindHasItems(v.VarType)) AppendArray(&out, v.UA);
          break;
      }
    }
  }
  return out;
}
