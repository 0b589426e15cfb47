// CompileZorvatEXE: a copy of the runner gets the script's icon and the
// compiled image, and runs as a program of its own; an icon that cannot be
// used leaves the copy exactly as it was.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "base/bytes.h"
#include "base/status.h"
#include "runtime/core/image.h"
#include "tests/compiler_dll/compiler_library.h"
#include "tests/support/box_watcher.h"
#include "tests/support/test_process.h"

namespace {

const WORD kNeutral = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);

typedef std::pair<WORD, WORD> TImageKey;  // identifier, language

// The icon images of an executable, each under its identifier and exact
// language, and its "MAINICON" group.
struct TIconResourcesFound {
  std::map<TImageKey, Bytes> Images;
  Bytes Group;
};

Bytes ResourceBytes(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language) {
  HRSRC found = FindResourceExW(module, type, name, language);
  if (found == nullptr) return {};
  const uint8_t* data = static_cast<const uint8_t*>(LockResource(LoadResource(module, found)));
  return data == nullptr ? Bytes{} : Bytes(data, data + SizeofResource(module, found));
}

BOOL CALLBACK AddImage(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language, LONG_PTR images) {
  const WORD id = LOWORD(reinterpret_cast<ULONG_PTR>(name));
  (*reinterpret_cast<std::map<TImageKey, Bytes>*>(images))[{id, language}] =
      ResourceBytes(module, type, name, language);
  return TRUE;
}

BOOL CALLBACK AddImageLanguages(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR images) {
  EnumResourceLanguagesW(module, type, name, AddImage, images);
  return TRUE;
}

TIconResourcesFound IconResources(const std::wstring& path) {
  TIconResourcesFound found;
  HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  EXPECT_NE(module, nullptr);
  if (module == nullptr) return found;
  EnumResourceNamesW(module, RT_ICON, AddImageLanguages, reinterpret_cast<LONG_PTR>(&found.Images));
  found.Group = ResourceBytes(module, RT_GROUP_ICON, L"MAINICON", kNeutral);
  FreeLibrary(module);
  return found;
}

// The group resource the icon file must give: its header, then per image
// the entry's first 12 bytes and the identifier i + 1.
Bytes ExpectedGroup(const Bytes& iconFile, uint32_t count) {
  Bytes group(iconFile.begin(), iconFile.begin() + 6);
  for (uint32_t i = 0; i < count; ++i) {
    auto entry = iconFile.begin() + 6 + 16 * i;
    group.insert(group.end(), entry, entry + 12);
    group.push_back(uint8_t(i + 1));
    group.push_back(0);
  }
  return group;
}

// Resources that are not the runner's icon: another resource, and an image
// with a language of its own.
const WORD kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
const Bytes kExtra = {'k', 'e', 'e', 'p', 0, 1, 2};

bool AddOtherResources(const std::wstring& path) {
  HANDLE update = BeginUpdateResourceW(path.c_str(), FALSE);
  if (update == nullptr) return false;
  Bytes extra = kExtra;
  bool added =
      UpdateResourceW(update, RT_RCDATA, L"EXTRA", kNeutral, extra.data(), DWORD(extra.size())) &&
      UpdateResourceW(update, RT_ICON, MAKEINTRESOURCEW(3), kEnglish, extra.data(),
                      DWORD(extra.size()));
  return EndUpdateResourceW(update, !added) && added;
}

Bytes ResourceOf(const std::wstring& path, LPCWSTR type, LPCWSTR name, WORD language) {
  HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) return {};
  Bytes bytes = ResourceBytes(module, type, name, language);
  FreeLibrary(module);
  return bytes;
}

class ExeBuilding : public CompilerLibrary {
 protected:
  void SetUp() override {
    CompilerLibrary::SetUp();
    runner_ = ReadAll(kRunnerPath);
    ASSERT_GT(runner_.size(), 1000u);
    ASSERT_TRUE(WriteAll(program_.Path(), runner_));
  }

  // Writes `icon` and a script that names it, and compiles the script into
  // the runner copy.
  TCompileOutcome BuildWithIcon(const Bytes& icon, const std::string& body = "Exit 0\n") {
    EXPECT_TRUE(WriteAll(icon_.Path(), icon));
    EXPECT_TRUE(WriteText(script_.Path(), "&ICON \"" + Narrow(icon_.Path()) + "\"\n" + body));
    return Compile(CompileZorvatEXE, script_.Path(), program_.Path());
  }

  void ExpectImageAppended() {
    uint8_t* image = nullptr;
    uint32_t length = 0;
    ASSERT_EQ(
        LoadImageFile(reinterpret_cast<const char16_t*>(program_.Path().c_str()), &image, &length),
        kStatusOk);
    EXPECT_EQ(ValidateImage(image, length), kStatusOk);
    FreeImage(image);
  }

  TempFile program_{L"built_program"};
  TempFile script_{L"built_script"};
  TempFile icon_{L"built_icon"};
  Bytes runner_;
};

TEST_F(ExeBuilding, TwoImagesReplaceOneAndTwoAndTheOthersGo) {
  ASSERT_TRUE(AddOtherResources(program_.Path()));
  std::vector<TTestIconImage> images = DistinctImages(2);
  Bytes icon = IconFile(images);
  TCompileOutcome outcome = BuildWithIcon(icon);
  ASSERT_EQ(outcome.Result, 0);
  EXPECT_EQ(outcome.ErrLine, kNoLine);
  TIconResourcesFound found = IconResources(program_.Path());
  // Images 3 and 4 of the runner are gone; the image with a language of its
  // own is not the runner's and stays, as does every other resource.
  std::map<TImageKey, Bytes> expected = {
      {{1, kNeutral}, images[0].Data}, {{2, kNeutral}, images[1].Data}, {{3, kEnglish}, kExtra}};
  EXPECT_TRUE(found.Images == expected);
  EXPECT_TRUE(found.Group == ExpectedGroup(icon, 2));
  EXPECT_TRUE(ResourceOf(program_.Path(), RT_RCDATA, L"EXTRA", kNeutral) == kExtra);
  ExpectImageAppended();
}

TEST_F(ExeBuilding, SixImagesWriteOneToSix) {
  std::vector<TTestIconImage> images = DistinctImages(6);
  Bytes icon = IconFile(images);
  ASSERT_EQ(BuildWithIcon(icon).Result, 0);
  TIconResourcesFound found = IconResources(program_.Path());
  ASSERT_EQ(found.Images.size(), 6u);
  for (WORD id = 1; id <= 6; ++id) {
    EXPECT_TRUE((found.Images[{id, kNeutral}] == images[id - 1].Data)) << id;
  }
  EXPECT_TRUE(found.Group == ExpectedGroup(icon, 6));
  ExpectImageAppended();
}

TEST_F(ExeBuilding, AnUnusableIconGives1026AndLeavesTheCopyAsItWas) {
  Bytes badEntry = IconFile(DistinctImages(2));
  StoreU32(&badEntry[6 + 16 + 12], uint32_t(badEntry.size()) + 16);  // second image past the end
  const Bytes cursor = IconFile(DistinctImages(2), 2);
  for (const Bytes& icon : {cursor, badEntry}) {
    TCompileOutcome outcome = BuildWithIcon(icon);
    EXPECT_EQ(outcome.Result, 1026);
    EXPECT_EQ(outcome.ErrLine, kNoLine);
    EXPECT_EQ(outcome.Module, L"");
    EXPECT_TRUE(ReadAll(program_.Path()) == runner_);
  }
  // A missing icon file fails the same way.
  DeleteFileW(icon_.Path().c_str());
  EXPECT_EQ(Compile(CompileZorvatEXE, script_.Path(), program_.Path()).Result, 1026);
  EXPECT_TRUE(ReadAll(program_.Path()) == runner_);

  // An image file has no icon: the directive does not matter there.
  ASSERT_TRUE(WriteAll(icon_.Path(), cursor));
  TempFile image(L"icon_ignored.zvb");
  EXPECT_EQ(Compile(CompileZorvatFile, script_.Path(), image.Path()).Result, 0);
}

TEST_F(ExeBuilding, WithoutAnIconTheImageIsAppendedToTheRunnerUnchanged) {
  ASSERT_TRUE(WriteText(script_.Path(), "Exit 0\n"));
  ASSERT_EQ(Compile(CompileZorvatEXE, script_.Path(), program_.Path()).Result, 0);
  Bytes program = ReadAll(program_.Path());
  ASSERT_GT(program.size(), runner_.size());
  EXPECT_TRUE(Bytes(program.begin(), program.begin() + runner_.size()) == runner_);
  ExpectImageAppended();

  // The runner copy must be there: the compiler does not make one.
  ASSERT_TRUE(DeleteFileW(program_.Path().c_str()));
  EXPECT_EQ(Compile(CompileZorvatEXE, script_.Path(), program_.Path()).Result, 3);
  EXPECT_FALSE(FileExists(program_.Path()));
}

TEST_F(ExeBuilding, TheBuiltProgramRunsUnderAnotherNameWithTheScriptsCode) {
  TBoxWatchOptions anyRuntimeBox;  // a safety net: the script turns its box off
  anyRuntimeBox.ProcessId = 0;
  anyRuntimeBox.Caption = L"Zorvat runtime";
  anyRuntimeBox.CaptionContains = true;
  BoxWatcher boxes(anyRuntimeBox);
  ASSERT_EQ(BuildWithIcon(IconFile(DistinctImages(2)), "SettingSet 3 0\nExit 7\n").Result, 0);

  TempFile renamed(L"renamed_program");
  std::wstring program = renamed.Path() + L".exe";
  ASSERT_TRUE(MoveFileExW(program_.Path().c_str(), program.c_str(), MOVEFILE_REPLACE_EXISTING));
  TestProcess process;
  ASSERT_TRUE(process.Start(program, {}));
  EXPECT_TRUE(process.WaitForExit(30000));
  EXPECT_EQ(process.ExitCode(), 7u);
  process.Terminate();
  DeleteFileW(program.c_str());
  EXPECT_TRUE(boxes.Boxes().empty());
}

}  // namespace
