// The registry commands against the real registry, for what a script cannot
// see by itself: the bytes a value is stored with, values that other programs
// stored without a terminator, and the refusal to delete a whole root. Every
// test works below a key of its own in Software\ZorvatTest of the current
// user, made fresh and deleted afterwards.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/status.h"
#include "runtime/core/variables.h"
#include "runtime/values/block.h"
#include "tests/support/test_script_support.h"

namespace {

constexpr wchar_t kParent[] = L"Software\\ZorvatTest";

typedef std::vector<uint8_t> Bytes8;

Bytes8 Utf16(const std::u16string& text, size_t zeros) {
  Bytes8 bytes(text.size() * 2 + zeros, 0);
  std::memcpy(bytes.data(), text.data(), text.size() * 2);
  return bytes;
}

class RegistryCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    sub_ = std::wstring(kParent) + L"\\gtest " + std::to_wstring(GetCurrentProcessId());
    RegDeleteTreeW(HKEY_CURRENT_USER, sub_.c_str());
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, sub_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key_, nullptr),
              ERROR_SUCCESS);
    path_ =
        "HKEY_CURRENT_USER\\Software\\ZorvatTest\\gtest " + std::to_string(GetCurrentProcessId());
  }
  void TearDown() override {
    if (key_ != nullptr) RegCloseKey(key_);
    RegDeleteTreeW(HKEY_CURRENT_USER, sub_.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, kParent);  // only when no other test uses it
  }

  void Store(const wchar_t* name, DWORD type, const Bytes8& data) {
    ASSERT_EQ(RegSetValueExW(key_, name, 0, type, data.data(), DWORD(data.size())), ERROR_SUCCESS);
  }
  // The type and bytes of a value as the registry keeps them.
  Bytes8 Stored(const wchar_t* name, DWORD* type) {
    DWORD size = 0;
    if (RegQueryValueExW(key_, name, nullptr, type, nullptr, &size) != ERROR_SUCCESS) return {};
    Bytes8 data(size);
    RegQueryValueExW(key_, name, nullptr, type, data.data(), &size);
    data.resize(size);
    return data;
  }
  std::string Script(const std::string& source) { return FillScript(source, {{"key", path_}}); }

  std::wstring sub_;
  std::string path_;
  HKEY key_ = nullptr;
};

Bytes8 BlockOf(CompiledScript& script, uint32_t n) {
  const TZorvatVariable* v = ResolveVar(&script.Context(), n);
  if (v == nullptr || v->VarType != vtBinBlock) return {0xEE};
  return Bytes8(UA_Data(v->UA), UA_Data(v->UA) + BB_Length(v->UA));
}

TEST_F(RegistryCommands, WritesEachTypeWithItsExactBytes) {
  CompiledScript script(
      Script("RegWriteText \"{key}\" \"text\" \"ab\"\n"
             "RegWriteText \"{key}\" \"empty text\" .\n"
             "RegWriteData \"{key}\" \"sz\" \"ab\" .\n"
             "RegWriteData \"{key}\" \"expand\" \"ab\" 2\n"
             "RegWriteData \"{key}\" \"multi\" \"a#0000b\" 7\n"
             "RegWriteData \"{key}\" \"multi empty\" $ 7\n"
             "RegWriteData \"{key}\" \"binary\" !01 02 03! 3\n"
             "RegWriteData \"{key}\" \"empty binary\" $ 3\n"
             "RegWriteData \"{key}\" \"link\" !01 00! 6\n"
             "RegWriteDWORD \"{key}\" \"dword\" $12345678\n"
             "RegReadType \"{key}\" \"missing\" 0\n"));
  // The last line fails; the registry's own code is kept for the script.
  ASSERT_EQ(script.Run(), kStatusRegValueReadFailed);
  EXPECT_EQ(script.Context().LastWindowsError, DWORD(ERROR_FILE_NOT_FOUND));
  DWORD type = 0;
  EXPECT_EQ(Stored(L"text", &type), Utf16(u"ab", 2));
  EXPECT_EQ(type, DWORD(REG_SZ));
  EXPECT_EQ(Stored(L"empty text", &type), Bytes8(2, 0));
  EXPECT_EQ(Stored(L"sz", &type), Utf16(u"ab", 2));
  EXPECT_EQ(type, DWORD(REG_SZ));
  EXPECT_EQ(Stored(L"expand", &type), Utf16(u"ab", 2));
  EXPECT_EQ(type, DWORD(REG_EXPAND_SZ));
  EXPECT_EQ(Stored(L"multi", &type), Utf16(std::u16string(u"a\0b", 3), 4));
  EXPECT_EQ(type, DWORD(REG_MULTI_SZ));
  EXPECT_EQ(Stored(L"multi empty", &type), Bytes8(4, 0));
  EXPECT_EQ(Stored(L"binary", &type), (Bytes8{1, 2, 3}));
  EXPECT_EQ(type, DWORD(REG_BINARY));
  EXPECT_EQ(Stored(L"empty binary", &type), Bytes8());
  EXPECT_EQ(type, DWORD(REG_BINARY));
  // Other types take the block's bytes as they are.
  EXPECT_EQ(Stored(L"link", &type), (Bytes8{1, 0}));
  EXPECT_EQ(type, DWORD(REG_LINK));
  EXPECT_EQ(Stored(L"dword", &type), (Bytes8{0x78, 0x56, 0x34, 0x12}));
  EXPECT_EQ(type, DWORD(REG_DWORD));
}

// Other programs may store strings without their terminator, or with a
// terminator too few: only zeros that are there are dropped.
TEST_F(RegistryCommands, ReadsStringsStoredWithoutTerminatorWhole) {
  Store(L"bare", REG_SZ, Utf16(u"abc", 0));
  Store(L"one byte", REG_SZ, {'x'});
  Store(L"nothing", REG_EXPAND_SZ, {});
  Store(L"multi single", REG_MULTI_SZ, Utf16(std::u16string(u"a\0b", 3), 2));
  Store(L"multi bare", REG_MULTI_SZ, Utf16(std::u16string(u"a\0b", 3), 0));
  Store(L"terminated twice", REG_SZ, Utf16(u"ab", 4));
  CompiledScript script(
      Script("GlobalsAlloc 10 .\n"
             "RegReadText \"{key}\" \"bare\" 0\n"
             "RegReadData \"{key}\" \"bare\" 1 .\n"
             "RegReadData \"{key}\" \"one byte\" 2 .\n"
             "RegReadText \"{key}\" \"one byte\" 3\n"
             "RegReadText \"{key}\" \"nothing\" 4\n"
             "RegReadData \"{key}\" \"nothing\" 5 .\n"
             "RegReadData \"{key}\" \"multi single\" 6 .\n"
             "RegReadData \"{key}\" \"multi bare\" 7 .\n"
             "RegReadText \"{key}\" \"terminated twice\" 8\n"));
  ASSERT_EQ(script.Run(), kRanToEnd);
  EXPECT_EQ(script.Text(0), u"abc");
  EXPECT_EQ(BlockOf(script, 1), Utf16(u"abc", 0));
  EXPECT_EQ(BlockOf(script, 2), Bytes8{'x'});
  EXPECT_EQ(script.Text(3), u"");
  EXPECT_EQ(script.Text(4), u"");
  EXPECT_EQ(BlockOf(script, 5), Bytes8());
  EXPECT_EQ(BlockOf(script, 6), Utf16(std::u16string(u"a\0b", 3), 0));
  EXPECT_EQ(BlockOf(script, 7), Utf16(std::u16string(u"a\0b", 3), 0));
  // One terminator is dropped; a second zero unit belongs to the text.
  EXPECT_EQ(script.Text(8), std::u16string(u"ab\0", 3));
}

// Redirects HKEY_CURRENT_USER of this process to a key of the test while
// it lives, so that a command that wrongly acts on the whole root can only
// reach that key.
class RootRedirect {
 public:
  explicit RootRedirect(HKEY target)
      : active_(RegOverridePredefKey(HKEY_CURRENT_USER, target) == ERROR_SUCCESS) {}
  ~RootRedirect() { Restore(); }
  void Restore() {
    if (active_) RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    active_ = false;
  }
  bool Active() const { return active_; }

 private:
  bool active_;
};

bool HasSubKey(HKEY key, const wchar_t* name) {
  HKEY sub;
  if (RegOpenKeyExW(key, name, 0, KEY_READ, &sub) != ERROR_SUCCESS) return false;
  RegCloseKey(sub);
  return true;
}

TEST_F(RegistryCommands, NeverDeletesARootKey) {
  HKEY child;
  ASSERT_EQ(
      RegCreateKeyExW(key_, L"child", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr),
      ERROR_SUCCESS);
  RegCloseKey(child);
  CompiledScript whole(Script("RegKeyDelete \"HKEY_CURRENT_USER\\\" 1\n"));
  CompiledScript separators(Script("RegKeyDelete \"hkey_current_user\\\\\\\" 1\n"));
  CompiledScript plain(Script("RegKeyDelete \"HKEY_CURRENT_USER\\\" 0\n"));
  TStatus statuses[3];
  bool redirected;
  {
    RootRedirect redirect(key_);
    redirected = redirect.Active() && HasSubKey(HKEY_CURRENT_USER, L"child");
    if (redirected) {
      statuses[0] = whole.Run();
      statuses[1] = separators.Run();
      statuses[2] = plain.Run();
    }
  }
  if (!redirected) GTEST_SKIP() << "HKEY_CURRENT_USER cannot be redirected here";
  for (TStatus status : statuses) EXPECT_EQ(status, kStatusRegKeyDeleteFailed);
  EXPECT_TRUE(HasSubKey(key_, L"child"));
}

}  // namespace
