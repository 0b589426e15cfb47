#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "runtime/core/library_list.h"

namespace {

std::vector<TLoadedLibraryInfo> Entries() {
  std::vector<TLoadedLibraryInfo> entries(LibList_Count());
  for (uint32_t i = 0; i < entries.size(); ++i) EXPECT_TRUE(LibList_Entry(i, &entries[i]));
  return entries;
}

TLibHandle HandleOf(const wchar_t* module) {
  return reinterpret_cast<TLibHandle>(GetModuleHandleW(module));
}

TLibHandle Load(const std::u16string& name) {
  return LibList_Load(name.data(), uint32_t(name.size()));
}

// Each test starts from the list as the runtime starts it (system entries
// that earlier tests added, such as advapi32, stay).
class LibraryList : public testing::Test {
 protected:
  void SetUp() override { LibList_FreeAll(); }
  void TearDown() override { LibList_FreeAll(); }
};

TEST_F(LibraryList, StartsWithTheRuntimesOwnLibraries) {
  const std::vector<TLoadedLibraryInfo> entries = Entries();
  ASSERT_GE(entries.size(), 3u);
  const std::u16string names[] = {u"kernel32", u"user32", u"ntdll"};
  const wchar_t* modules[] = {L"kernel32", L"user32", L"ntdll"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(entries[i].LibraryName, names[i]);
    EXPECT_EQ(entries[i].LibHandle, HandleOf(modules[i]));
    EXPECT_NE(entries[i].LibHandle, 0u);
    EXPECT_TRUE(entries[i].SystemLibrary);
  }
  EXPECT_EQ(LibList_Find(u"KERNEL32"), HandleOf(L"kernel32"));
  EXPECT_EQ(LibList_Find(u"kernel32.dll"), kLibNotFound);
}

TEST_F(LibraryList, NamesDifferingOnlyInCaseShareOneEntry) {
  const uint32_t before = LibList_Count();
  const TLibHandle first = Load(u"msimg32");
  ASSERT_NE(first, 0u);
  EXPECT_EQ(Load(u"MsImg32"), first);
  EXPECT_EQ(LibList_Find(u"MSIMG32"), first);
  EXPECT_EQ(LibList_Count(), before + 1);

  // Another spelling of a start-up entry is a name of its own: it loads
  // again (the same module) and is a script library.
  EXPECT_EQ(Load(u"user32.dll"), HandleOf(L"user32"));
  ASSERT_EQ(LibList_Count(), before + 2);
  TLoadedLibraryInfo added;
  ASSERT_TRUE(LibList_Entry(before + 1, &added));
  EXPECT_EQ(added.LibraryName, u"user32.dll");
  EXPECT_FALSE(added.SystemLibrary);
}

TEST_F(LibraryList, AFailedLoadAddsNothing) {
  const uint32_t before = LibList_Count();
  EXPECT_EQ(Load(u"zv_no_such_library"), 0u);
  EXPECT_EQ(Load(u""), 0u);
  EXPECT_EQ(LibList_Count(), before);
  EXPECT_EQ(LibList_Find(u"zv_no_such_library"), kLibNotFound);
}

// The name is taken as given by its length, not up to a terminator.
TEST_F(LibraryList, LoadUsesExactlyTheGivenUnits) {
  const std::u16string padded = u"msimg32*function";
  const TLibHandle module = LibList_Load(padded.data(), 7);
  ASSERT_NE(module, 0u);
  EXPECT_EQ(LibList_Find(u"msimg32"), module);
}

TEST_F(LibraryList, FreeAllReleasesScriptLibrariesAndKeepsSystemOnes) {
  ASSERT_EQ(GetModuleHandleW(L"msimg32"), nullptr) << "the test needs a library nobody loaded";
  const TLibHandle advapi = LibList_Advapi32();
  ASSERT_NE(advapi, 0u);
  EXPECT_EQ(LibList_Advapi32(), advapi);  // recorded once
  ASSERT_NE(Load(u"msimg32"), 0u);
  const TLibHandle power = LibList_PowrProf();
  ASSERT_NE(power, 0u);
  EXPECT_EQ(LibList_PowrProf(), power);

  LibList_FreeAll();

  std::vector<std::u16string> names;
  for (const TLoadedLibraryInfo& entry : Entries()) {
    EXPECT_TRUE(entry.SystemLibrary);
    names.push_back(entry.LibraryName);
  }
  const std::vector<std::u16string> expected = {u"kernel32", u"user32", u"ntdll", u"advapi32"};
  EXPECT_EQ(names, expected);
  EXPECT_EQ(LibList_Find(u"advapi32"), advapi);
  // The list held the only reference to msimg32: it is gone from the process.
  EXPECT_EQ(GetModuleHandleW(L"msimg32"), nullptr);
  EXPECT_EQ(LibList_Find(u"PowrProf"), kLibNotFound);

  // A freed library loads again on the next request.
  EXPECT_NE(Load(u"msimg32"), 0u);
  EXPECT_NE(GetModuleHandleW(L"msimg32"), nullptr);
}

}  // namespace
