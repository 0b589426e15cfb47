// ZorvatEx.exe: stand-alone programs made by appending an image to a copy of
// the runner, and the runner's icon resources.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <iterator>

#include "base/image_format.h"
#include "base/status.h"
#include "tests/support/box_watcher.h"
#include "tests/support/command_codes.h"
#include "tests/support/image_builder.h"
#include "tests/support/test_process.h"

namespace {

const wchar_t kRunner[] = ZORVAT_BIN_DIR L"\\ZorvatEx.exe";

Bytes ReadAll(const std::wstring& path) {
  std::ifstream in(std::string(path.begin(), path.end()), std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A copy of the runner at `path` with `image` appended.
void BuildProgram(const std::wstring& path, const Bytes& image) {
  Bytes program = ReadAll(kRunner);
  ASSERT_GT(program.size(), 1000u);
  program.insert(program.end(), image.begin(), image.end());
  ASSERT_TRUE(WriteFileBytes(std::string(path.begin(), path.end()), program));
}

DWORD RunProgram(const std::wstring& path) {
  TestProcess process;
  EXPECT_TRUE(process.Start(path, {}));
  EXPECT_TRUE(process.WaitForExit(30000));
  return process.ExitCode();
}

// Boxes of other processes with the runtime's caption.
TBoxWatchOptions RuntimeBoxes() {
  TBoxWatchOptions options;
  options.ProcessId = 0;
  options.Caption = L"Zorvat runtime " + std::to_wstring(kRuntimeVersion);
  return options;
}

Bytes ExitImage(int8_t code, bool checksum) {
  ImageBuilder b;
  CodeWriter(b.Add("GCS", 1)).Cmd(kExit).Byte(code);
  return b.Build(checksum);
}

TEST(Runner, ProgramExitsWithTheScriptsCodeWhereverItIs) {
  BoxWatcher boxes(RuntimeBoxes());
  TempFile program(L"program.exe");
  BuildProgram(program.Path(), ExitImage(5, true));
  EXPECT_EQ(RunProgram(program.Path()), 5u);
  ASSERT_TRUE(boxes.WaitForBoxes(1, 10000));
  EXPECT_EQ(boxes.Boxes()[0].Text, L"Error in script\n\nError code=5\nOffset in bytecode=18");

  // Renamed and moved into another folder, it still finds its image.
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::wstring folder = std::wstring(temp) + L"zorvat_runner_moved";
  CreateDirectoryW(folder.c_str(), nullptr);
  std::wstring moved = folder + L"\\renamed program.exe";
  ASSERT_TRUE(MoveFileExW(program.Path().c_str(), moved.c_str(), MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(RunProgram(moved), 5u);
  DeleteFileW(moved.c_str());
  RemoveDirectoryW(folder.c_str());
}

TEST(Runner, WithoutAnImageExits2AndShowsNothing) {
  BoxWatcher boxes(RuntimeBoxes());
  EXPECT_EQ(RunProgram(kRunner), kStatusMalformedImage);
  Sleep(500);
  EXPECT_TRUE(boxes.Boxes().empty());
}

TEST(Runner, ImageWithoutChecksumRuns) {
  TempFile program(L"nochecksum.exe");
  BuildProgram(program.Path(), ExitImage(0, false));
  EXPECT_EQ(RunProgram(program.Path()), 0u);
}

TEST(Runner, DamagedImageIsNotRun) {
  TempFile program(L"damaged.exe");
  Bytes image = ExitImage(5, true);
  image[25] ^= 1;
  BuildProgram(program.Path(), image);
  EXPECT_EQ(RunProgram(program.Path()), kStatusChecksumMismatch);
}

TEST(Runner, CarriesItsIconAsMainIconWithFourImages) {
  HMODULE runner = LoadLibraryExW(kRunner, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(runner, nullptr);
  const WORD neutral = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);
  HRSRC group = FindResourceExW(runner, RT_GROUP_ICON, L"MAINICON", neutral);
  ASSERT_NE(group, nullptr);
  const uint8_t* dir = static_cast<const uint8_t*>(LockResource(LoadResource(runner, group)));
  ASSERT_NE(dir, nullptr);
  ASSERT_EQ(*reinterpret_cast<const WORD*>(dir + 4), 4);  // four images
  for (WORD i = 0; i < 4; ++i) {
    WORD id = *reinterpret_cast<const WORD*>(dir + 6 + 14 * i + 12);
    EXPECT_EQ(id, i + 1);
    EXPECT_NE(FindResourceExW(runner, RT_ICON, MAKEINTRESOURCEW(id), neutral), nullptr) << id;
  }
  FreeLibrary(runner);
}

}  // namespace
