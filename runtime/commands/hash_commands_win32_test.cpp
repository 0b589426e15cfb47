#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "runtime/commands/commands.h"
#include "tests/support/text_test_support.h"

namespace {

uint32_t ValueOf(const void* p) {
  return uint32_t(reinterpret_cast<uintptr_t>(p));
}

const Bytes kSectionBytes = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'};

// Every raw reader at address 0 ends its run with 104, and the process goes
// on: the next script reads the bytes of a section at its address.
TEST(PointerRead, AFaultEndsTheRunAndTheNextRunSucceeds) {
  for (uint32_t command : {kPointerReadByte, kPointerReadWord, kPointerReadDWORD, kPointerReadInt,
                           kPointerReadFloat, kPointerReadAnsiText, kPointerReadText}) {
    TextScript s(1);
    s.W().Cmd(command).Byte(0).Byte(0);
    EXPECT_EQ(s.Run(), kStatusException) << "command " << command;
  }
  TextScript block(1);
  block.W().Cmd(kPointerReadBlock).Byte(0).Byte(0).Byte(4);
  EXPECT_EQ(block.Run(), kStatusException);

  TextScript next(4);
  next.AddSection("Payload", 0) = kSectionBytes;
  next.W().Cmd(kSectionGetAddress).Block("Payload").Byte(0);
  next.W().Cmd(kPointerReadDWORD).Byte(1).Var(0);
  next.W().Cmd(kPointerReadBlock).Byte(2).Var(0).Byte(3);
  next.W().Cmd(kPointerReadBlock).Byte(3).DWord(0).Byte(0);  // nothing to read
  next.W().Cmd(kSectionGetAddress).Block("payload").Byte(3);
  EXPECT_EQ(next.Run(), kStatusSectionNotFound);
  EXPECT_EQ(next.DWord(0), ValueOf(FindImageSection(next.Context(), "Payload")->SectionPtr));
  EXPECT_EQ(next.DWord(1), 0x64636261u);
  EXPECT_EQ(next.BlockOf(2), "abc");
  EXPECT_EQ(next.BlockOf(3), "");
}

// Numbers by the address of their value inside the variable; the arrays,
// and the copy of a shared literal, are left to the raw memory script.
TEST(VariableGetDataAddress, NumbersInPlaceOtherKindsRefused) {
  TextScript s(2);
  s.W().Cmd(kSetDWORD).Byte(0).Byte(7).Cmd(kVariableGetDataAddress).Byte(0).Byte(1);
  ASSERT_EQ(s.Run(), kStatusOk);
  EXPECT_EQ(s.DWord(1), ValueOf(&ResolveVar(s.Context(), 0)->AsDWORD));
  TextScript t(2);
  t.W().Cmd(kVariableGetDataAddress).Byte(1).Byte(0);
  EXPECT_EQ(t.Run(), kStatusNoItems);
  TextScript u(1);
  u.W().Cmd(kVariableGetDataAddress).Byte(5).Byte(0);
  EXPECT_EQ(u.Run(), kStatusNoSuchVariable);
}

std::string FileBytes(const std::string& path) {
  std::string bytes;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  char buffer[256];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got != 0)
    bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

// The handle comes from the test, as a script gets it from a file command.
TEST(SectionWriteToHandle, WritesFromTheStartAndLeavesTheRestAndTheHandle) {
  const std::string path = TempPath("section_handle.bin");
  ASSERT_TRUE(WriteFileBytes(path, Bytes{'0', '1', '2', '3', '4', '5', '6', '7', '8', '9'}));
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  TextScript s;
  s.AddSection("Payload", 0) = kSectionBytes;
  s.W().Cmd(kSectionWriteToHandle).Block("Payload").Byte(0).End();
  s.W().Cmd(kSectionWriteToHandle).Block("Payload").Byte(1).Byte(5).Byte(2);  // integer variable
  TScriptContext* c = s.LoadWithGlobals(2);
  Var_StoreDWORD(c, 0, ValueOf(file));
  Var_StoreInteger(c, 1, ValueOf(file));
  EXPECT_EQ(s.Run(), kStatusOk);
  EXPECT_EQ(FileBytes(path), "fgcdefgh89");
  DWORD written = 0;
  EXPECT_TRUE(WriteFile(file, "!", 1, &written, nullptr));  // still open, after the write
  EXPECT_TRUE(CloseHandle(file));
  EXPECT_EQ(FileBytes(path), "fg!defgh89");

  file =
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  TextScript r;
  r.AddSection("Payload", 0) = kSectionBytes;
  r.W().Cmd(kSectionWriteToHandle).Block("Payload").Byte(0).End();
  c = r.LoadWithGlobals(1);
  Var_StoreDWORD(c, 0, ValueOf(file));
  EXPECT_EQ(r.Run(), kStatusWriteFailed);
  EXPECT_EQ(c->LastWindowsError, DWORD(ERROR_ACCESS_DENIED));
  CloseHandle(file);
  DeleteFileA(path.c_str());
  TextScript t(1);
  t.AddSection("Payload", 0) = kSectionBytes;
  t.W().Cmd(kSetBlock).Byte(0).Block("x").Cmd(kSectionWriteToHandle).Block("Payload").Byte(0).End();
  EXPECT_EQ(t.Run(), kStatusBadVarKindForNumber);
}

// Letters that both code pages have, with their OEM bytes (code page 437).
TEST(BlockOemAnsi, LettersRoundTripInPlaceOrIntoAnotherVariable) {
  if (GetACP() != 1252 || GetOEMCP() != 437) GTEST_SKIP() << "other code pages";
  const std::string ansi = "Az\xE9\xC4\xFC\xF1\xC7\xE0\xE8\xF6\xC5\xE6";
  const std::string oem = "Az\x82\x8E\x81\xA4\x80\x85\x8A\x94\x8F\x91";
  TextScript s(4);
  s.W().Cmd(kSetBlock).Byte(0).Block(ansi).Cmd(kBlockAnsiToOem).Byte(0).End();
  s.W().Cmd(kBlockOemToAnsi).Byte(0).Byte(1);
  s.W().Cmd(kSetBlock).Byte(2).Block(ansi);  // the constant itself was not converted
  s.W().Cmd(kSetBlock).Byte(3).Block("").Cmd(kBlockAnsiToOem).Byte(3).End();
  ASSERT_EQ(s.Run(), kStatusOk);
  EXPECT_EQ(s.BlockOf(0), oem);
  EXPECT_EQ(s.BlockOf(1), ansi);
  EXPECT_EQ(s.BlockOf(2), ansi);
  EXPECT_EQ(s.BlockOf(3), "");
  TextScript t(1), u(1);
  t.W().Cmd(kSetDWORD).Byte(0).Byte(1).Cmd(kBlockOemToAnsi).Byte(0).End();
  EXPECT_EQ(t.Run(), kStatusNoItems);
  u.W().Cmd(kBlockAnsiToOem).Byte(3).Byte(0);
  EXPECT_EQ(u.Run(), kStatusNoSuchVariable);
}

}  // namespace
