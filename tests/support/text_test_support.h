// A small script over global variables for the tests of the text, block and
// list commands: code is written with CodeWriter, constants go to "LDS", and
// the run uses policy 0 so that the first failing command stops it with its
// variables in place. Run() appends a final command that always fails with
// 102 and reports 0 when the run got that far, otherwise the status of the
// command that stopped it.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/status.h"
#include "runtime/core/variables.h"
#include "runtime/values/block.h"
#include "runtime/values/list.h"
#include "runtime/values/text.h"
#include "tests/support/command_codes.h"
#include "tests/support/loaded_image.h"

typedef std::vector<std::u16string> TextItems;
typedef std::vector<std::string> BlockItems;

// CodeWriter with text and block constants written in place.
class TextCode {
 public:
  TextCode(Bytes& code, Bytes& lds) : w_(code), lds_(lds) {}
  TextCode& Cmd(uint32_t code) { return Put(w_.Cmd(code)); }
  TextCode& Default() { return Put(w_.Default()); }
  TextCode& End() { return Put(w_.End()); }
  TextCode& Byte(int8_t v) { return Put(w_.Byte(v)); }
  TextCode& Word(int16_t v) { return Put(w_.Word(v)); }
  TextCode& DWord(uint32_t v) { return Put(w_.DWord(v)); }
  TextCode& Int(int64_t v) { return Put(w_.Int(v)); }
  TextCode& Ext(long double v) { return Put(w_.Ext(v)); }
  TextCode& Var(uint32_t reference) { return Put(w_.Var(reference)); }
  TextCode& Constant(uint8_t kind, uint32_t ldsOffset) { return Put(w_.Constant(kind, ldsOffset)); }
  TextCode& Text(const std::u16string& s) {
    return Put(w_.Constant(ptUnicodeString, AddTextConstant(lds_, s)));
  }
  TextCode& Block(const std::string& s) {
    return Put(w_.Constant(ptBinBlock, AddBlockConstant(lds_, Bytes(s.begin(), s.end()))));
  }
  TextCode& DWordArray(const std::vector<uint32_t>& items) {
    return Array(ptDWORDArray, 4, items.data(), uint32_t(items.size()));
  }
  TextCode& IntArray(const std::vector<int64_t>& items) {
    return Array(ptIntArray, 8, items.data(), uint32_t(items.size()));
  }
  TextCode& FloatArray(const std::vector<long double>& items) {
    return Array(ptExtArray, 10, items.data(), uint32_t(items.size()));
  }
  // Items of `elemSize` bytes each, taken from the start of each T.
  template <typename T>
  TextCode& Array(uint8_t kind, uint32_t elemSize, const T* items, uint32_t count) {
    Bytes bytes(size_t(count) * elemSize);
    for (uint32_t i = 0; i < count; ++i) {
      std::memcpy(bytes.data() + size_t(i) * elemSize, &items[i], elemSize);
    }
    return Array(kind, elemSize, count, bytes);
  }
  TextCode& Array(uint8_t kind, uint32_t elemSize, uint32_t count, const Bytes& elements) {
    return Put(w_.Constant(kind, AddArrayConstant(lds_, elemSize, count, elements)));
  }

 private:
  TextCode& Put(CodeWriter&) { return *this; }
  CodeWriter w_;
  Bytes& lds_;
};

class TextScript {
 public:
  explicit TextScript(int8_t globals = 0) {
    if (globals > 0) W().Cmd(kGlobalsAlloc).Byte(globals).End();
  }
  TextCode W() { return TextCode(gcs_, lds_); }

  uint32_t TextAt(const std::u16string& s) { return AddTextConstant(lds_, s); }
  // Another section of the image (code: flag 1), to be filled before Load.
  Bytes& AddSection(const std::string& name, uint32_t flag) { return b_.Add(name, flag); }
  uint32_t BlockAt(const std::string& s) {
    return AddBlockConstant(lds_, Bytes(s.begin(), s.end()));
  }

  // Loads the image; a test may then put values into variables before Run.
  TScriptContext* Load() {
    sentinel_ = uint32_t(gcs_.size());
    W().Cmd(kSetDWORD).Default().End();
    loaded_ = std::make_unique<LoadedImage>(b_.Build());
    loaded_->context.ActionAfterError = kErrorPolicyStop;
    return &loaded_->context;
  }
  // Loads the image with `n` global variables already in place, for values
  // (handles, say) that only the test can make.
  TScriptContext* LoadWithGlobals(uint32_t n) {
    TScriptContext* c = Load();
    PushFrame(c);
    uint32_t first;
    AllocVars(c, n, true, &first);
    return c;
  }
  TStatus Run() {
    if (!loaded_) Load();
    const TStatus status = loaded_->Run();
    if (status == kStatusBadParam && loaded_->context.Error_At == b_.OffsetOf("GCS") + sentinel_) {
      return kStatusOk;
    }
    return status;
  }
  TScriptContext* Context() { return &loaded_->context; }

  // Calls a handler on the script's first instruction (written without
  // globals), with `globals` variables in place, and reports its status and
  // whether it left IP right after the instruction, past the end byte of an
  // open-ended list.
  TStatus CallAlone(TStatus (*handler)(TScriptContext*), uint32_t globals, bool* endedPastList) {
    TScriptContext* c = Load();
    loaded_->StandAt(b_.OffsetOf("GCS") + 4);
    uint32_t first;
    if (globals != 0) AllocVars(c, globals, true, &first);
    const TStatus status = handler(c);
    *endedPastList = c->IP == b_.OffsetOf("GCS") + sentinel_;
    return status;
  }
  // Position in the code section of the next instruction written, and of
  // the command that stopped the run.
  uint32_t Here() const { return uint32_t(gcs_.size()); }
  uint32_t FailedAt() const { return loaded_->context.Error_At - b_.OffsetOf("GCS"); }

  const TZorvatVariable& operator[](uint32_t reference) {
    static const TZorvatVariable kMissing{};
    const TZorvatVariable* v = ResolveVar(&loaded_->context, reference);
    if (v == nullptr) ADD_FAILURE() << "no variable " << reference;
    return v != nullptr ? *v : kMissing;
  }
  uint32_t DWord(uint32_t r) {
    EXPECT_EQ((*this)[r].VarType, vtDWORD) << "variable " << r;
    return (*this)[r].AsDWORD;
  }
  std::u16string TextOf(uint32_t r) {
    EXPECT_EQ((*this)[r].VarType, vtUnicodeString) << "variable " << r;
    return USTR_ToNative((*this)[r].UA);
  }
  std::string BlockOf(uint32_t r) {
    EXPECT_EQ((*this)[r].VarType, vtBinBlock) << "variable " << r;
    return AsString((*this)[r].UA);
  }
  TextItems TextListOf(uint32_t r) {
    EXPECT_EQ((*this)[r].VarType, vtUnicodeStringList) << "variable " << r;
    TextItems items;
    const TArrayHeader* list = (*this)[r].UA;
    for (uint32_t i = 0; i < xL_Count(list); ++i) items.push_back(USTR_ToNative(xL_Item(list, i)));
    return items;
  }
  BlockItems BlockListOf(uint32_t r) {
    EXPECT_EQ((*this)[r].VarType, vtBinBlockList) << "variable " << r;
    BlockItems items;
    const TArrayHeader* list = (*this)[r].UA;
    for (uint32_t i = 0; i < xL_Count(list); ++i) items.push_back(AsString(xL_Item(list, i)));
    return items;
  }
  template <typename T>
  std::vector<T> ArrayOf(uint32_t r, TVarType kind) {
    EXPECT_EQ((*this)[r].VarType, kind) << "variable " << r;
    std::vector<T> items;
    const TArrayHeader* a = (*this)[r].UA;
    const uint32_t size = kind == vtExtArray ? 10 : sizeof(T);
    for (uint32_t i = 0; a != nullptr && i < a->ElemCount; ++i) {
      T v{};
      std::memcpy(&v, UA_Data(a) + i * size, size);
      items.push_back(v);
    }
    return items;
  }
  static std::string AsString(const TArrayHeader* block) {
    if (block == nullptr) return std::string();
    return std::string(reinterpret_cast<const char*>(UA_Data(block)), BB_Length(block));
  }

 private:
  ImageBuilder b_;
  Bytes& lds_ = b_.Add("LDS", 0);
  Bytes& gcs_ = b_.Add("GCS", 1);
  uint32_t sentinel_ = 0;
  std::unique_ptr<LoadedImage> loaded_;
};
