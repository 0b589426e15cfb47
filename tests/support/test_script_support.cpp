#include "tests/support/test_script_support.h"

#include <cstdio>
#include <cstring>

#include "compiler/compilation.h"
#include "runtime/core/variables.h"
#include "runtime/values/text.h"
#include "tests/support/test_harness.h"

std::u16string WindowsPath(const std::string& path) {
  std::u16string out = path.starts_with("/") ? u"Z:" : u"";
  for (char c : path) out += c == '/' ? u'\\' : char16_t(static_cast<unsigned char>(c));
  return out;
}

std::string FillScript(std::string source,
                       const std::vector<std::pair<std::string, std::string>>& values) {
  for (const auto& [name, value] : values) {
    const std::string key = "{" + name + "}";
    for (size_t at = source.find(key); at != std::string::npos; at = source.find(key, at)) {
      source.replace(at, key.size(), value);
      at += value.size();
    }
  }
  return source;
}

bool UseShippedCommandList() {
  static const int32_t result =
      InitializeCompilerTables((WindowsPath(ZORVAT_COMMAND_LIST_DIR) + u"\\Commands.txt").c_str());
  return result == 0;
}

CompiledScript::CompiledScript(const std::string& source) {
  if (!UseShippedCommandList()) {
    std::fprintf(stderr, "the shipped command list cannot be read\n");
    return;
  }
  Compiled compiled(source);
  if (compiled.Result() != 0) {
    std::fprintf(stderr, "compile error %u at line %u\n", compiled.Result(), compiled.ErrLine());
    return;
  }
  image_ = std::make_unique<LoadedImage>(compiled.Image());
  image_->context.ActionAfterError = kErrorPolicyStop;
}

TStatus CompiledScript::Run() {
  if (!image_) return kNotCompiled;
  const DWORD start = GetTickCount();
  const TStatus status = image_->Run();
  milliseconds_ = GetTickCount() - start;
  return status;
}

TVarType CompiledScript::Kind(uint32_t n) {
  const TZorvatVariable* v = image_ ? ResolveVar(&image_->context, n) : nullptr;
  return v != nullptr ? v->VarType : vtInvalid;
}

uint32_t CompiledScript::DWord(uint32_t n) {
  uint32_t value = 0xDEADBEEF;
  if (image_) GetVarDWORD(&image_->context, n, &value);
  return value;
}

int64_t CompiledScript::Int(uint32_t n) {
  int64_t value = -1;
  if (image_) GetVarInt64(&image_->context, n, &value);
  return value;
}

TExtended CompiledScript::Float(uint32_t n) {
  TExtended value = -1;
  if (image_) GetVarExtended(&image_->context, n, &value);
  return value;
}

std::u16string CompiledScript::Text(uint32_t n) {
  if (Kind(n) != vtUnicodeString) return u"(not a text)";
  const TZorvatVariable* v = ResolveVar(&image_->context, n);
  return std::u16string(USTR_Chars(v->UA), USTR_Length(v->UA));
}

std::vector<uint32_t> CompiledScript::Values(uint32_t n) {
  std::vector<uint32_t> values;
  if (Kind(n) != vtDWORDArray) return values;
  const TZorvatVariable* v = ResolveVar(&image_->context, n);
  values.resize(UA_ItemCount(v->UA, vtDWORDArray));
  if (!values.empty()) std::memcpy(values.data(), UA_Data(v->UA), values.size() * 4);
  return values;
}
