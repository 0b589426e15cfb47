// The process memory commands on a real process: zv_console.exe --buffer
// holds 4096 bytes whose byte i is i & 0xFF at an address it reports. The
// test reads the bytes back itself as well, so each width is checked byte
// for byte, the bytes around each value included.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "base/status.h"
#include "tests/support/input_process_test_scripts.h"
#include "tests/support/test_process.h"

namespace {

constexpr DWORD kWaitMs = 30000;
constexpr uint32_t kChecked = 80;

// zv_console.exe holding its buffer until the test ends it.
class BufferProcess {
 public:
  BufferProcess() : out_(L"zv-memory") {
    if (!process_.Start(FixtureProgram(L"zv_console.exe"),
                        {L"--out", out_.Path(), L"--buffer", L"--sleep", L"30000", L"--exit-after",
                         L"30000"})) {
      return;
    }
    std::optional<std::string> line = WaitForLine(out_.Path(), "buffer address=", kWaitMs);
    if (line) address_ = uint32_t(std::strtoul(line->c_str() + 15, nullptr, 16));
  }
  uint32_t Address() const { return address_; }
  DWORD Id() const { return process_.Id(); }

  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> bytes(kChecked);
    SIZE_T read = 0;
    ReadProcessMemory(process_.Handle(), reinterpret_cast<void*>(uintptr_t(address_)), bytes.data(),
                      bytes.size(), &read);
    bytes.resize(read);
    return bytes;
  }

 private:
  TempFile out_;
  TestProcess process_;
  uint32_t address_ = 0;
};

std::string At(uint32_t address, uint32_t offset) {
  return Decimal(address + offset);
}

// Every width is written into the buffer at its own offset and read back;
// the float writer writes the 80-bit float of the unsigned 32-bit value it
// was given.
TEST(Memory, WritesEveryWidthAndReadsItBack) {
  BufferProcess target;
  ASSERT_NE(target.Address(), 0u);
  const uint32_t a = target.Address();
  TestScript script(FillScript("GlobalsAlloc 10 .\n"
                               "SetDWORD 0 {pid}\n"
                               "ProcessOpen 0 1 .\n"
                               "MemoryWriteByte 1 {a0} 0x1AB\n"
                               "MemoryWriteWord 1 {a2} 0xFFFF1234\n"
                               "MemoryWriteDWORD 1 {a4} 0xDEADBEEF\n"
                               "MemoryWriteInt 1 {a8} 0xFFFFFFFF\n"
                               "MemoryWriteFloat 1 {a16} 3\n"
                               "MemoryWriteFloat 1 {a32} -1  ; read as unsigned: 4294967295\n"
                               "MemoryWriteBlock 1 {a48} !01 02 03!\n"
                               "MemoryWriteText 1 {a56} \"hi\"\n"
                               "MemoryWriteBlock 1 {a64} $   ; nothing\n"
                               "MemoryWriteText 1 {a64} \"\"  ; nothing\n"
                               "MemoryReadByte 1 {a0} 2\n"
                               "MemoryReadDWORD 1 {a4} 3\n"
                               "MemoryReadInt 1 {a8} 4\n"
                               "MemoryReadFloat 1 {a16} 5\n"
                               "MemoryReadFloat 1 {a32} 6\n"
                               "MemoryReadInt 1 {a56} 7\n",
                               {{"pid", Decimal(target.Id())},
                                {"a0", At(a, 0)},
                                {"a2", At(a, 2)},
                                {"a4", At(a, 4)},
                                {"a8", At(a, 8)},
                                {"a16", At(a, 16)},
                                {"a32", At(a, 32)},
                                {"a48", At(a, 48)},
                                {"a56", At(a, 56)},
                                {"a64", At(a, 64)}}),
                    {1});
  ASSERT_EQ(script.Run(), kRanToEnd);

  std::vector<uint8_t> expected(kChecked);
  for (uint32_t i = 0; i < kChecked; ++i) expected[i] = uint8_t(i);
  auto put = [&](uint32_t offset, std::vector<uint8_t> bytes) {
    for (size_t i = 0; i < bytes.size(); ++i) expected[offset + i] = bytes[i];
  };
  put(0, {0xAB});
  put(2, {0x34, 0x12});
  put(4, {0xEF, 0xBE, 0xAD, 0xDE});
  put(8, {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0});
  put(16, {0, 0, 0, 0, 0, 0, 0, 0xC0, 0x00, 0x40});           // 3.0
  put(32, {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0x1E, 0x40});  // 4294967295.0
  put(48, {1, 2, 3});
  put(56, {'h', 0, 'i', 0});
  EXPECT_EQ(target.Bytes(), expected);

  EXPECT_EQ(script.Kind(2), vtDWORD);
  EXPECT_EQ(script.DWord(2), 0xABu);
  EXPECT_EQ(script.DWord(3), 0xDEADBEEFu);
  EXPECT_EQ(script.Kind(4), vtInteger);
  EXPECT_EQ(script.Int(4), 0xFFFFFFFFll);
  EXPECT_EQ(script.Kind(5), vtExtended);
  EXPECT_EQ(script.Float(5), 3.0L);
  EXPECT_EQ(script.Float(6), 4294967295.0L);
  EXPECT_EQ(script.Int(7), 0x3F3E3D3C00690068ll);
}

TEST(Memory, FailedReadsAndWritesHaveTheirOwnCodes) {
  BufferProcess target;
  ASSERT_NE(target.Address(), 0u);
  TestScript script(FillScript("SettingSet 3 3\n"
                               "GlobalsAlloc 10 .\n"
                               "SetDWORD 0 {pid}\n"
                               "ProcessOpen 0 1 .\n"
                               "MemoryReadDWORD 1 0 2     ; nothing lives at address 0\n"
                               "SettingGet 0 3\n"
                               "SettingGet 2 4\n"
                               "MemoryWriteDWORD 1 0 5\n"
                               "SettingGet 0 5\n"
                               "MemoryWriteDWORD 1 {a} 1.5\n"
                               "SettingGet 0 7\n"
                               "SetDWORD 8 0x7FFFFFF0\n"
                               "MemoryReadByte 8 {a} 9\n"
                               "SettingGet 0 8\n",
                               {{"pid", Decimal(target.Id())}, {"a", Decimal(target.Address())}}),
                    {1});
  ASSERT_EQ(script.Run(), kRanToEnd);
  EXPECT_EQ(script.Kind(2), vtUninitialized);
  EXPECT_EQ(script.DWord(3), kStatusMemoryReadFailed);
  EXPECT_NE(script.DWord(4), 0u);
  EXPECT_EQ(script.DWord(5), kStatusMemoryWriteFailed);
  EXPECT_EQ(script.DWord(7), kStatusBadParam);
  EXPECT_EQ(script.DWord(8), kStatusMemoryReadFailed);
  EXPECT_EQ(script.Kind(9), vtUninitialized);
  std::vector<uint8_t> bytes = target.Bytes();
  ASSERT_EQ(bytes.size(), kChecked);
  EXPECT_EQ(bytes[0], 0u);
}

}  // namespace
