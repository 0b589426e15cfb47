#include "tests/support/test_harness.h"

#include <cstring>

#include "compiler/command_list.h"
#include "compiler/compilation.h"
#include "compiler/image_writer.h"
#include "compiler/keywords.h"
#include "compiler/source_reader.h"

const char kTestCommandList[] =
    "15,1,1,Exit,0,#de[0]\n"
    "21,2,1,Goto,0,#[0]\n"
    "23,2,?,Switch,0\n"
    "5,3,5,MessageShow,0,$[0],$de[1],#de[2],#de[3],#de[4]\n"
    "6,4,2,SetBlock,0,#[0],!de[1]\n"
    "10,4,2,SetInt,0,#[0],+de[1]\n"
    "7,4,0,FramePush,0\n"
    "25,4,$,VarAdd,0\n"
    "300,9,1,PutAny,0\n"
    "301,9,1,PutText,0,$[0]\n"
    "302,9,1,PutBlock,0,![0]\n"
    "303,9,1,PutInt,0,+[0]\n"
    "304,9,1,PutFloat,0,*[0]\n"
    "305,9,1,PutDword,0,#[0]\n"
    "306,9,2,Pair,0,#[0],#e[1]\n"
    "307,9,1,PutTextOrBlock,0,$![0]\n";

void UseTestCommandList() {
  ResetKeywords();
  ParseCommandList(reinterpret_cast<const uint8_t*>(kTestCommandList),
                   uint32_t(std::strlen(kTestCommandList)));
}

Compiled::Compiled(const std::string& source) {
  BeforeCompiling(&raw_);
  Bytes bytes = Utf8(source);
  bytes.insert(bytes.begin(), {0xEF, 0xBB, 0xBF});
  AddScriptLines(&raw_, bytes.data(), uint32_t(bytes.size()), kMainScriptModule);
  CompileScript(&raw_);
}

Compiled::~Compiled() {
  AfterCompiling(&raw_);
}

Bytes Compiled::Section(const std::string& name) const {
  for (uint32_t i = 0; i < raw_.Sections.Count; ++i) {
    const TCompSection& s = raw_.Sections.Items[i];
    if (std::string(s.SectionName.Items, s.SectionName.Count) == name) {
      return Bytes(s.Ptr, s.Ptr + s.Size);
    }
  }
  return Bytes();
}

Bytes Compiled::FirstParams() const {
  Bytes gcs = Section("GCS");
  return gcs.size() < 4 ? Bytes() : Bytes(gcs.begin() + 4, gcs.end());
}

Bytes Compiled::Image() const {
  TGrowArray<uint8_t> image{};
  BuildCompiledImage(&raw_, &image);
  Bytes bytes(image.Items, image.Items + image.Count);
  GrowArrayFree(image);
  return bytes;
}

Bytes HexBytes(const std::string& hex) {
  Bytes bytes;
  for (size_t i = 0; i + 1 < hex.size(); ++i) {
    if (hex[i] == ' ') continue;
    bytes.push_back(uint8_t(std::stoul(hex.substr(i, 2), nullptr, 16)));
    ++i;
  }
  return bytes;
}

Bytes Utf8(const std::string& text) {
  return Bytes(text.begin(), text.end());
}
